// The plot window's axes as numbers: tick marks at 1, 2 or 5 times a power
// of ten with their labels, where a value lands on the screen, the Y range
// the auto scale shows, and the steps of the wheel. Pure code, no allocation.
#ifndef ZEVRIK_PLOT_SCALE_H
#define ZEVRIK_PLOT_SCALE_H

#include <cstddef>
#include <cstdint>

struct PlotTicks {
    double m_dFirst; // the first tick at or after the range's start
    double m_dStep;
    int m_nCount;
    int m_nDecimals; // the label's decimals that tell two ticks apart
};

// At most nMost ticks (at least 2) over [dFrom, dTo]; none when the range is
// empty or not finite.
void fnPlotTicks(double dFrom, double dTo, int nMost, PlotTicks &st);

// Tick k's label: fixed decimals, or an exponent for values beyond the
// range fixed decimals read well in. Returns its length; cch > 0.
std::size_t fnPlotTickText(char *pch, std::size_t cch, const PlotTicks &st, int k);

// GDI draws within 2^27 on NT; a pixel far outside the window is as good
// as one just outside, and keeps lines to off-screen points straight.
const double kdPlotPixelReach = 1e6;

// The pixel of d when [dFrom, dTo] spans iPixels from iStart (dFrom at
// iStart, dTo at iStart + iPixels), kept within reach of GDI's coordinates.
// bDown: dTo lies at iStart instead (the Y axis). Inline and rounded half
// away from zero without std::lround: the channels' lines take two a
// column, and the 32-bit build's lround is a library call of some fifty
// instructions.
inline int fnPlotPixel(double d, double dFrom, double dTo, int iStart, int iPixels, bool bDown)
{
    double dShare = (d - dFrom) / (dTo - dFrom);
    if (bDown) {
        dShare = 1.0 - dShare;
    }
    const double dPixel = iStart + dShare * iPixels;
    if (!(dPixel > -kdPlotPixelReach)) {
        return static_cast<int>(-kdPlotPixelReach);
    }
    const double dNear = dPixel < kdPlotPixelReach ? dPixel : kdPlotPixelReach;
    const int iWhole = static_cast<int>(dNear); // toward zero, exact within reach
    const double dRest = dNear - iWhole;
    return dRest >= 0.5 ? iWhole + 1 : dRest <= -0.5 ? iWhole - 1 : iWhole;
}

// The value at a pixel, the inverse of fnPlotPixel.
double fnPlotValueAt(int iPixel, double dFrom, double dTo, int iStart, int iPixels, bool bDown);

// The range the auto scale shows for values in [dMin, dMax]: a twentieth of
// room above and below, and a unit around a flat line (or a tenth of it).
void fnPlotAutoRange(double dMin, double dMax, double &dLow, double &dHigh);

// Scales [dFrom, dTo] by dFactor around dAt (a factor below 1 zooms in),
// keeping its width within [dLeast, dMost].
void fnPlotZoom(double &dFrom, double &dTo, double dAt, double dFactor, double dLeast, double dMost);

// The live span after one wheel notch: a quarter wider (bOut) or narrower,
// by at least one unit so that small spans move too, kept in [dwLeast, dwMost].
std::uint32_t fnPlotSpanStep(std::uint32_t dwSpan, bool bOut, std::uint32_t dwLeast, std::uint32_t dwMost);

#endif
