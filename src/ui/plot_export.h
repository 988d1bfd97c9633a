// The plot's Export: every recorded line, or those of the range shown, as a
// CSV file (plot_csv) written a chunk at a time from the plot window's timer,
// so the window keeps drawing and answering while a million lines go out.
#ifndef ZEVRIK_PLOT_EXPORT_H
#define ZEVRIK_PLOT_EXPORT_H

#include <windows.h>

#include "plot_store.h"

// Asks for the file and starts writing it; FALSE when the user cancelled
// or the file cannot be made (a message said so).
BOOL fnPlotExportStart(HWND hOwner, const PlotRange *pstRange);

// Writes for about dwBudgetMs; TRUE while more is to come. A failed write
// is reported and ends the export with the file removed.
BOOL fnPlotExportStep(HWND hOwner, DWORD dwBudgetMs);

BOOL fnPlotExportRunning();

// Ends a running export and removes its unfinished file.
void fnPlotExportCancel();

// How far the running export is, or what the last one wrote.
void fnPlotExportStatus(char *pch, int cch);

#endif
