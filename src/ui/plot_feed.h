// The plot's recording: the receive worker hands every block it reads to
// fnPlotFeed, which finds the values in its lines and adds them to the store;
// the plot window reads the store under the same lock. Nothing is recorded,
// and no memory is taken, until the plot window is first opened; while it is
// closed a block costs one test of a flag.
#ifndef ZEVRIK_PLOT_FEED_H
#define ZEVRIK_PLOT_FEED_H

#include <windows.h>

#include "plot_store.h"

// The widest plot drawn, in pixel columns.
const DWORD kPlotColumnsMax = 4096;

// The plot's large buffers, in one block reserved at the first opening.
struct PlotMemory {
    PlotStore m_stStore;
    PlotCell m_astCells[kPlotChannels * kPlotColumnsMax]; // one redraw's columns
};

// Takes the memory once; FALSE when the system has no room for it.
BOOL fnPlotFeedReserve();

// The memory taken by fnPlotFeedReserve; read the store under fnPlotLock.
PlotMemory &fnPlotMemory();

// Empties the store and starts recording, times counting from now.
void fnPlotFeedStart(BYTE byFormats);
// Ends the recording: what was recorded stays until the next start.
void fnPlotFeedStop();
// Empties the store, as at the start.
void fnPlotFeedClear();
// The forms the reader takes from the next line on.
void fnPlotFeedFormats(BYTE byFormats);

// Receive worker: every block read, shown or not.
void fnPlotFeed(const BYTE *pby, DWORD dwCount);

struct PlotFeedCounts {
    ULONGLONG m_qwLongLines; // lines too long to read, dropped
    ULONGLONG m_qwNoChannel; // values beyond the last channel, dropped
};
// Under fnPlotLock.
PlotFeedCounts fnPlotFeedCounts();

void fnPlotLock();
void fnPlotUnlock();

#endif
