#include "plot_live.h"
#include "plot_settings.h"
#include "plot_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

const double kdNan = std::numeric_limits<double>::quiet_NaN();
const double kdInf = std::numeric_limits<double>::infinity();

PlotNames fnNames(unsigned nCount)
{
    PlotNames stNames = {};
    for (unsigned c = 0; c < nCount; ++c) {
        stNames.m_aachName[c][0] = static_cast<char>('a' + c);
    }
    stNames.m_byCount = static_cast<std::uint8_t>(nCount);
    return stNames;
}

void fnAdd(PlotStore &st, const PlotNames &stNames, double dTime, std::uint16_t wMask, const double *pdValues)
{
    PlotLine stLine = {};
    stLine.m_wMask = wMask;
    stLine.m_wNew = st.m_stNames.m_byCount == stNames.m_byCount ? 0 : 1;
    std::memcpy(stLine.m_adValue, pdValues, sizeof stLine.m_adValue);
    fnPlotStoreAdd(st, stLine, stNames, dTime);
}

} // namespace

TEST(PlotStore, RingKeepsTheNewestBlocksWithGapsAndTimesInOrder)
{
    static PlotStore st;
    fnPlotStoreInit(st, 128);
    const PlotNames stNames = fnNames(2);
    for (int i = 0; i < 300; ++i) {
        // Channel a on every line; b on every third, a gap on every ninth.
        const double adValue[kPlotChannels] = {double(i), i % 9 == 0 ? kdNan : -i};
        fnAdd(st, stNames, i == 250 ? 1.0 : i * 0.5, i % 3 == 0 ? 3 : 1, adValue);
    }
    EXPECT_STREQ("b", st.m_stNames.m_aachName[1]);
    double dFirst = 0;
    double dLast = 0;
    ASSERT_TRUE(fnPlotExtent(st, kPlotAxisLine, dFirst, dLast));
    EXPECT_EQ(193, dFirst); // lines 1 to 192 went in blocks of 64
    EXPECT_EQ(300, dLast);
    ASSERT_TRUE(fnPlotExtent(st, kPlotAxisTime, dFirst, dLast));
    EXPECT_EQ(96, dFirst);
    EXPECT_EQ(149.5, dLast);
    EXPECT_EQ(124.5, st.m_adTime[fnPlotSlot(st, 250)]); // a time going back stays at the last

    struct Case {
        PlotAxis nAxis;
        double dX;
        unsigned nChannel;
        bool bFound;
        std::uint64_t qwLine;
        double dValue;
    };
    const Case astCases[] = {
        {kPlotAxisLine, 200, 1, true, 199, kdNan}, // 199 is nearer than 202; a gap reads as one
        {kPlotAxisLine, 201.6, 1, true, 202, -201},
        {kPlotAxisLine, 10, 1, true, 193, -192}, // dropped lines are not found
        {kPlotAxisLine, 1e9, 0, true, 300, 299},
        {kPlotAxisTime, 100.2, 0, true, 201, 200},
        {kPlotAxisTime, 124.5, 1, true, 250, -249},
        {kPlotAxisTime, 50, 2, false, 0, 0},
    };
    for (const Case &stCase : astCases) {
        PlotPoint stPoint = {};
        EXPECT_EQ(stCase.bFound, fnPlotNearest(st, stCase.nAxis, stCase.dX, stCase.nChannel, stPoint))
            << stCase.dX;
        if (stCase.bFound) {
            EXPECT_EQ(stCase.qwLine, stPoint.m_qwLine) << stCase.dX;
            EXPECT_EQ(std::isnan(stCase.dValue), std::isnan(stPoint.m_dValue)) << stCase.dX;
            EXPECT_TRUE(std::isnan(stCase.dValue) || stCase.dValue == stPoint.m_dValue) << stCase.dX;
        }
    }
}

