// Drawing one frame of the plot into the back buffer: grid, axis labels,
// legend and cursor with GDI, each shown channel as a line through the min
// and max of its pixel columns (plot_raster) straight into the bitmap's
// pixels. The pens live while the plot window does.
#ifndef ZEVRIK_PLOT_DRAW_H
#define ZEVRIK_PLOT_DRAW_H

#include <windows.h>

#include <cstdint>

#include "plot_store.h"

struct PlotFrame {
    RECT m_rcClient;
    RECT m_rcPlot; // the data area, from fnPlotLayout
    PlotRange m_stRange;
    double m_dYLow;
    double m_dYHigh;
    DWORD m_dwColumns;          // pixel columns of m_pstCells, the data area's width
    const PlotCell *m_pstCells; // from fnPlotReduce
    WORD m_wShown;              // channels drawn
    PlotNames m_stNames;        // the legend's rows
    int m_iCursorX;             // the cursor's column, or -1
};

// The legend's rows in client coordinates, for clicks on them.
struct PlotLegend {
    RECT m_arcRow[kPlotChannels];
    BYTE m_byRows;
};

void fnPlotDrawOpen();
void fnPlotDrawClose();

// The data area within rcClient: room for the Y labels on the left, the X
// labels below and the legend (as wide as the longest name) on the right.
void fnPlotLayout(HDC hdc, const RECT &rcClient, const PlotNames &stNames, RECT &rcPlot);

// hdc holds a 32-bit top-down bitmap of the client's size whose pixels are
// at pdwPixels.
void fnPlotDraw(HDC hdc, std::uint32_t *pdwPixels, const PlotFrame &st, PlotLegend &stLegend);

#endif
