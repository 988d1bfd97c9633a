#include "plot_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Fixed decimals read well from 1e-4 up to 1e9; beyond, labels take an
// exponent and as many digits as tell two ticks apart.
const double kdFixedLeast = 1e-4;
const double kdFixedMost = 1e9;
const int kMostDigits = 17;
// Ticks within this share of a step of the range's ends still count.
const double kdSlack = 1e-9;

double fnNiceStep(double dRough)
{
    const double dPower = std::pow(10.0, std::floor(std::log10(dRough)));
    const double dUnit = dRough / dPower;
    const double dNice = dUnit <= 1.0 ? 1.0 : dUnit <= 2.0 ? 2.0 : dUnit <= 5.0 ? 5.0 : 10.0;
    return dNice * dPower;
}

} // namespace

void fnPlotTicks(double dFrom, double dTo, int nMost, PlotTicks &st)
{
    st = PlotTicks();
    const double dSpan = dTo - dFrom;
    if (!std::isfinite(dSpan) || !(dSpan > 0)) {
        return;
    }
    st.m_dStep = fnNiceStep(dSpan / std::max(nMost - 1, 1));
    st.m_dFirst = std::ceil(dFrom / st.m_dStep - kdSlack) * st.m_dStep;
    // The step can be too fine for the doubles around a far-off range.
    if (!(st.m_dFirst + st.m_dStep > st.m_dFirst)) {
        return;
    }
    st.m_nCount = static_cast<int>(std::floor((dTo - st.m_dFirst) / st.m_dStep + kdSlack)) + 1;
    st.m_nCount = std::min(std::max(st.m_nCount, 0), nMost);
    st.m_nDecimals = std::max(0, static_cast<int>(-std::floor(std::log10(st.m_dStep) + kdSlack)));
}

std::size_t fnPlotTickText(char *pch, std::size_t cch, const PlotTicks &st, int k)
{
    double d = st.m_dFirst + st.m_dStep * k;
    // A tick meant to be 0 comes out as a rounding rest of the step.
    if (std::fabs(d) < st.m_dStep * 1e-6) {
        d = 0;
    }
    const double dMag = std::max(std::fabs(d), st.m_dStep);
    int n = 0;
    if (dMag >= kdFixedLeast && dMag < kdFixedMost) {
        n = std::snprintf(pch, cch, "%.*f", st.m_nDecimals, d);
    } else {
        const int nDigits = static_cast<int>(std::floor(std::log10(dMag) + kdSlack) -
                                             std::floor(std::log10(st.m_dStep) + kdSlack)) +
                            1;
        n = std::snprintf(pch, cch, "%.*g", std::min(std::max(nDigits, 1), kMostDigits), d);
    }
    return std::min(static_cast<std::size_t>(std::max(n, 0)), cch - 1);
}

double fnPlotValueAt(int iPixel, double dFrom, double dTo, int iStart, int iPixels, bool bDown)
{
    double dShare = iPixels > 0 ? static_cast<double>(iPixel - iStart) / iPixels : 0.0;
    if (bDown) {
        dShare = 1.0 - dShare;
    }
    return dFrom + dShare * (dTo - dFrom);
}

void fnPlotAutoRange(double dMin, double dMax, double &dLow, double &dHigh)
{
    double dRoom = (dMax - dMin) / 20;
    if (!(dRoom > 0)) {
        dRoom = dMin != 0 ? std::fabs(dMin) / 10 : 1.0;
    }
    dLow = dMin - dRoom;
    dHigh = dMax + dRoom;
}

void fnPlotZoom(double &dFrom, double &dTo, double dAt, double dFactor, double dLeast, double dMost)
{
    const double dWidth = dTo - dFrom;
    const double dNew = std::min(std::max(dWidth * dFactor, dLeast), dMost);
    const double dShare = dWidth > 0 ? (dAt - dFrom) / dWidth : 1.0;
    dFrom = dAt - dNew * dShare;
    dTo = dFrom + dNew;
}

std::uint32_t fnPlotSpanStep(std::uint32_t dwSpan, bool bOut, std::uint32_t dwLeast, std::uint32_t dwMost)
{
    const double dScaled = bOut ? dwSpan * 1.25 : dwSpan / 1.25;
    double dNew = std::round(dScaled);
    if (bOut) {
        dNew = std::max(dNew, dwSpan + 1.0);
    } else {
        dNew = std::min(dNew, dwSpan - 1.0);
    }
    return static_cast<std::uint32_t>(std::min(std::max(dNew, double(dwLeast)), double(dwMost)));
}
