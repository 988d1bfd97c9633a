#include "plot_store.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const std::uint64_t kqwNone = ~0ull;

std::uint32_t fnBlock(const PlotStore &st, std::uint64_t qwLine)
{
    return static_cast<std::uint32_t>((qwLine / kPlotBlockRows) & (st.m_dwRowCap / kPlotBlockRows - 1));
}

bool fnHas(std::uint16_t wMask, unsigned nChannel)
{
    return ((wMask >> nChannel) & 1u) != 0;
}

double fnX(const PlotStore &st, PlotAxis nAxis, std::uint64_t qwLine)
{
    return nAxis == kPlotAxisLine ? static_cast<double>(qwLine + 1) : st.m_adTime[fnPlotSlot(st, qwLine)];
}

void fnSummarise(PlotStore &st, std::uint32_t dwBlock, unsigned nChannel, double d)
{
    if (!std::isfinite(d)) {
        st.m_awBlockGap[dwBlock] = static_cast<std::uint16_t>(st.m_awBlockGap[dwBlock] | 1u << nChannel);
        return;
    }
    double &dMin = st.m_aadBlockMin[nChannel][dwBlock];
    double &dMax = st.m_aadBlockMax[nChannel][dwBlock];
    if (!fnHas(st.m_awBlockValue[dwBlock], nChannel)) {
        dMin = d;
        dMax = d;
        st.m_awBlockValue[dwBlock] = static_cast<std::uint16_t>(st.m_awBlockValue[dwBlock] | 1u << nChannel);
        return;
    }
    dMin = std::min(dMin, d);
    dMax = std::max(dMax, d);
}

void fnMergeValue(PlotCell &stCell, double d)
{
    if (!std::isfinite(d)) {
        stCell.m_byFlags |= kPlotCellGap;
        return;
    }
    stCell.m_dMin = std::min(stCell.m_dMin, d);
    stCell.m_dMax = std::max(stCell.m_dMax, d);
    stCell.m_byFlags |= kPlotCellValue;
}

void fnMergeLines(const PlotStore &st, unsigned nChannel, std::uint64_t qwFrom, std::uint64_t qwTo,
                  PlotCell &stCell)
{
    for (std::uint64_t q = qwFrom; q < qwTo; ++q) {
        const std::uint32_t dwSlot = fnPlotSlot(st, q);
        if (fnHas(st.m_awMask[dwSlot], nChannel)) {
            fnMergeValue(stCell, st.m_aadValue[nChannel][dwSlot]);
        }
    }
}

void fnMergeBlock(const PlotStore &st, unsigned nChannel, std::uint32_t dwBlock, PlotCell &stCell)
{
    if (fnHas(st.m_awBlockGap[dwBlock], nChannel)) {
        stCell.m_byFlags |= kPlotCellGap;
    }
    if (fnHas(st.m_awBlockValue[dwBlock], nChannel)) {
        stCell.m_dMin = std::min(stCell.m_dMin, st.m_aadBlockMin[nChannel][dwBlock]);
        stCell.m_dMax = std::max(stCell.m_dMax, st.m_aadBlockMax[nChannel][dwBlock]);
        stCell.m_byFlags |= kPlotCellValue;
    }
}

// Lines [qwFrom, qwTo): those before the first whole block and after the
// last one one by one, whole blocks from their summaries.
void fnReduceLines(const PlotStore &st, unsigned nChannel, std::uint64_t qwFrom, std::uint64_t qwTo,
                   PlotCell &stCell)
{
    stCell.m_dMin = std::numeric_limits<double>::infinity();
    stCell.m_dMax = -std::numeric_limits<double>::infinity();
    stCell.m_byFlags = 0;
    const std::uint64_t qwBlocks =
        std::min(qwTo, (qwFrom + kPlotBlockRows - 1) / kPlotBlockRows * kPlotBlockRows);
    fnMergeLines(st, nChannel, qwFrom, qwBlocks, stCell);
    std::uint64_t q = qwBlocks;
    for (; q + kPlotBlockRows <= qwTo; q += kPlotBlockRows) {
        fnMergeBlock(st, nChannel, fnBlock(st, q), stCell);
    }
    fnMergeLines(st, nChannel, q, qwTo, stCell);
}

