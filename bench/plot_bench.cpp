// The plot's costs beside plain floors measured in the same run (built and
// run by bench/plot; native, optimised, no sanitisers).
//
// Reading: 200,000 lines of 16 channels in three forms, fed from memory in
// 512-byte reads as the receive worker reads the port, each line recorded in
// the store; the floor is a plain memchr split of the same reads into lines.
// The line counts are compared. Redraw: 10 channels x 1,000,000 lines at
// 2,000 lines a second reduced into 1,000 columns over 300 windows of 1 s to
// the whole 500 s, each once after the floor and once again; the floor is one
// plain pass over the same window's values (min and max per column, no
// summaries). Live: 16 channels streaming at 2,000 lines a second, a frame
// of the newest 10 s in 640 columns every 25 ms, with the last frame's cells
// kept, beside the same frames reduced whole; the last frame's cells drawn
// into a 640 x 400 data area as the window draws them, beside the floor of
// any such drawing: each column's bar from min to max alone, in a plain loop.
// Export: the whole store as CSV.
#include "plot_csv.h"
#include "plot_live.h"
#include "plot_parse.h"
#include "plot_raster.h"
#include "plot_scale.h"
#include "plot_store.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const std::size_t kRead = 512;
const int kLines = 200000;
const unsigned kChannels = 16;
const int kStoreLines = 1000000;
const unsigned kDrawChannels = 10;
const std::uint32_t kColumns = 1000;
const double kLinesPerSecond = 2000;

typedef std::chrono::steady_clock Clock;

double fnMsSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::string fnLines(int nForm)
{
    std::mt19937 stRand(7);
    std::string str;
    char ach[64];
    for (int i = 0; i < kLines; ++i) {
        for (unsigned c = 0; c < kChannels; ++c) {
            const double d = std::sin(i * 0.001 * (c + 1)) * 100;
            if (nForm == 0) {
                std::snprintf(ach, sizeof ach, "%sch%u:%.3f", c == 0 ? "" : " ", c + 1, d);
            } else if (nForm == 1) {
                std::snprintf(ach, sizeof ach, "%s%d", c == 0 ? "" : ",", static_cast<int>(stRand() % 65536));
            } else {
                std::snprintf(ach, sizeof ach, "%s%.17g", c == 0 ? "" : ",", d / 100);
            }
            str += ach;
        }
        str += "\r\n";
    }
    return str;
}

// The floor: the same reads split into lines at their line ends.
double fnPlainSplit(const std::string &str, std::uint64_t &qwLines)
{
    unsigned uSum = 0;
    qwLines = 0;
    const auto t = Clock::now();
    for (std::size_t i = 0; i < str.size(); i += kRead) {
        const char *pch = str.data() + i;
        const char *pchEnd = pch + std::min(kRead, str.size() - i);
        for (const char *p; (p = static_cast<const char *>(std::memchr(pch, '\n', pchEnd - pch))) != nullptr;
             pch = p + 1) {
            uSum += static_cast<unsigned char>(*pch);
            ++qwLines;
        }
    }
    const double dMs = fnMsSince(t);
    qwLines += uSum == 1 ? 1 : 0; // keeps the loop from being optimised away
    return dMs;
}

double fnParseStore(const std::string &str, PlotStore &stStore, std::uint64_t &qwLines)
{
    static PlotParser st;
    fnPlotParseInit(st, kPlotFormatAll);
    fnPlotStoreInit(stStore, kPlotRowMax);
    PlotLine stLine;
    const auto t = Clock::now();
    for (std::size_t i = 0; i < str.size(); i += kRead) {
        const char *pch = str.data() + i;
        for (std::size_t cch = std::min(kRead, str.size() - i); cch > 0;) {
            const std::size_t cchUsed = fnPlotParseFeed(st, pch, cch, stLine);
            pch += cchUsed;
            cch -= cchUsed;
            fnPlotStoreAdd(stStore, stLine, st.m_stNames, static_cast<double>(i) / 1e6);
        }
    }
    const double dMs = fnMsSince(t);
    qwLines = stStore.m_qwEnd;
    return dMs;
}

