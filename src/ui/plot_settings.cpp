#include "plot_settings.h"

#include <algorithm>
#include <cmath>

void fnPlotSettingsDefault(PlotSettings &st)
{
    st.m_byFormats = kPlotFormatAll;
    st.m_byAxis = kPlotAxisTime;
    st.m_bYFixed = false;
    st.m_dwSpanSeconds = 10;
    st.m_dwSpanLines = 1000;
    st.m_dYMin = 0;
    st.m_dYMax = 100;
}

void fnPlotSettingsCheck(PlotSettings &st)
{
    PlotSettings stDefault;
    fnPlotSettingsDefault(stDefault);
    if (st.m_byFormats == 0 || (st.m_byFormats & ~kPlotFormatAll) != 0) {
        st.m_byFormats = stDefault.m_byFormats;
    }
    if (st.m_byAxis != kPlotAxisTime && st.m_byAxis != kPlotAxisLine) {
        st.m_byAxis = stDefault.m_byAxis;
    }
    st.m_dwSpanSeconds = std::min(std::max(st.m_dwSpanSeconds, kPlotSpanSecondsMin), kPlotSpanSecondsMax);
    st.m_dwSpanLines = std::min(std::max(st.m_dwSpanLines, kPlotSpanLinesMin), kPlotSpanLinesMax);
    if (!std::isfinite(st.m_dYMin) || !std::isfinite(st.m_dYMax) || !(st.m_dYMin < st.m_dYMax)) {
        st.m_dYMin = stDefault.m_dYMin;
        st.m_dYMax = stDefault.m_dYMax;
    }
}