bool fnBlockHas(const PlotStore &st, unsigned nChannel, std::uint64_t qwLine)
{
    const std::uint32_t dwBlock = fnBlock(st, qwLine);
    return fnHas(static_cast<std::uint16_t>(st.m_awBlockValue[dwBlock] | st.m_awBlockGap[dwBlock]), nChannel);
}

// The last line before qwLine with a point of the channel, kqwNone if none;
// blocks without one are passed over whole.
std::uint64_t fnPointBefore(const PlotStore &st, unsigned nChannel, std::uint64_t qwLine)
{
    while (qwLine > st.m_qwFirst) {
        --qwLine;
        if (qwLine % kPlotBlockRows == kPlotBlockRows - 1 && !fnBlockHas(st, nChannel, qwLine)) {
            qwLine -= kPlotBlockRows - 1;
        } else if (fnHas(st.m_awMask[fnPlotSlot(st, qwLine)], nChannel)) {
            return qwLine;
        }
    }
    return kqwNone;
}

// The first line from qwLine on with a point of the channel, kqwNone if none.
std::uint64_t fnPointFrom(const PlotStore &st, unsigned nChannel, std::uint64_t qwLine)
{
    while (qwLine < st.m_qwEnd) {
        if (qwLine % kPlotBlockRows == 0 && !fnBlockHas(st, nChannel, qwLine)) {
            qwLine += kPlotBlockRows;
        } else if (fnHas(st.m_awMask[fnPlotSlot(st, qwLine)], nChannel)) {
            return qwLine;
        } else {
            ++qwLine;
        }
    }
    return kqwNone;
}

} // namespace

std::uint32_t fnPlotSlot(const PlotStore &st, std::uint64_t qwLine)
{
    return static_cast<std::uint32_t>(qwLine & (st.m_dwRowCap - 1));
}

void fnPlotStoreInit(PlotStore &st, std::uint32_t dwRowCap)
{
    std::uint32_t dwCap = kPlotRowMax;
    while (dwCap > dwRowCap && dwCap > 2 * kPlotBlockRows) {
        dwCap /= 2;
    }
    st.m_dwRowCap = dwCap;
    st.m_qwFirst = 0;
    st.m_qwEnd = 0;
    st.m_stNames = PlotNames();
}

void fnPlotStoreAdd(PlotStore &st, const PlotLine &stLine, const PlotNames &stNames, double dTime)
{
    if (stLine.m_wNew != 0) {
        st.m_stNames = stNames;
    }
    if (stLine.m_wMask == 0) {
        return;
    }
    if (st.m_qwEnd - st.m_qwFirst == st.m_dwRowCap) {
        st.m_qwFirst += kPlotBlockRows;
    }
    const std::uint64_t qwLine = st.m_qwEnd;
    const std::uint32_t dwSlot = fnPlotSlot(st, qwLine);
    const std::uint32_t dwBlock = fnBlock(st, qwLine);
    // Searches by time need times in order.
    const double dLast = qwLine > st.m_qwFirst ? st.m_adTime[fnPlotSlot(st, qwLine - 1)] : 0.0;
    st.m_adTime[dwSlot] = dTime >= dLast ? dTime : dLast;
    st.m_awMask[dwSlot] = stLine.m_wMask;
    if (qwLine % kPlotBlockRows == 0) {
        st.m_awBlockValue[dwBlock] = 0;
        st.m_awBlockGap[dwBlock] = 0;
    }
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        if (fnHas(stLine.m_wMask, c)) {
            st.m_aadValue[c][dwSlot] = stLine.m_adValue[c];
            fnSummarise(st, dwBlock, c, stLine.m_adValue[c]);
        }
    }
    st.m_qwEnd = qwLine + 1;
}

bool fnPlotExtent(const PlotStore &st, PlotAxis nAxis, double &dFirst, double &dLast)
{
    if (st.m_qwEnd == st.m_qwFirst) {
        return false;
    }
    dFirst = fnX(st, nAxis, st.m_qwFirst);
    dLast = fnX(st, nAxis, st.m_qwEnd - 1);
    return true;
}

