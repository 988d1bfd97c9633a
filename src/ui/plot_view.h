// The plot itself: a control of the plot window (class kPlotViewClass) that
// draws the recorded channels double-buffered with GDI, min and max per
// pixel column, with their axes and legend. Live, it shows the newest span
// of lines; held (Pause, or after a drag), the range it was left at.
//
// Mouse: the wheel zooms the X axis around the pointer (live: it widens or
// narrows the span), with Ctrl the Y axis (the limits become fixed); a drag
// moves the range (and fixed Y limits); a click on a legend row hides or
// shows that channel; moving over the plot reads out each channel's nearest
// value beside the plot (control IDC_PLOT_CURSOR of the parent).
#ifndef ZEVRIK_PLOT_VIEW_H
#define ZEVRIK_PLOT_VIEW_H

#include <windows.h>

#include "plot_store.h"

extern const char kPlotViewClass[];

// Once, before the plot window's dialog is made.
void fnPlotViewRegister();

// The refresh timer: draws again when lines came and the view is live.
void fnPlotViewTick(HWND hView);

// Pause on (the range stays) or off (live again at the set span).
void fnPlotViewHold(HWND hView, bool bHold);
bool fnPlotViewHeld();

// Live again, every channel shown, no cursor: after Clear or a change of axis.
void fnPlotViewReset(HWND hView);

// The X range shown now (Export of the visible range, Pause): held, the one
// kept; live, the newest span, as the next frame draws it.
PlotRange fnPlotViewRange();

// Frames drawn since the window opened, and the last one's time in ms.
struct PlotViewFigures {
    DWORD m_dwFrames;
    double m_dDrawMs;
};
PlotViewFigures fnPlotViewFigures();

#endif
