#include "plot_store.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const std::uint64_t kqwNone = ~0ull;

std::uint64_t fnRoundUp(std::uint64_t qw, std::uint32_t dwUnit)
{
    return (qw + dwUnit - 1) / dwUnit * dwUnit;
}

// The summary slot of the block of N lines that holds line index qwLine.
template <std::uint32_t N> std::uint32_t fnUnit(const PlotStore &st, std::uint64_t qwLine)
{
    return static_cast<std::uint32_t>((qwLine / N) & (st.m_dwRowCap / N - 1));
}

double fnX(const PlotStore &st, PlotAxis nAxis, std::uint64_t qwLine)
{
    return nAxis == kPlotAxisLine ? static_cast<double>(qwLine + 1) : st.m_adTime[fnPlotSlot(st, qwLine)];
}

// A line that starts a block empties its summary.
template <std::uint32_t N> void fnStartUnit(const PlotStore &st, PlotSummary<N> &stSum, std::uint64_t qwLine)
{
    if (qwLine % N == 0) {
        stSum.m_awValue[fnUnit<N>(st, qwLine)] = 0;
        stSum.m_awGap[fnUnit<N>(st, qwLine)] = 0;
    }
}

template <std::uint32_t N>
void fnSummarise(const PlotStore &st, PlotSummary<N> &stSum, std::uint64_t qwLine, unsigned nChannel,
                 double d)
{
    const std::uint32_t dwUnit = fnUnit<N>(st, qwLine);
    if (!std::isfinite(d)) {
        stSum.m_awGap[dwUnit] = static_cast<std::uint16_t>(stSum.m_awGap[dwUnit] | 1u << nChannel);
        return;
    }
    double &dMin = stSum.m_aadMin[nChannel][dwUnit];
    double &dMax = stSum.m_aadMax[nChannel][dwUnit];
    if (!fnPlotHas(stSum.m_awValue[dwUnit], nChannel)) {
        dMin = d;
        dMax = d;
        stSum.m_awValue[dwUnit] = static_cast<std::uint16_t>(stSum.m_awValue[dwUnit] | 1u << nChannel);
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
        if (fnPlotHas(st.m_awMask[dwSlot], nChannel)) {
            fnMergeValue(stCell, st.m_aadValue[nChannel][dwSlot]);
        }
    }
}

template <std::uint32_t N>
void fnMergeUnit(const PlotStore &st, const PlotSummary<N> &stSum, unsigned nChannel, std::uint64_t qwLine,
                 PlotCell &stCell)
{
    const std::uint32_t dwUnit = fnUnit<N>(st, qwLine);
    if (fnPlotHas(stSum.m_awGap[dwUnit], nChannel)) {
        stCell.m_byFlags |= kPlotCellGap;
    }
    if (fnPlotHas(stSum.m_awValue[dwUnit], nChannel)) {
        stCell.m_dMin = std::min(stCell.m_dMin, stSum.m_aadMin[nChannel][dwUnit]);
        stCell.m_dMax = std::max(stCell.m_dMax, stSum.m_aadMax[nChannel][dwUnit]);
        stCell.m_byFlags |= kPlotCellValue;
    }
}

using MergePart = void (*)(const PlotStore &, unsigned, std::uint64_t, std::uint64_t, PlotCell &);

// Lines [qwFrom, qwTo) of one channel: whole blocks of N lines from their
// summaries, the lines before and after them by Part (a template argument,
// so that the hot loop calls it directly).
template <std::uint32_t N, MergePart Part>
void fnMergeSummarised(const PlotStore &st, const PlotSummary<N> &stSum, unsigned nChannel,
                       std::uint64_t qwFrom, std::uint64_t qwTo, PlotCell &stCell)
{
    const std::uint64_t qwUnits = std::min(qwTo, fnRoundUp(qwFrom, N));
    Part(st, nChannel, qwFrom, qwUnits, stCell);
    std::uint64_t q = qwUnits;
    for (; q + N <= qwTo; q += N) {
        fnMergeUnit(st, stSum, nChannel, q, stCell);
    }
    Part(st, nChannel, q, qwTo, stCell);
}

void fnMergeFine(const PlotStore &st, unsigned nChannel, std::uint64_t qwFrom, std::uint64_t qwTo,
                 PlotCell &stCell)
{
    fnMergeSummarised<kPlotFineRows, fnMergeLines>(st, st.m_stFine, nChannel, qwFrom, qwTo, stCell);
}

