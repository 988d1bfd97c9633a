#include "plot_raster.h"

#include <algorithm>

#include "plot_scale.h"

namespace {

// n / d rounded half up, for d > 0 and either sign of n.
long long fnRoundDiv(long long n, long long d)
{
    const long long q = 2 * n + d;
    const long long dd = 2 * d;
    return q >= 0 ? q / dd : -((-q + dd - 1) / dd);
}

void fnPut(const PlotRaster &st, long long x, long long y, std::uint32_t dwPixel)
{
    if (x >= st.m_iLeft && x < st.m_iRight && y >= st.m_iTop && y < st.m_iBottom) {
        st.m_pdwPixels[static_cast<std::size_t>(y) * st.m_iWidth + static_cast<std::size_t>(x)] = dwPixel;
    }
}

// Most of a noisy channel's pixels are in its bars: a plain loop down a column.
void fnColumn(const PlotRaster &st, int x, int y0, int y1, std::uint32_t dwPixel)
{
    if (x < st.m_iLeft || x >= st.m_iRight) {
        return;
    }
    const int yFrom = std::max(std::min(y0, y1), st.m_iTop);
    const int yTo = std::min(std::max(y0, y1), st.m_iBottom - 1);
    std::uint32_t *pdw = st.m_pdwPixels + static_cast<std::size_t>(x);
    for (int y = yFrom; y <= yTo; ++y) {
        pdw[static_cast<std::size_t>(y) * st.m_iWidth] = dwPixel;
    }
}

} // namespace

void fnRasterLine(const PlotRaster &st, int x0, int y0, int x1, int y1, std::uint32_t dwPixel)
{
    if (x0 == x1) {
        fnColumn(st, x0, y0, y1, dwPixel);
        return;
    }
    long long dx = static_cast<long long>(x1) - x0;
    long long dy = static_cast<long long>(y1) - y0;
    const bool bSteep = (dy < 0 ? -dy : dy) > (dx < 0 ? -dx : dx);
    // From the smaller end of the axis walked along.
    if ((bSteep && dy < 0) || (!bSteep && dx < 0)) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dx = -dx;
        dy = -dy;
    }
    if (bSteep) {
        for (long long y = std::max(y0, st.m_iTop); y <= std::min(y1, st.m_iBottom - 1); ++y) {
            fnPut(st, x0 + fnRoundDiv((y - y0) * dx, dy), y, dwPixel);
        }
        return;
    }
    for (long long x = std::max(x0, st.m_iLeft); x <= std::min(x1, st.m_iRight - 1); ++x) {
        fnPut(st, x, y0 + fnRoundDiv((x - x0) * dy, dx), dwPixel);
    }
}

void fnRasterChannel(const PlotRaster &st, const PlotRasterScale &stScale, const PlotCell *pstCells,
                     std::uint32_t dwColumns, std::uint32_t dwPixel)
{
    const int iRows = st.m_iBottom - 1 - st.m_iTop;
    bool bJoined = false;
    int xLast = 0;
    int yLast = 0;
    for (std::uint32_t k = 0; k < dwColumns; ++k) {
        const PlotCell &stCell = pstCells[k];
        if ((stCell.m_byFlags & kPlotCellGap) != 0) {
            bJoined = false;
        }
        if ((stCell.m_byFlags & kPlotCellValue) == 0) {
            continue;
        }
        const int x = st.m_iLeft + static_cast<int>(k);
        int yEntry = fnPlotPixel(stCell.m_dMin, stScale.m_dLow, stScale.m_dHigh, st.m_iTop, iRows, true);
        int yExit = fnPlotPixel(stCell.m_dMax, stScale.m_dLow, stScale.m_dHigh, st.m_iTop, iRows, true);
        if (bJoined) {
            if ((yLast > yExit ? yLast - yExit : yExit - yLast) <
                (yLast > yEntry ? yLast - yEntry : yEntry - yLast)) {
                std::swap(yEntry, yExit);
            }
            fnRasterLine(st, xLast, yLast, x, yEntry, dwPixel);
        } else if (yEntry == yExit) {
            fnPut(st, x + 1, yEntry, dwPixel);
        }
        fnColumn(st, x, yEntry, yExit, dwPixel);
        xLast = x;
        yLast = yExit;
        bJoined = true;
    }
}