void fnParseRow(const char *pszWhat, const std::string &str, PlotStore &stStore)
{
    std::uint64_t qwPlain = 0;
    std::uint64_t qwParsed = 0;
    double dPlain = 1e30;
    double dParse = 1e30;
    // Best of three of each, interleaved, so a busy machine hurts both alike.
    for (int i = 0; i < 3; ++i) {
        dPlain = std::min(dPlain, fnPlainSplit(str, qwPlain));
        dParse = std::min(dParse, fnParseStore(str, stStore, qwParsed));
    }
    const double dNsPlain = dPlain * 1e6 / kLines;
    const double dNsParse = dParse * 1e6 / kLines;
    std::printf("%-34s %6.0f ns/line (plain split %4.0f ns/line); lines %llu of %llu; "
                "at 2,000 lines/s %.2f%% of a core\n",
                pszWhat, dNsParse, dNsPlain, static_cast<unsigned long long>(qwParsed),
                static_cast<unsigned long long>(qwPlain), dNsParse * kLinesPerSecond / 1e7);
}

void fnFillStore(PlotStore &st)
{
    std::mt19937 stRand(11);
    fnPlotStoreInit(st, kPlotRowMax);
    PlotNames stNames = {};
    stNames.m_byCount = kDrawChannels;
    PlotLine stLine = {};
    stLine.m_wMask = (1u << kDrawChannels) - 1;
    stLine.m_wNew = stLine.m_wMask;
    for (int i = 0; i < kStoreLines; ++i) {
        for (unsigned c = 0; c < kDrawChannels; ++c) {
            const double dNoise = static_cast<double>(stRand() % 1000) / 1000;
            // As a device prints them, with 3 decimals.
            const double d = std::round((std::sin(i * 0.0005 * (c + 1)) * (c + 1) + dNoise) * 1000) / 1000;
            stLine.m_adValue[c] = static_cast<unsigned>(i % 10007) == c ? NAN : d;
        }
        fnPlotStoreAdd(st, stLine, stNames, i / kLinesPerSecond);
        stLine.m_wNew = 0;
    }
}

// The floor: one pass over the window's values, min and max per column.
void fnPlainReduce(const PlotStore &st, const PlotRange &stRange, PlotCell *pstCells)
{
    const std::uint64_t qwFrom = fnPlotLineAt(st, kPlotAxisTime, stRange.m_dFrom, false);
    const std::uint64_t qwTo = fnPlotLineAt(st, kPlotAxisTime, stRange.m_dTo, true);
    const double dScale = kColumns / (stRange.m_dTo - stRange.m_dFrom);
    for (unsigned c = 0; c < kDrawChannels; ++c) {
        PlotCell *pst = pstCells + c * kColumns;
        for (std::uint32_t k = 0; k < kColumns; ++k) {
            pst[k] = PlotCell{INFINITY, -INFINITY, 0};
        }
        for (std::uint64_t q = qwFrom; q < qwTo; ++q) {
            const std::uint32_t dwSlot = fnPlotSlot(st, q);
            const double d = st.m_aadValue[c][dwSlot];
            const std::uint32_t k = std::min<std::uint32_t>(
                kColumns - 1, static_cast<std::uint32_t>((st.m_adTime[dwSlot] - stRange.m_dFrom) * dScale));
            pst[k].m_dMin = std::min(pst[k].m_dMin, d);
            pst[k].m_dMax = std::max(pst[k].m_dMax, d);
        }
    }
}

void fnPercentiles(const char *pszWhat, std::vector<double> &vec)
{
    std::sort(vec.begin(), vec.end());
    std::printf("%-34s p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms  (%zu calls)\n", pszWhat, vec[vec.size() / 2],
                vec[vec.size() * 99 / 100], vec.back(), vec.size());
}