bool fnBlockHas(const PlotStore &st, unsigned nChannel, std::uint64_t qwLine)
{
    const std::uint32_t dwUnit = fnUnit<kPlotBlockRows>(st, qwLine);
    return fnPlotHas(
        static_cast<std::uint16_t>(st.m_stBlocks.m_awValue[dwUnit] | st.m_stBlocks.m_awGap[dwUnit]),
        nChannel);
}

// The last line before qwLine with a point of the channel, kqwNone if none;
// blocks without one are passed over whole.
std::uint64_t fnPointBefore(const PlotStore &st, unsigned nChannel, std::uint64_t qwLine)
{
    while (qwLine > st.m_qwFirst) {
        --qwLine;
        if (qwLine % kPlotBlockRows == kPlotBlockRows - 1 && !fnBlockHas(st, nChannel, qwLine)) {
            qwLine -= kPlotBlockRows - 1;
        } else if (fnPlotHas(st.m_awMask[fnPlotSlot(st, qwLine)], nChannel)) {
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
        } else if (fnPlotHas(st.m_awMask[fnPlotSlot(st, qwLine)], nChannel)) {
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

// The cell is built in a local, which the compiler keeps in registers.
void fnPlotReduceCell(const PlotStore &st, unsigned nChannel, std::uint64_t qwFrom, std::uint64_t qwTo,
                      PlotCell &stOut)
{
    PlotCell stCell = kPlotEmptyCell;
    fnMergeSummarised<kPlotBlockRows, fnMergeFine>(st, st.m_stBlocks, nChannel, qwFrom, qwTo, stCell);
    stOut = stCell;
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
    ++st.m_dwInits;
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
    // Searches by time need times in order.
    const double dLast = qwLine > st.m_qwFirst ? st.m_adTime[fnPlotSlot(st, qwLine - 1)] : 0.0;
    st.m_adTime[dwSlot] = dTime >= dLast ? dTime : dLast;
    st.m_awMask[dwSlot] = stLine.m_wMask;
    fnStartUnit(st, st.m_stFine, qwLine);
    fnStartUnit(st, st.m_stBlocks, qwLine);
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        if (fnPlotHas(stLine.m_wMask, c)) {
            st.m_aadValue[c][dwSlot] = stLine.m_adValue[c];
            fnSummarise(st, st.m_stFine, qwLine, c, stLine.m_adValue[c]);
            fnSummarise(st, st.m_stBlocks, qwLine, c, stLine.m_adValue[c]);
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
    // A run of columns at a time, channel by channel, so that each channel's
    // lines are read in order: the lines around one column's end are those
    // around the next one's start.
    const std::uint32_t kdwRun = 256;
    std::uint64_t aqwEdge[kdwRun + 1];
    aqwEdge[kdwRun] = fnPlotLineAt(st, stRange.m_nAxis, stRange.m_dFrom, false);
    for (std::uint32_t dwRun = 0; dwRun < dwColumns; dwRun += kdwRun) {
        const std::uint32_t dwCount = std::min(kdwRun, dwColumns - dwRun);
        aqwEdge[0] = aqwEdge[kdwRun];
        for (std::uint32_t i = 1; i <= dwCount; ++i) {
            const std::uint32_t k = dwRun + i;
            const double dEdge = stRange.m_dFrom + dSpan * k / dwColumns;
            aqwEdge[i] = std::max(aqwEdge[i - 1],
                                  k < dwColumns ? fnPlotLineAt(st, stRange.m_nAxis, dEdge, false)
                                                : fnPlotLineAt(st, stRange.m_nAxis, stRange.m_dTo, true));
        }
        for (unsigned c = 0; c < kPlotChannels; ++c) {
            for (std::uint32_t i = 0; i < dwCount && fnPlotHas(wChannels, c); ++i) {
                fnPlotReduceCell(st, c, aqwEdge[i], aqwEdge[i + 1], pstCells[c * dwColumns + dwRun + i]);
            }
        }
        aqwEdge[kdwRun] = aqwEdge[dwCount];
    }
}

bool fnPlotCellsRange(const PlotCell *pstCells, std::uint32_t dwColumns, std::uint16_t wChannels,
                      double &dMin, double &dMax)
{
    bool bAny = false;
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        for (std::uint32_t k = 0; k < dwColumns && fnPlotHas(wChannels, c); ++k) {
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
