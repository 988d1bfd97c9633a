// The plot window's settings, a plain record for the csi block: the forms
// the line reader takes, the X axis with its span, and the Y limits.
#ifndef ZEVRIK_PLOT_SETTINGS_H
#define ZEVRIK_PLOT_SETTINGS_H

#include <cstdint>

#include "plot_store.h"

const std::uint32_t kPlotSpanSecondsMin = 1;
const std::uint32_t kPlotSpanSecondsMax = 3600;
const std::uint32_t kPlotSpanLinesMin = 10;
const std::uint32_t kPlotSpanLinesMax = kPlotRowMax;

struct PlotSettings {
    std::uint8_t m_byFormats; // kPlotFormat... bits, at least one
    std::uint8_t m_byAxis;    // a PlotAxis
    bool m_bYFixed;           // false: the Y axis follows the visible values
    std::uint32_t m_dwSpanSeconds;
    std::uint32_t m_dwSpanLines;
    double m_dYMin; // the fixed limits, m_dYMin < m_dYMax
    double m_dYMax;
};

// Every form, seconds on a 10 s span (1000 lines), Y automatic (fixed: 0 to 100).
void fnPlotSettingsDefault(PlotSettings &st);

// Brings back into range what a csi file from elsewhere may hold: spans are
// clamped; unknown forms or axis, or limits that are not finite and in
// order, take their defaults.
void fnPlotSettingsCheck(PlotSettings &st);

#endif
