// Ties each run of a worker thread to one opening of the port (its session)
// and guards the few hand-overs between the user-interface thread and the
// workers. A run only touches the port while its session is live, and only
// one run of each kind at a time uses its block of gstCcc.
#ifndef ZEVRIK_WORKER_SYNC_H
#define ZEVRIK_WORKER_SYNC_H

#include <windows.h>

enum WorkerKind { kWorkerTx = 0, kWorkerRx = 1, kWorkerStatus = 2, kWorkerKinds = 3 };

struct WorkerSyncRecord {
    // Held around every port call of a worker and around the close, so the
    // close can never fall between a worker's session test and its call.
    CRITICAL_SECTION m_csPort;
    // Held while events are published or withdrawn, while the pending echo
    // bytes change, and around the workers' reads and writes of the job file.
    CRITICAL_SECTION m_csHandOver;
    // 1 while a run of that kind uses its block of gstCcc.
    volatile LONG m_abBusy[kWorkerKinds];
    // The last session whose vanished device has been reported; -1 for none
    // (sessions count from 0).
    volatile LONG m_lLossReported;
    // 1 while a loss report is shown.
    volatile LONG m_bLossBoxUp;
    WorkerSyncRecord();
};

extern WorkerSyncRecord gstWorkerSync;

// The session handed to a worker as its thread parameter, and back.
LPVOID fnSessionParam(DWORD dwSession);
DWORD fnSessionOf(LPVOID pvParam);

// The port is open and still belongs to the given session.
BOOL fnSessionLive(DWORD dwSession);

// Enters the port lock and hands out the port handle while the session is
// live; otherwise leaves the lock again and returns FALSE.
BOOL fnPortEnter(DWORD dwSession, HANDLE *phComm);
void fnPortLeave();

// How an overlapped operation of a session ended, collected under the port
// lock: kPortClosed when the session is over (the close cancelled it),
// otherwise kPortDone with the byte count or kPortFailed with the error.
enum PortResult { kPortClosed, kPortDone, kPortFailed };
PortResult fnPortResult(DWORD dwSession, OVERLAPPED *pstOL, DWORD *pdwCount, DWORD *pdwError);

// The opening of the session has lost its device. Every worker that finds a
// port failure while its session is live passes here, and all may find one
// at about the same time: only the first of a session may report it (TRUE
// once), so a pulled cable shows one message whichever worker saw it first.
// That first claim is also posted to the loss window, if one is set, as
// kWmDeviceLost with the session in wParam.
BOOL fnClaimLossReport(DWORD dwSession);
// Whether the loss of this opening has been claimed, without claiming it.
BOOL fnLossReported(DWORD dwSession);

const UINT kWmDeviceLost = WM_APP + 2; // WM_APP + 1 is the status bar's line message
void fnSetLossWindow(HWND hWnd);

// The message a worker run ends with, shown once the run has let go of its
// block; empty for none.
const int kWorkerMsgChars = 100;
struct WorkerEnd {
    char m_achMsg[kWorkerMsgChars];
    BOOL m_bLoss; // the message reports the loss of the device
};
// pszFormat takes the error as its one %d.
void fnEndWith(WorkerEnd &stEnd, const char *pszFormat, DWORD dwError);
// Claims the loss report of the session (fnClaimLossReport) and, if this
// run got it, ends with the report. FALSE when another worker has it.
BOOL fnEndWithLoss(WorkerEnd &stEnd, DWORD dwSession, const char *pszFormat, DWORD dwError);
// Shows the message, if any. A loss report is not shown while an earlier one
// is still up: a board in a reset loop would otherwise pile up a box, and a
// thread blocked in it, for every loss.
void fnShowWorkerEnd(const WorkerEnd &stEnd);

void fnHandOverEnter();
void fnHandOverLeave();

// Waits, without spinning, until no earlier run uses the block of that kind.
// FALSE when the session ended meanwhile (nothing claimed).
BOOL fnClaimBlock(WorkerKind nKind, DWORD dwSession);
void fnReleaseBlock(WorkerKind nKind);

// Makes sure an overlapped operation of this thread is over before its
// record or event is given up: cancels it while the port is still open
// (a closed port has cancelled it already), then waits for its event.
void fnFinishIo(DWORD dwSession, const OVERLAPPED *pstOL);

#endif