void fnRedraw(const PlotStore &st)
{
    static PlotCell astCells[kPlotChannels * kColumns];
    std::mt19937 stRand(3);
    double dFirst = 0;
    double dLast = 0;
    fnPlotExtent(st, kPlotAxisTime, dFirst, dLast);
    std::vector<double> vecCold;
    std::vector<double> vecWarm;
    std::vector<double> vecLines;
    std::vector<double> vecPlain;
    for (int i = 0; i < 300; ++i) {
        // Spans from 1 s to the whole store, spread evenly on a log scale.
        const double dSpan = std::exp(std::log(dLast - dFirst) * i / 299);
        const double dFrom = dFirst + (dLast - dFirst - dSpan) * (stRand() % 1001) / 1000;
        const PlotRange stRange = {kPlotAxisTime, dFrom, dFrom + dSpan};
        // The first call finds the caches as the last floor pass left them,
        // the second as a redraw of a window that moved little since.
        for (std::vector<double> *pvec : {&vecCold, &vecWarm}) {
            const auto t = Clock::now();
            fnPlotReduce(st, stRange, (1u << kDrawChannels) - 1, astCells, kPlotChannels * kColumns,
                         kColumns);
            pvec->push_back(fnMsSince(t));
        }
        double dMin = 0;
        double dMax = 0;
        fnPlotCellsRange(astCells, kColumns, (1u << kDrawChannels) - 1, dMin, dMax);
        const PlotRange stLines = {kPlotAxisLine, dFrom * kLinesPerSecond, (dFrom + dSpan) * kLinesPerSecond};
        auto t = Clock::now();
        fnPlotReduce(st, stLines, (1u << kDrawChannels) - 1, astCells, kPlotChannels * kColumns, kColumns);
        vecLines.push_back(fnMsSince(t));
        t = Clock::now();
        fnPlainReduce(st, stRange, astCells);
        vecPlain.push_back(fnMsSince(t));
    }
    std::printf("redraw, %u channels x %d lines into %u columns, windows of 1 s to %.0f s\n", kDrawChannels,
                kStoreLines, kColumns, dLast - dFirst);
    fnPercentiles("  reduce, time axis, cold caches", vecCold);
    fnPercentiles("  reduce, time axis, warm caches", vecWarm);
    fnPercentiles("  reduce, line axis, warm caches", vecLines);
    fnPercentiles("  plain pass over the values, floor", vecPlain);
}

void fnExportAndCursor(const PlotStore &st)
{
    static char ach[1 << 16];
    PlotCsv stCsv;
    fnPlotCsvStart(stCsv, st, nullptr);
    std::uint64_t qwBytes = 0;
    auto t = Clock::now();
    for (std::size_t cch; (cch = fnPlotCsvChunk(stCsv, st, ach, sizeof ach)) != 0;) {
        qwBytes += cch;
    }
    const double dMs = fnMsSince(t);
    std::printf("export, %d rows of %u values with 3 decimals: %.0f ms, %.0f MiB (%.0f ns/row)\n",
                kStoreLines, kDrawChannels, dMs, qwBytes / 1048576.0, dMs * 1e6 / kStoreLines);
    PlotPoint stPoint;
    t = Clock::now();
    for (int i = 0; i < 10000; ++i) {
        fnPlotNearest(st, kPlotAxisTime, i * 0.05, i % kDrawChannels, stPoint);
    }
    std::printf("cursor read-out: %.2f us per channel\n", fnMsSince(t) * 1000 / 10000);
}

bool fnSameCell(const PlotCell &a, const PlotCell &b)
{
    return a.m_byFlags == b.m_byFlags &&
           ((a.m_byFlags & kPlotCellValue) == 0 || (a.m_dMin == b.m_dMin && a.m_dMax == b.m_dMax));
}

void fnPlainBars(const PlotRaster &st, const PlotRasterScale &stScale, const PlotCell *pstCells,
                 std::uint32_t dwColumns, std::uint32_t dwPixel)
{
    const int iRows = st.m_iBottom - 1 - st.m_iTop;
    const std::size_t cStride = static_cast<std::size_t>(st.m_iWidth);
    for (std::uint32_t k = 0; k < dwColumns; ++k) {
        std::uint32_t *const pdwColumn = st.m_pdwPixels + k;
        const int yTop =
            fnPlotPixel(pstCells[k].m_dMax, stScale.m_dLow, stScale.m_dHigh, st.m_iTop, iRows, true);
        const int yBottom =
            fnPlotPixel(pstCells[k].m_dMin, stScale.m_dLow, stScale.m_dHigh, st.m_iTop, iRows, true);
        for (std::uint32_t *pdw = pdwColumn + static_cast<std::size_t>(yTop) * cStride;
             pdw <= pdwColumn + static_cast<std::size_t>(yBottom) * cStride; pdw += cStride) {
            *pdw = dwPixel;
        }
    }
}

