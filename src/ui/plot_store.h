// The plot's recorded lines and what a redraw reads of them. Pure code, no
// allocation, no lock: the glue keeps one static PlotStore, adds lines from
// the receive thread and reads from the UI thread, each under its own lock.
// A redraw reads at most 2 x (kPlotFineRows - 1) lines one by one per pixel
// column and channel, the rest from summaries, so a lock is held for
// milliseconds at most.
//
// A ring of the newest lines: each has its time (seconds since the start,
// kept non-decreasing), its line number (1 for the first line recorded since
// fnPlotStoreInit) and a value or nothing per channel; a value that is not
// finite (nan, inf) is a gap. When full the oldest block of kPlotBlockRows
// lines goes, so at least kPlotRowMax - kPlotBlockRows lines, and so points
// per channel, are kept. Blocks of kPlotBlockRows lines, and of kPlotFineRows
// within them, keep summaries that a redraw reads instead of their lines
// where a pixel column spans them.
//
// Memory: the arrays are 175 MiB of static storage (values 128 MiB, times
// 8, line flags 2, summaries 37); only the pages used are touched: about
// 11 MiB plus 10.3 MiB per channel in use once the ring is full.
#ifndef ZEVRIK_PLOT_STORE_H
#define ZEVRIK_PLOT_STORE_H

#include <cstddef>
#include <cstdint>
#include <limits>

#include "plot_parse.h"

const std::uint32_t kPlotRowMax = 1u << 20;
const std::uint32_t kPlotFineRows = 8;
const std::uint32_t kPlotBlockRows = 64;

// Per block of N lines: each channel's least and greatest finite value, and
// the channels with a value or a gap in it.
template <std::uint32_t N> struct PlotSummary {
    double m_aadMin[kPlotChannels][kPlotRowMax / N];
    double m_aadMax[kPlotChannels][kPlotRowMax / N];
    std::uint16_t m_awValue[kPlotRowMax / N];
    std::uint16_t m_awGap[kPlotRowMax / N];
};

struct PlotStore {
    std::uint32_t m_dwRowCap; // a power of two, 2 * kPlotBlockRows to kPlotRowMax
    // Line indexes (line number - 1) of the oldest line kept, a block start,
    // and one past the newest; line index i is in slot i % m_dwRowCap.
    std::uint64_t m_qwFirst;
    std::uint64_t m_qwEnd;
    std::uint32_t m_dwInits; // the emptyings: what a reader kept of an earlier filling is stale
    PlotNames m_stNames;
    double m_adTime[kPlotRowMax];
    std::uint16_t m_awMask[kPlotRowMax]; // the channels with a value
    double m_aadValue[kPlotChannels][kPlotRowMax];
    PlotSummary<kPlotFineRows> m_stFine;
    PlotSummary<kPlotBlockRows> m_stBlocks;
};

// Empties the store. dwRowCap (rounded down to a power of two, at least two
// blocks) is for tests; the glue passes kPlotRowMax. Clear the parser with it.
void fnPlotStoreInit(PlotStore &st, std::uint32_t dwRowCap);

// The slot of line index qwLine in the ring's arrays.
std::uint32_t fnPlotSlot(const PlotStore &st, std::uint64_t qwLine);

// Whether channel nChannel's bit is set in a mask of channels.
inline bool fnPlotHas(std::uint16_t wMask, unsigned nChannel)
{
    return ((wMask >> nChannel) & 1u) != 0;
}

// Records a line read by fnPlotParseFeed, taking the names of new channels
// from stNames (the parser's). A line without values is not recorded.
void fnPlotStoreAdd(PlotStore &st, const PlotLine &stLine, const PlotNames &stNames, double dTime);

enum PlotAxis : std::uint8_t { kPlotAxisTime = 0, kPlotAxisLine = 1 };

// A stretch of the X axis, both ends included: seconds or line numbers.
struct PlotRange {
    PlotAxis m_nAxis;
    double m_dFrom;
    double m_dTo;
};

// The first and last kept line's X; false when the store is empty.
bool fnPlotExtent(const PlotStore &st, PlotAxis nAxis, double &dFirst, double &dLast);

// The index of the first kept line whose X is at least dX (bAfter: greater
// than dX), m_qwEnd when there is none.
std::uint64_t fnPlotLineAt(const PlotStore &st, PlotAxis nAxis, double dX, bool bAfter);

const std::uint8_t kPlotCellValue = 1; // m_dMin and m_dMax hold the finite values' range
const std::uint8_t kPlotCellGap = 2;   // a gap is among the column's points

struct PlotCell {
    double m_dMin;
    double m_dMax;
    std::uint8_t m_byFlags;
};

// The cell of a column without lines.
const PlotCell kPlotEmptyCell = {std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(), 0};

// One cell per pixel column for each channel in wChannels: the cell of
// channel c, column k is pstCells[c * dwColumns + k] (other channels' cells
// are left alone). Column k covers X from From + (To - From) * k / dwColumns
// up to the next column's start, the last one up to To included. dwColumns
// is cut to cCells / kPlotChannels.
void fnPlotReduce(const PlotStore &st, const PlotRange &stRange, std::uint16_t wChannels, PlotCell *pstCells,
                  std::size_t cCells, std::uint32_t dwColumns);

// The cell of one channel over lines [qwFrom, qwTo): whole blocks from their
// summaries, the lines around them one by one.
void fnPlotReduceCell(const PlotStore &st, unsigned nChannel, std::uint64_t qwFrom, std::uint64_t qwTo,
                      PlotCell &stCell);

// The Y range of the channels in wChannels over cells from fnPlotReduce (the
// auto scale); false when they hold no finite value.
bool fnPlotCellsRange(const PlotCell *pstCells, std::uint32_t dwColumns, std::uint16_t wChannels,
                      double &dMin, double &dMax);

struct PlotPoint {
    double m_dTime;
    std::uint64_t m_qwLine;
    double m_dValue; // a gap reads as nan or inf
};

// The channel's point nearest to dX (the cursor's read-out); false when the
// channel has none.
bool fnPlotNearest(const PlotStore &st, PlotAxis nAxis, double dX, unsigned nChannel, PlotPoint &stPoint);

#endif
