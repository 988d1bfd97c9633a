// The plot's Export: the recorded lines as CSV text, made in chunks so that
// the glue can lock the store for one chunk at a time while it writes them to
// the file. Pure code, no allocation.
//
// A header "time,line,<channel names>", then one row per line in order: the
// time in seconds with 6 decimals, the line number and each channel's value,
// empty where the line had none. Values are written in the fewest digits
// that read back as the same double ("0.1", "23.5", "-0.0015"), gaps as nan,
// inf or -inf. Rows end with CR LF. The columns are the channels there were
// when the export started.
#ifndef ZEVRIK_PLOT_CSV_H
#define ZEVRIK_PLOT_CSV_H

#include <cstddef>
#include <cstdint>

#include "plot_store.h"

// The longest header or row, with CR LF and a terminating zero: "time,line"
// and a quoted name with its quotes doubled per channel.
const std::size_t kPlotCsvRowMax = 16 + kPlotChannels * (2 * kPlotNameMax + 1);
// The longest value text with its terminating zero.
const std::size_t kPlotValueMax = 32;

struct PlotCsv {
    std::uint64_t m_qwNext; // the index of the next line to write
    std::uint64_t m_qwEnd;
    std::uint64_t m_qwLost; // lines the ring dropped before their turn: not written
    std::uint8_t m_byChannels;
    bool m_bHeader; // the header is still to write
};

// An export of every kept line, or (pstRange not null) of those whose X is in
// the range. Clearing the store ends an export.
void fnPlotCsvStart(PlotCsv &stCsv, const PlotStore &st, const PlotRange *pstRange);

// Writes as many whole rows as fit into pch (cch at least kPlotCsvRowMax);
// returns the bytes written, 0 when the export is complete. No terminating
// zero.
std::size_t fnPlotCsvChunk(PlotCsv &stCsv, const PlotStore &st, char *pch, std::size_t cch);

// A value's text as the export writes it (cch at least kPlotValueMax), with
// a terminating zero; returns its length.
std::size_t fnPlotFormatValue(char *pch, std::size_t cch, double d);

#endif
