// The Plot window (resource IDD_PLOT): without an owner, like Receive Check,
// and with a thread and message loop of its own, so the terminal goes on
// beside it. It records the values in the received lines while it is open
// (closing it ends the recording) and draws them in its view (plot_view) a
// few dozen times a second.
#ifndef ZEVRIK_PLOT_WINDOW_H
#define ZEVRIK_PLOT_WINDOW_H

#include <windows.h>

#include "plot_settings.h"

// The settings the csi file carries. The window's thread reads them freely
// and changes them through fnPlotSettingsSet; other threads go through
// fnPlotSettingsNow and fnPlotSettingsLoad.
extern PlotSettings gstPlotSettings;
void fnPlotSettingsSet(const PlotSettings &st);
PlotSettings fnPlotSettingsNow();
// An open window takes them at its next refresh.
void fnPlotSettingsLoad(const PlotSettings &st);

// Opens the window in a thread of its own, or brings the open one to the
// front. The first opening takes the plot's memory; without it the window is
// refused with a message.
void fnPlotWindowOpen(HWND hMain);

#endif
