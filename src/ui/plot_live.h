// The live view: the newest span of the X axis, on a grid of pixel columns
// that moves only by whole columns. A frame then keeps the cells of the
// columns no new line reached since the last frame and reduces only the few
// at the newest end, instead of every column of every channel 40 times a
// second. Pure code; the store is read under the caller's lock.
#ifndef ZEVRIK_PLOT_LIVE_H
#define ZEVRIK_PLOT_LIVE_H

#include <cstddef>
#include <cstdint>

#include "plot_store.h"

// What the last live frame reduced, and so which of its cells still hold.
struct PlotLive {
    bool m_bValid;
    PlotAxis m_nAxis;
    double m_dWidth;  // X per column
    double m_dColumn; // grid number of column 0: it starts at X = number * width
    std::uint32_t m_dwColumns;
    std::uint16_t m_wChannels;
    std::uint32_t m_dwStoreInits;
    std::uint64_t m_qwEnd;       // the store's end
    std::uint64_t m_qwShownFrom; // the first line in the columns
    double m_dOpenColumn;        // grid number of the first column new lines reach
};

// The newest dSpan of X (from the first line while less has come) over
// dwColumns columns: both ends on the grid of columns dSpan / dwColumns wide,
// the newest line in the last column. With no columns, not on a grid.
PlotRange fnPlotLiveRange(const PlotStore &st, PlotAxis nAxis, double dSpan, std::uint32_t dwColumns);

// fnPlotReduce of that range, with the same cells, columns (cut to
// cCells / kPlotChannels) and channels; the cells stLive says still hold
// are moved, not reduced again. Returns the range.
PlotRange fnPlotLiveReduce(const PlotStore &st, PlotAxis nAxis, double dSpan, std::uint16_t wChannels,
                           PlotCell *pstCells, std::size_t cCells, std::uint32_t dwColumns, PlotLive &stLive);

// The cells were written by something else: the next frame reduces them all.
void fnPlotLiveForget(PlotLive &stLive);

#endif