std::uint64_t fnPlotLineAt(const PlotStore &st, PlotAxis nAxis, double dX, bool bAfter)
{
    if (nAxis == kPlotAxisLine) {
        // Line index i has line number i + 1.
        const double dLine = bAfter ? std::floor(dX - 1) + 1 : std::ceil(dX - 1);
        if (!(dLine > static_cast<double>(st.m_qwFirst))) {
            return st.m_qwFirst;
        }
        return dLine >= static_cast<double>(st.m_qwEnd) ? st.m_qwEnd : static_cast<std::uint64_t>(dLine);
    }
    std::uint64_t qwLow = st.m_qwFirst;
    std::uint64_t qwHigh = st.m_qwEnd;
    while (qwLow < qwHigh) {
        const std::uint64_t qwMid = qwLow + (qwHigh - qwLow) / 2;
        const double dTime = st.m_adTime[fnPlotSlot(st, qwMid)];
        if (bAfter ? dTime <= dX : dTime < dX) {
            qwLow = qwMid + 1;
        } else {
            qwHigh = qwMid;
        }
    }
    return qwLow;
}

void fnPlotReduce(const PlotStore &st, const PlotRange &stRange, std::uint16_t wChannels, PlotCell *pstCells,
                  std::size_t cCells, std::uint32_t dwColumns)
{
    dwColumns = static_cast<std::uint32_t>(std::min<std::size_t>(dwColumns, cCells / kPlotChannels));
    const double dSpan = stRange.m_dTo - stRange.m_dFrom;
    std::uint64_t qwFrom = fnPlotLineAt(st, stRange.m_nAxis, stRange.m_dFrom, false);
    for (std::uint32_t k = 0; k < dwColumns; ++k) {
        const double dEdge = stRange.m_dFrom + dSpan * (k + 1) / dwColumns;
        const std::uint64_t qwTo =
            std::max(qwFrom, k + 1 < dwColumns ? fnPlotLineAt(st, stRange.m_nAxis, dEdge, false)
                                               : fnPlotLineAt(st, stRange.m_nAxis, stRange.m_dTo, true));
        for (unsigned c = 0; c < kPlotChannels; ++c) {
            if (fnHas(wChannels, c)) {
                fnReduceLines(st, c, qwFrom, qwTo, pstCells[c * dwColumns + k]);
            }
        }
        qwFrom = qwTo;
    }
}

bool fnPlotCellsRange(const PlotCell *pstCells, std::uint32_t dwColumns, std::uint16_t wChannels,
                      double &dMin, double &dMax)
{
    bool bAny = false;
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        for (std::uint32_t k = 0; k < dwColumns && fnHas(wChannels, c); ++k) {
            const PlotCell &stCell = pstCells[c * dwColumns + k];
            if ((stCell.m_byFlags & kPlotCellValue) != 0) {
                dMin = bAny ? std::min(dMin, stCell.m_dMin) : stCell.m_dMin;
                dMax = bAny ? std::max(dMax, stCell.m_dMax) : stCell.m_dMax;
                bAny = true;
            }
        }
    }
    return bAny;
}

bool fnPlotNearest(const PlotStore &st, PlotAxis nAxis, double dX, unsigned nChannel, PlotPoint &stPoint)
{
    if (nChannel >= kPlotChannels) {
        return false;
    }
    const std::uint64_t qwAt = fnPlotLineAt(st, nAxis, dX, false);
    const std::uint64_t qwBefore = fnPointBefore(st, nChannel, qwAt);
    const std::uint64_t qwAfter = fnPointFrom(st, nChannel, qwAt);
    std::uint64_t qwLine = qwBefore != kqwNone ? qwBefore : qwAfter;
    if (qwBefore != kqwNone && qwAfter != kqwNone &&
        fnX(st, nAxis, qwAfter) - dX < dX - fnX(st, nAxis, qwBefore)) {
        qwLine = qwAfter;
    }
    if (qwLine == kqwNone) {
        return false;
    }
    stPoint.m_dTime = st.m_adTime[fnPlotSlot(st, qwLine)];
    stPoint.m_qwLine = qwLine + 1;
    stPoint.m_dValue = st.m_aadValue[nChannel][fnPlotSlot(st, qwLine)];
    return true;
}
