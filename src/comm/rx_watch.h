// What the receive side watches besides the terminal: the receive check fed
// with every byte read, and the line error counters of the current opening.
// The receive and status workers report here; the windows read snapshots.
#ifndef ZEVRIK_RX_WATCH_H
#define ZEVRIK_RX_WATCH_H

#include <windows.h>

#include "line_errors.h"
#include "rx_check.h"

// Receive worker: every block read, displayed or not. Costs one test of a
// flag while no check runs.
void fnRxWatchFeed(const BYTE *pby, DWORD dwCount);

// Starts a check of the given stream (a pattern needs its bytes), with fresh
// counts; FALSE when the pattern is unusable (nothing started).
BOOL fnRxCheckStart(RxStreamKind nKind, const BYTE *pbyPattern, DWORD dwLen);
// Settles the bytes held over a fault and stops feeding; the counts stay.
void fnRxCheckStop();
BOOL fnRxCheckRunning();
// Zero counts and time; a running check searches its lock again.
void fnRxCheckClear();

struct RxWatchSnapshot {
    RxCheckCounts m_stCounts;
    DWORD m_dwElapsedMs;
    LineErrorCounts m_stLine;
};
void fnRxWatchSnapshot(RxWatchSnapshot &st);

// Line errors: zeroed on each opening and by the check's Reset. The status
// worker reports the events it saw (0 for none); the flags are read here with
// ClearCommError while its session is live.
void fnLineErrorsClear();
void fnLineErrorsPoll(DWORD dwSession, DWORD dwEvents);

// The events the status worker adds to its mask for the counters.
const DWORD kLineErrorEvents = EV_ERR | EV_BREAK;

#endif
