#include "plot_raster.h"

#include <algorithm>

#include "plot_scale.h"

namespace {

// n / d rounded down, for d > 0 and either sign of n.
long long fnFloorDiv(long long n, long long d)
{
    return n >= 0 ? n / d : -((-n + d - 1) / d);
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
    if (yFrom > yTo) {
        return;
    }
    // The stride in a local: a store to the pixels may alias the raster's
    // ints, so the loop would read the width again at every pixel.
    const std::size_t cStride = static_cast<std::size_t>(st.m_iWidth);
    std::uint32_t *pdw =
        st.m_pdwPixels + static_cast<std::size_t>(yFrom) * cStride + static_cast<std::size_t>(x);
    for (int y = yFrom; y <= yTo; ++y, pdw += cStride) {
        *pdw = dwPixel;
    }
}

// A line between neighbouring columns (most joins of a channel's line)
// has its rows split between the two where the rounded walk of
// fnRasterLine would cross over: from its end with the smaller y, rows up
// to the one returned lie in that end's column, the rest in the other's.
int fnSplitRow(int yTop, int yBottom, bool bTopLeft)
{
    const long long dt = static_cast<long long>(yBottom) - yTop;
    return static_cast<int>(yTop + (bTopLeft ? (dt - 1) / 2 : dt / 2));
}

// The first row of the other end's column, which holds at least that end.
int fnRowAfter(int ySplit, int yBottom)
{
    return static_cast<int>(std::min<long long>(ySplit + 1LL, yBottom));
}

// The join from (xLast, yLast) to the next column's yEntry: draws its part
// in the last column and returns the far end of its part in the next one,
// which the caller draws in one run with that column's bar.
int fnJoinNext(const PlotRaster &st, int xLast, int yLast, int yEntry, std::uint32_t dwPixel)
{
    if (yLast <= yEntry) {
        const int ySplit = fnSplitRow(yLast, yEntry, true);
        fnColumn(st, xLast, yLast, ySplit, dwPixel);
        return fnRowAfter(ySplit, yEntry);
    }
    const int ySplit = fnSplitRow(yEntry, yLast, false);
    fnColumn(st, xLast, fnRowAfter(ySplit, yLast), yLast, dwPixel);
    return ySplit;
}

// fnRasterLine between neighbouring columns: the join from the left end,
// then the rest of its part in the right end's column.
void fnNeighbourLine(const PlotRaster &st, int x0, int y0, int x1, int y1, std::uint32_t dwPixel)
{
    if (x1 < x0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    fnColumn(st, x1, fnJoinNext(st, x0, y0, y1, dwPixel), y1, dwPixel);
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
    if (dx == 1 || dx == -1) {
        fnNeighbourLine(st, x0, y0, x1, y1, dwPixel);
        return;
    }
    const bool bSteep = (dy < 0 ? -dy : dy) > (dx < 0 ? -dx : dx);
    // From the smaller end of the axis walked along.
    if ((bSteep && dy < 0) || (!bSteep && dx < 0)) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dx = -dx;
        dy = -dy;
    }
    // Walked along t (y when steep, else x); the other coordinate is
    // c0 + (t - t0) * dc / dt rounded half up, that is floor(num / den) with
    // num = 2 (t - t0) dc + dt and den = 2 dt. Since |dc| <= dt, a step moves
    // it by one at most: the remainder is carried, with no division a pixel
    // (a 64-bit one is a library call on i686).
    const long long t0 = bSteep ? y0 : x0;
    const long long dt = bSteep ? dy : dx;
    const long long dc = bSteep ? dx : dy;
    const long long tFrom = std::max<long long>(t0, bSteep ? st.m_iTop : st.m_iLeft);
    const long long tTo = std::min<long long>(bSteep ? y1 : x1, (bSteep ? st.m_iBottom : st.m_iRight) - 1);
    const long long den = 2 * dt;
    const long long num = 2 * (tFrom - t0) * dc + dt;
    const long long q = fnFloorDiv(num, den);
    long long c = (bSteep ? x0 : y0) + q;
    long long rem = num - q * den;
    for (long long t = tFrom; t <= tTo; ++t) {
        fnPut(st, bSteep ? c : t, bSteep ? t : c, dwPixel);
        rem += 2 * dc;
        if (rem >= den) {
            rem -= den;
            ++c;
        } else if (rem < 0) {
            rem += den;
            --c;
        }
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
        int yJoin = yEntry;
        if (bJoined) {
            if ((yLast > yExit ? yLast - yExit : yExit - yLast) <
                (yLast > yEntry ? yLast - yEntry : yEntry - yLast)) {
                std::swap(yEntry, yExit);
            }
            if (x == xLast + 1) {
                yJoin = fnJoinNext(st, xLast, yLast, yEntry, dwPixel);
            } else {
                fnRasterLine(st, xLast, yLast, x, yEntry, dwPixel);
            }
        } else if (yEntry == yExit) {
            fnPut(st, x + 1, yEntry, dwPixel);
        }
        // The join's part and the bar meet at yEntry: one run.
        fnColumn(st, x, std::min({yJoin, yEntry, yExit}), std::max({yJoin, yEntry, yExit}), dwPixel);
        xLast = x;
        yLast = yExit;
        bJoined = true;
    }
}