// Random lines in a ring that wrapped, reduced over random windows into
// columns, against the same cells worked out line by line. Columns spanning
// up to 512 lines read whole blocks of 8 and 64 lines from their summaries.
TEST(PlotStore, ReduceMatchesEveryLineRead)
{
    static PlotStore st;
    std::mt19937 stRand(25);
    fnPlotStoreInit(st, 4096);
    const PlotNames stNames = fnNames(3);
    double dTime = 0;
    for (int i = 0; i < 9000; ++i) {
        double adValue[kPlotChannels] = {};
        for (unsigned c = 0; c < 3; ++c) {
            const unsigned u = stRand() % 100;
            adValue[c] = u < 3 ? kdNan : u < 5 ? -kdInf : std::ldexp(double(stRand() % 20001) - 10000, -6);
        }
        dTime += (stRand() % 4) * 0.25;
        fnAdd(st, stNames, dTime, static_cast<std::uint16_t>(stRand() % 8), adValue);
    }
    static PlotCell astCells[kPlotChannels * 300];
    for (int nRun = 0; nRun < 60; ++nRun) {
        const PlotAxis nAxis = nRun % 2 == 0 ? kPlotAxisTime : kPlotAxisLine;
        const std::uint32_t dwColumns = 1 + stRand() % 300;
        double dFirst = 0;
        double dLast = 0;
        fnPlotExtent(st, nAxis, dFirst, dLast);
        const double dWidth = std::ldexp(1, int(stRand() % 10) - (nAxis == kPlotAxisTime ? 2 : 0));
        const double dFrom = dFirst + std::floor((dLast - dFirst) * (stRand() % 1000) / 1000) - 40;
        const PlotRange stRange = {nAxis, dFrom, dFrom + dWidth * dwColumns};
        astCells[2 * dwColumns].m_byFlags = 0xEE; // channel c is not asked for
        fnPlotReduce(st, stRange, 3, astCells, sizeof astCells / sizeof astCells[0], dwColumns);
        EXPECT_EQ(0xEE, astCells[2 * dwColumns].m_byFlags);

        PlotCell astWant[2][300] = {};
        double dMin = kdInf;
        double dMax = -kdInf;
        for (std::uint64_t q = st.m_qwFirst; q < st.m_qwEnd; ++q) {
            const std::uint32_t dwSlot = fnPlotSlot(st, q);
            const double dX = nAxis == kPlotAxisTime ? st.m_adTime[dwSlot] : double(q + 1);
            if (dX < stRange.m_dFrom || dX > stRange.m_dTo) {
                continue;
            }
            const std::uint32_t k = std::min(dwColumns - 1, std::uint32_t((dX - dFrom) / dWidth));
            for (unsigned c = 0; c < 2; ++c) {
                const double d = st.m_aadValue[c][dwSlot];
                PlotCell &stWant = astWant[c][k];
                if (((st.m_awMask[dwSlot] >> c) & 1) == 0) {
                    continue;
                }
                if (!std::isfinite(d)) {
                    stWant.m_byFlags |= kPlotCellGap;
                    continue;
                }
                const bool bFirst = (stWant.m_byFlags & kPlotCellValue) == 0;
                stWant.m_dMin = bFirst ? d : std::min(stWant.m_dMin, d);
                stWant.m_dMax = bFirst ? d : std::max(stWant.m_dMax, d);
                stWant.m_byFlags |= kPlotCellValue;
                dMin = std::min(dMin, d);
                dMax = std::max(dMax, d);
            }
        }
        for (unsigned c = 0; c < 2; ++c) {
            for (std::uint32_t k = 0; k < dwColumns; ++k) {
                const PlotCell &stGot = astCells[c * dwColumns + k];
                const PlotCell &stWant = astWant[c][k];
                ASSERT_EQ(stWant.m_byFlags, stGot.m_byFlags) << nRun << " channel " << c << " column " << k;
                if (stWant.m_byFlags & kPlotCellValue) {
                    ASSERT_EQ(stWant.m_dMin, stGot.m_dMin) << nRun << " channel " << c << " column " << k;
                    ASSERT_EQ(stWant.m_dMax, stGot.m_dMax) << nRun << " channel " << c << " column " << k;
                }
            }
        }
        double dGotMin = 0;
        double dGotMax = 0;
        ASSERT_EQ(dMin <= dMax, fnPlotCellsRange(astCells, dwColumns, 3, dGotMin, dGotMax)) << nRun;
        if (dMin <= dMax) {
            EXPECT_EQ(dMin, dGotMin) << nRun;
            EXPECT_EQ(dMax, dGotMax) << nRun;
        }
    }
}

