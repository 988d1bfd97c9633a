#include "plot_live.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Column j of the grid covers X from j * m_dWidth up to the next one's start;
// a view shows m_dwColumns of them from m_dColumn on, the last one up to its
// end included. Edges are worked out as (grid number) * width alone, so that
// a column's lines are the same in every frame that shows it.
struct Grid {
    double m_dWidth;
    double m_dColumn;
    std::uint32_t m_dwColumns;
};

PlotRange fnRangeOf(PlotAxis nAxis, const Grid &g)
{
    const PlotRange st = {nAxis, g.m_dColumn * g.m_dWidth, (g.m_dColumn + g.m_dwColumns) * g.m_dWidth};
    return st;
}

// X of the first and the newest line; with none yet, where the first will be.
void fnLiveExtent(const PlotStore &st, PlotAxis nAxis, double &dFirst, double &dLast)
{
    dFirst = nAxis == kPlotAxisLine ? 1.0 : 0.0;
    dLast = dFirst;
    fnPlotExtent(st, nAxis, dFirst, dLast);
}

// The view ends with the newest line's column, or while less than a span
// has come, starts with the first line's.
Grid fnLiveGrid(const PlotStore &st, PlotAxis nAxis, double dSpan, std::uint32_t dwColumns)
{
    double dFirst = 0;
    double dLast = 0;
    fnLiveExtent(st, nAxis, dFirst, dLast);
    Grid g = {dSpan / dwColumns, 0, dwColumns};
    double dFirstColumn = std::floor(dFirst / g.m_dWidth);
    dFirstColumn -= dFirstColumn * g.m_dWidth > dFirst ? 1 : 0;
    double dEnd = std::ceil(dLast / g.m_dWidth);
    dEnd += dEnd * g.m_dWidth < dLast ? 1 : 0;
    g.m_dColumn = std::max(dEnd, dFirstColumn + dwColumns) - dwColumns;
    return g;
}

std::uint64_t fnEdgeLine(const PlotStore &st, PlotAxis nAxis, const Grid &g, std::uint32_t i)
{
    return i < g.m_dwColumns ? fnPlotLineAt(st, nAxis, (g.m_dColumn + i) * g.m_dWidth, false)
                             : fnPlotLineAt(st, nAxis, (g.m_dColumn + i) * g.m_dWidth, true);
}

// The last frame's cells hold for this one where the same columns of the
// same grid show the same channels, no line of them left the ring and the
// grid moved on by less than a view.
bool fnCanKeep(const PlotStore &st, PlotAxis nAxis, const Grid &g, std::uint16_t wChannels,
               const PlotLive &stLive)
{
    return stLive.m_bValid && stLive.m_nAxis == nAxis && stLive.m_dWidth == g.m_dWidth &&
           stLive.m_dwColumns == g.m_dwColumns && stLive.m_wChannels == wChannels &&
           stLive.m_dwStoreInits == st.m_dwInits && st.m_qwEnd >= stLive.m_qwEnd &&
           stLive.m_qwShownFrom >= st.m_qwFirst && g.m_dColumn >= stLive.m_dColumn &&
           g.m_dColumn - stLive.m_dColumn < g.m_dwColumns;
}

// Moves the kept cells to their columns in this frame; returns the first
// column to reduce: the one the last frame's newest line was in (later
// lines come after it), or the first of the view.
std::uint32_t fnKeepCells(const Grid &g, std::uint16_t wChannels, const PlotLive &stLive, PlotCell *pstCells)
{
    const std::uint32_t dwShift = static_cast<std::uint32_t>(g.m_dColumn - stLive.m_dColumn);
    for (unsigned c = 0; c < kPlotChannels && dwShift != 0; ++c) {
        if (fnPlotHas(wChannels, c)) {
            PlotCell *pst = pstCells + c * g.m_dwColumns;
            std::memmove(pst, pst + dwShift, (g.m_dwColumns - dwShift) * sizeof *pst);
        }
    }
    const double dOpen = stLive.m_dOpenColumn - g.m_dColumn;
    return dOpen > 0 ? static_cast<std::uint32_t>(std::min<double>(dOpen, g.m_dwColumns)) : 0;
}

} // namespace

PlotRange fnPlotLiveRange(const PlotStore &st, PlotAxis nAxis, double dSpan, std::uint32_t dwColumns)
{
    if (dwColumns != 0 && dSpan > 0) {
        return fnRangeOf(nAxis, fnLiveGrid(st, nAxis, dSpan, dwColumns));
    }
    double dFirst = 0;
    double dLast = 0;
    fnLiveExtent(st, nAxis, dFirst, dLast);
    const double dTo = std::max(dLast, dFirst + dSpan);
    const PlotRange stRange = {nAxis, dTo - dSpan, dTo};
    return stRange;
}

PlotRange fnPlotLiveReduce(const PlotStore &st, PlotAxis nAxis, double dSpan, std::uint16_t wChannels,
                           PlotCell *pstCells, std::size_t cCells, std::uint32_t dwColumns, PlotLive &stLive)
{
    dwColumns = static_cast<std::uint32_t>(std::min<std::size_t>(dwColumns, cCells / kPlotChannels));
    if (dwColumns == 0 || !(dSpan > 0)) {
        fnPlotLiveForget(stLive);
        return fnPlotLiveRange(st, nAxis, dSpan, 0);
    }
    const Grid g = fnLiveGrid(st, nAxis, dSpan, dwColumns);
    const std::uint32_t dwFrom =
        fnCanKeep(st, nAxis, g, wChannels, stLive) ? fnKeepCells(g, wChannels, stLive, pstCells) : 0;
    // Each column's lines end where the next one's start: one search per
    // edge, none past the newest line (before a span has come, most columns).
    std::uint64_t qwStart = fnEdgeLine(st, nAxis, g, dwFrom);
    std::uint32_t dwOpen = dwFrom;
    for (std::uint32_t i = dwFrom; i < dwColumns; ++i) {
        const std::uint64_t qwEnd =
            qwStart == st.m_qwEnd ? qwStart : std::max(qwStart, fnEdgeLine(st, nAxis, g, i + 1));
        for (unsigned c = 0; c < kPlotChannels; ++c) {
            // While less than a span has come, most columns have no lines.
            if (fnPlotHas(wChannels, c) && qwStart == qwEnd) {
                pstCells[c * dwColumns + i] = kPlotEmptyCell;
            } else if (fnPlotHas(wChannels, c)) {
                fnPlotReduceCell(st, c, qwStart, qwEnd, pstCells[c * dwColumns + i]);
            }
        }
        dwOpen = qwStart < st.m_qwEnd ? i : dwOpen;
        qwStart = qwEnd;
    }
    stLive.m_bValid = true;
    stLive.m_nAxis = nAxis;
    stLive.m_dWidth = g.m_dWidth;
    stLive.m_dColumn = g.m_dColumn;
    stLive.m_dwColumns = dwColumns;
    stLive.m_wChannels = wChannels;
    stLive.m_dwStoreInits = st.m_dwInits;
    stLive.m_qwEnd = st.m_qwEnd;
    stLive.m_qwShownFrom = fnEdgeLine(st, nAxis, g, 0);
    stLive.m_dOpenColumn = g.m_dColumn + dwOpen;
    return fnRangeOf(nAxis, g);
}

void fnPlotLiveForget(PlotLive &stLive)
{
    stLive.m_bValid = false;
}