// The live view's last frame drawn as the window draws it, then as bars
// alone (the floor: what any drawing of these cells must write).
void fnRaster(const PlotCell *pstCells, std::uint32_t dwColumns)
{
    const int kHeight = 400;
    std::vector<std::uint32_t> vecPixels(dwColumns * kHeight);
    const int iWidth = static_cast<int>(dwColumns);
    const PlotRaster stRaster = {vecPixels.data(), iWidth, kHeight, 0, 0, iWidth, kHeight};
    PlotRasterScale stScale = {0, 0};
    double dMin = 0;
    double dMax = 0;
    fnPlotCellsRange(pstCells, dwColumns, 0xFFFF, dMin, dMax);
    fnPlotAutoRange(dMin, dMax, stScale.m_dLow, stScale.m_dHigh);
    std::vector<double> vecLines;
    std::vector<double> vecBars;
    for (int n = 0; n < 400; ++n) {
        auto t = Clock::now();
        for (unsigned c = 0; c < kChannels; ++c) {
            fnRasterChannel(stRaster, stScale, pstCells + c * dwColumns, dwColumns, c + 1);
        }
        vecLines.push_back(fnMsSince(t));
        t = Clock::now();
        for (unsigned c = 0; c < kChannels; ++c) {
            fnPlainBars(stRaster, stScale, pstCells + c * dwColumns, dwColumns, c + 1);
        }
        vecBars.push_back(fnMsSince(t));
    }
    std::printf("drawing the live view's last frame, %u channels in %u x %d pixels\n", kChannels, dwColumns,
                kHeight);
    fnPercentiles("  the channels' lines", vecLines);
    fnPercentiles("  their bars alone, floor", vecBars);
}

// Frames of the live view while lines stream in: each reduced with the last
// frame's cells kept, then whole (the floor: what every frame cost before).
void fnLive(PlotStore &st)
{
    const int kSeconds = 200;
    const std::uint32_t kLiveColumns = 640;
    const double kSpan = 10;
    const int kLinesPerFrame = 50; // 25 ms at 2,000 lines a second
    static PlotCell astKept[kPlotChannels * kLiveColumns];
    static PlotCell astWhole[kPlotChannels * kLiveColumns];
    fnPlotStoreInit(st, kPlotRowMax);
    PlotNames stNames = {};
    stNames.m_byCount = kChannels;
    PlotLine stLine = {};
    stLine.m_wMask = 0xFFFF;
    stLine.m_wNew = stLine.m_wMask;
    PlotLive stLive = {};
    std::vector<double> vecKept;
    std::vector<double> vecWhole;
    int nSame = 0;
    for (int nLine = 0; nLine < kSeconds * kLinesPerSecond;) {
        for (int i = 0; i < kLinesPerFrame; ++i, ++nLine) {
            for (unsigned c = 0; c < kChannels; ++c) {
                stLine.m_adValue[c] = std::round(std::sin(nLine * 0.001 * (c + 1)) * 100000) / 1000;
            }
            fnPlotStoreAdd(st, stLine, stNames, nLine / kLinesPerSecond);
            stLine.m_wNew = 0;
        }
        auto t = Clock::now();
        fnPlotLiveReduce(st, kPlotAxisTime, kSpan, 0xFFFF, astKept, kPlotChannels * kLiveColumns,
                         kLiveColumns, stLive);
        vecKept.push_back(fnMsSince(t));
        PlotLive stFresh = {};
        t = Clock::now();
        fnPlotLiveReduce(st, kPlotAxisTime, kSpan, 0xFFFF, astWhole, kPlotChannels * kLiveColumns,
                         kLiveColumns, stFresh);
        vecWhole.push_back(fnMsSince(t));
        nSame += std::equal(astKept, astKept + kPlotChannels * kLiveColumns, astWhole, fnSameCell) ? 1 : 0;
    }
    std::printf(
        "live view, %u channels at 2,000 lines/s, the newest %.0f s in %u columns every 25 ms; %d of %zu "
        "frames the same both ways\n",
        kChannels, kSpan, kLiveColumns, nSame, vecKept.size());
    fnPercentiles("  last frame's cells kept", vecKept);
    fnPercentiles("  every column reduced, floor", vecWhole);
    fnRaster(astKept, kLiveColumns);
}

} // namespace

int main()
{
    static PlotStore stStore;
    std::printf("line reader and store, %d lines of %u channels, %zu-byte reads\n", kLines, kChannels, kRead);
    fnParseRow("  labelled, 3 decimals", fnLines(0), stStore);
    fnParseRow("  columns, integers", fnLines(1), stStore);
    fnParseRow("  columns, 17 digits", fnLines(2), stStore);
    fnLive(stStore);
    fnFillStore(stStore);
    fnRedraw(stStore);
    fnExportAndCursor(stStore);
    return 0;
}