// Frame after frame of a stream that fills and wraps the ring, the live
// view's kept cells against the same view reduced whole, on both axes; the
// span (at last longer than the ring holds), the shown channels, the width
// and the store change between them.
TEST(PlotLive, KeptCellsMatchTheWholeViewReducedFrameAfterFrame)
{
    static PlotStore st;
    static PlotCell astKept[kPlotChannels * 200];
    static PlotCell astWhole[kPlotChannels * 200];
    std::mt19937 stRand(31);
    const PlotNames stNames = fnNames(3);
    for (const PlotAxis nAxis : {kPlotAxisTime, kPlotAxisLine}) {
        fnPlotStoreInit(st, 1024);
        PlotLive stLive = {};
        double dTime = 5;
        int nKept = 0;
        for (int nFrame = 0; nFrame < 900; ++nFrame) {
            // A jump by more than a view at frame 150; at frame 250 the
            // store is emptied and a few more lines than it had come.
            const int nHad = static_cast<int>(st.m_qwEnd);
            if (nFrame == 250) {
                fnPlotStoreInit(st, 1024);
            }
            const int nLines = nFrame == 150       ? 500
                               : nFrame == 250     ? nHad + 100
                               : nFrame % 50 == 25 ? 0
                                                   : int(stRand() % 40);
            for (int i = 0; i < nLines; ++i) {
                double adValue[kPlotChannels] = {};
                for (unsigned c = 0; c < 3; ++c) {
                    adValue[c] = stRand() % 50 == 0 ? kdNan : double(int(stRand() % 2001) - 1000);
                }
                dTime += (stRand() % 3) * 0.005;
                fnAdd(st, stNames, dTime, static_cast<std::uint16_t>(1 + stRand() % 7), adValue);
            }
            const double dSpan =
                nAxis == kPlotAxisTime ? (nFrame < 300 ? 2.0 : 8.0) : (nFrame < 300 ? 600 : 1500);
            const std::uint16_t wShown = nFrame < 500 ? 7 : 5;
            const std::uint32_t dwColumns = nFrame < 400 ? 200 : 137;
            const PlotRange stRange = fnPlotLiveReduce(st, nAxis, dSpan, wShown, astKept,
                                                       sizeof astKept / sizeof astKept[0], dwColumns, stLive);
            PlotLive stFresh = {};
            fnPlotLiveReduce(st, nAxis, dSpan, wShown, astWhole, sizeof astWhole / sizeof astWhole[0],
                             dwColumns, stFresh);
            const PlotRange stShown = fnPlotLiveRange(st, nAxis, dSpan, dwColumns);
            ASSERT_EQ(stShown.m_dFrom, stRange.m_dFrom) << nFrame;
            ASSERT_EQ(stShown.m_dTo, stRange.m_dTo) << nFrame;
            EXPECT_NEAR(dSpan, stRange.m_dTo - stRange.m_dFrom, dSpan * 1e-9) << nFrame;
            double dFirst = 0;
            double dLast = 0;
            if (fnPlotExtent(st, nAxis, dFirst, dLast)) {
                ASSERT_LE(dLast, stRange.m_dTo) << nFrame; // the newest line is shown
                // It starts with the first line's column, or past a span
                // ends with the newest line's.
                const double dColumn = dSpan / dwColumns;
                ASSERT_TRUE(dFirst >= stRange.m_dFrom ? dFirst < stRange.m_dFrom + 2 * dColumn
                                                      : dLast > stRange.m_dTo - 2 * dColumn)
                    << nFrame;
            }
            for (unsigned c = 0; c < 3; ++c) {
                for (std::uint32_t k = 0; k < dwColumns && ((wShown >> c) & 1) != 0; ++k) {
                    const PlotCell &stGot = astKept[c * dwColumns + k];
                    const PlotCell &stWant = astWhole[c * dwColumns + k];
                    ASSERT_EQ(stWant.m_byFlags, stGot.m_byFlags)
                        << nFrame << " channel " << c << " column " << k;
                    // A column past the newest line holds nothing.
                    const double dColumnFrom = stRange.m_dFrom + k * (dSpan / dwColumns);
                    ASSERT_TRUE(dColumnFrom <= dLast + dSpan * 1e-9 || stGot.m_byFlags == 0)
                        << nFrame << " channel " << c << " column " << k;
                    if (stWant.m_byFlags & kPlotCellValue) {
                        ASSERT_EQ(stWant.m_dMin, stGot.m_dMin)
                            << nFrame << " channel " << c << " column " << k;
                        ASSERT_EQ(stWant.m_dMax, stGot.m_dMax)
                            << nFrame << " channel " << c << " column " << k;
                    }
                }
            }
            // A frame with no new line reduces nothing left of the newest
            // line's column: a mark put there stays.
            if (nFrame % 50 == 24 && stLive.m_dOpenColumn > stLive.m_dColumn) {
                astKept[0].m_byFlags = 0xEE;
                fnPlotLiveReduce(st, nAxis, dSpan, wShown, astKept, sizeof astKept / sizeof astKept[0],
                                 dwColumns, stLive);
                nKept += astKept[0].m_byFlags == 0xEE ? 1 : 0;
                astKept[0] = astWhole[0];
            }
        }
        EXPECT_GE(nKept, 10) << nAxis;
    }
}

TEST(PlotSettings, CheckBringsFieldsBackIntoRange)
{
    struct Case {
        PlotSettings stIn;
        PlotSettings stWant;
    };
    const Case astCases[] = {
        {{3, 1, true, 60, 500, -1, 1}, {3, 1, true, 60, 500, -1, 1}},
        {{0, 2, false, 0, 5, 2, 2}, {7, 0, false, 1, 10, 0, 100}},
        {{8, 1, true, 7200, 1u << 30, kdNan, 1}, {7, 1, true, 3600, kPlotRowMax, 0, 100}},
        {{4, 0, true, 1, 10, -kdInf, 0}, {4, 0, true, 1, 10, 0, 100}},
    };
    for (const Case &stCase : astCases) {
        PlotSettings st = stCase.stIn;
        fnPlotSettingsCheck(st);
        EXPECT_EQ(stCase.stWant.m_byFormats, st.m_byFormats);
        EXPECT_EQ(stCase.stWant.m_byAxis, st.m_byAxis);
        EXPECT_EQ(stCase.stWant.m_bYFixed, st.m_bYFixed);
        EXPECT_EQ(stCase.stWant.m_dwSpanSeconds, st.m_dwSpanSeconds);
        EXPECT_EQ(stCase.stWant.m_dwSpanLines, st.m_dwSpanLines);
        EXPECT_EQ(stCase.stWant.m_dYMin, st.m_dYMin);
        EXPECT_EQ(stCase.stWant.m_dYMax, st.m_dYMax);
    }
}
