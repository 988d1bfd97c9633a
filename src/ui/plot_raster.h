// The plot's channel lines drawn straight into the pixels of the window's
// back buffer (a 32-bit top-down bitmap). A noisy channel is a bar from min
// to max in every pixel column; GDI's lines cost ten times what these loops
// do under Wine, and a frame of 16 such channels must fit in a few ms.
// Pure code, no allocation; every write lies inside the clip rectangle.
#ifndef ZEVRIK_PLOT_RASTER_H
#define ZEVRIK_PLOT_RASTER_H

#include <cstddef>
#include <cstdint>

#include "plot_store.h"

struct PlotRaster {
    std::uint32_t *m_pdwPixels; // row y starts at m_pdwPixels + y * m_iWidth
    int m_iWidth;
    int m_iHeight;
    // Drawn within [m_iLeft, m_iRight) x [m_iTop, m_iBottom), itself within the bitmap.
    int m_iLeft;
    int m_iTop;
    int m_iRight;
    int m_iBottom;
};

// The line from (x0, y0) to (x1, y1), both ends included: one pixel per row
// or per column, whichever it crosses more of.
void fnRasterLine(const PlotRaster &st, int x0, int y0, int x1, int y1, std::uint32_t dwPixel);

// Where a channel's cells go: column k at x = m_iLeft + k, values from
// m_dLow (the bottom row) to m_dHigh (the top row).
struct PlotRasterScale {
    double m_dLow;
    double m_dHigh;
};

// One channel's cells (fnPlotReduce) as a line: each column's bar from min
// to max, entered at the end nearer to where the line left the column before
// so that joins stay short; columns without points are bridged; a gap (nan,
// inf) breaks the line; a lone point is a dash of two pixels.
void fnRasterChannel(const PlotRaster &st, const PlotRasterScale &stScale, const PlotCell *pstCells,
                     std::uint32_t dwColumns, std::uint32_t dwPixel);

#endif
