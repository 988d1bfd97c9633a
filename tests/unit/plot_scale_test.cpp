#include "plot_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string Labels(double dFrom, double dTo, int nMost)
{
    PlotTicks st;
    fnPlotTicks(dFrom, dTo, nMost, st);
    std::string str;
    for (int k = 0; k < st.m_nCount; ++k) {
        char ach[32];
        const std::size_t cch = fnPlotTickText(ach, sizeof ach, st, k);
        str += (k > 0 ? " " : "") + std::string(ach, cch);
    }
    return str;
}

} // namespace

// Steps of 1, 2 or 5 times a power of ten, labels with the decimals that tell
// ticks apart, a zero that is exactly "0", exponents far from 1, and nothing
// for ranges that are empty, reversed, not finite or beyond the doubles'
// resolution.
TEST(PlotScale, TicksAndTheirLabels)
{
    const double kdInf = std::numeric_limits<double>::infinity();
    struct Case {
        double dFrom, dTo;
        int nMost;
        const char *pszWant;
    } const astCases[] = {
        {0, 10, 6, "0 2 4 6 8 10"},
        {-0.3, 0.3, 7, "-0.3 -0.2 -0.1 0.0 0.1 0.2 0.3"},
        {3.7, 13.2, 4, "5 10"},
        {0.001, 0.0042, 5, "0.001 0.002 0.003 0.004"},
        {-1e-6, 1e-6, 3, "-1e-06 0 1e-06"},
        {0, 5e9, 3, "0 5e+09"},
        {1e12, 1e12 + 0.5, 3, "1000000000000 1000000000000.5"},
        {1e16, 1e16 + 4, 5, ""},
        {1, 1, 5, ""},
        {2, 1, 5, ""},
        {0, kdInf, 5, ""},
    };
    for (const Case &st : astCases) {
        EXPECT_EQ(st.pszWant, Labels(st.dFrom, st.dTo, st.nMost)) << st.dFrom << " to " << st.dTo;
    }
}

TEST(PlotScale, PixelsValuesZoomAndSpanSteps)
{
    // Y runs downwards: the top of the range at the first pixel.
    EXPECT_EQ(10, fnPlotPixel(100, 0, 100, 10, 200, true));
    EXPECT_EQ(210, fnPlotPixel(0, 0, 100, 10, 200, true));
    EXPECT_EQ(60, fnPlotPixel(25, 0, 100, 10, 200, false));
    EXPECT_DOUBLE_EQ(25, fnPlotValueAt(60, 0, 100, 10, 200, false));
    EXPECT_DOUBLE_EQ(75, fnPlotValueAt(60, 0, 100, 10, 200, true));
    // Far off and not-a-number values stay within GDI's reach.
    EXPECT_EQ(1000000, fnPlotPixel(1e300, 0, 1, 0, 100, false));
    EXPECT_EQ(-1000000, fnPlotPixel(std::nan(""), 0, 1, 0, 100, false));
    // Halves round away from zero, and the double just below a half down.
    const struct {
        double d;
        int iStart;
        int iWant;
    } astRounding[] = {{0.5, 0, 1},
                       {1.5, -3, -2},
                       {-0.5, 0, -1},
                       {-2.5, 0, -3},
                       {0.49999999999999994, 0, 0},
                       {-0.49999999999999994, 0, 0},
                       {1.4999999999999998, 0, 1},
                       {999999.5, 0, 1000000}};
    for (const auto &st : astRounding) {
        EXPECT_EQ(st.iWant, fnPlotPixel(st.d, 0, 1, st.iStart, 1, false)) << st.d << " from " << st.iStart;
    }

    double dLow = 0;
    double dHigh = 0;
    fnPlotAutoRange(0, 20, dLow, dHigh);
    EXPECT_EQ(-1, dLow);
    EXPECT_EQ(21, dHigh);
    fnPlotAutoRange(-5, -5, dLow, dHigh);
    EXPECT_EQ(-5.5, dLow);
    EXPECT_EQ(-4.5, dHigh);
    fnPlotAutoRange(0, 0, dLow, dHigh);
    EXPECT_EQ(-1, dLow);
    EXPECT_EQ(1, dHigh);

    // The point under the pointer stays put; the width keeps to its bounds.
    double dFrom = 0;
    double dTo = 100;
    fnPlotZoom(dFrom, dTo, 25, 0.5, 1, 1000);
    EXPECT_DOUBLE_EQ(12.5, dFrom);
    EXPECT_DOUBLE_EQ(62.5, dTo);
    fnPlotZoom(dFrom, dTo, 50, 0.001, 1, 1000);
    EXPECT_DOUBLE_EQ(49.25, dFrom);
    EXPECT_DOUBLE_EQ(50.25, dTo);

    struct Step {
        unsigned uSpan;
        bool bOut;
        unsigned uWant;
    } const astSteps[] = {
        {10, true, 13}, {10, false, 8},     {1, true, 2},       {2, false, 1},
        {1, false, 1},  {3600, true, 3600}, {3000, true, 3600},
    };
    for (const Step &st : astSteps) {
        EXPECT_EQ(st.uWant, fnPlotSpanStep(st.uSpan, st.bOut, 1, 3600))
            << st.uSpan << (st.bOut ? " out" : " in");
    }
}
