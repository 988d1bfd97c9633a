// Starting and stopping transmit jobs and file receptions. The user-interface
// side runs on the user-interface thread; the events it uses belong to the
// current transmit thread run and are withdrawn before that run closes them.
#ifndef ZEVRIK_JOBS_H
#define ZEVRIK_JOBS_H

#include <windows.h>

// Data job: the packet is in gstCcc.m_stTx.m_stData; gstTxInfo.m_dwTxCount
// was reset by the caller.
void fnStartDataJob();
// The stop of a data job after its information dialog ended with OK.
void fnStopDataJob();

// File job: gstFileTrans.m_hFile is open and m_stFile.m_dwSent is 0.
void fnStartFileTx();
// After this returns the transmit thread reads the file no more, so the
// caller may close it.
void fnStopFileTx();

// A file job is sending: read under the hand-over lock, under which the
// transmit thread withdraws the job event before it closes it.
BOOL fnFileTxOn();

// File reception into gstFileTrans.m_hFile.
void fnStartFileRx();
// After this returns the receive thread writes the file no more, so the
// caller may flush and close it.
void fnStopFileRx();

// Transmit thread: offers the job and pause events of its run (only while
// the session is live; FALSE otherwise), and withdraws them before closing.
BOOL fnTxPublish(DWORD dwSession, HANDLE hJob, HANDLE hStop);
void fnTxWithdraw(HANDLE hJob);

// Port close: wakes the transmit run of the closed session (idle or pausing)
// so that it ends, and withdraws its events.
void fnTxDisconnect();

#endif
