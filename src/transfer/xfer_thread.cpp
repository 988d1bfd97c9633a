#include "xfer_thread.h"

#include "ccc.h"
#include "log_file.h"
#include "resource.h"
#include "settings.h"
#include "window_records.h"
#include "worker_sync.h"

namespace {

// Room for a second of ZMODEM at pty speed; the receive thread waits for
// room when the worker falls behind, so nothing is dropped.
const DWORD kInboxBytes = 65536;
const DWORD kRoomWaitMs = 50;
// The dialog's figures change a few times a second, never once per block.
const DWORD kShowEveryMs = 200;
// A write that the port has not taken in this time (flow control holding it
// back for ever) ends the transfer.
const DWORD kWriteStuckMs = 30000;
const DWORD kWritePollMs = 100;
// The abort after a cancel gets this long, then the worker ends anyway.
const DWORD kAbortWriteMs = 2000;
// A port that closes under an idle transfer wakes nothing: the worker looks
// at least this often.
const DWORD kLiveCheckMs = 500;

const char kPortLost[] = "the port closed or its device was lost";
const char kWriteStuck[] = "the port took no bytes for 30 s (flow control?)";

// Filled by the receive thread, emptied by the worker, both under the
// hand-over lock and only while the receive thread is in kRxModeXfer.
struct XferInbox {
    BYTE m_aby[kInboxBytes];
    DWORD m_dwHead;
    DWORD m_dwCount;
    BOOL m_bRoomWanted;
};

// One transfer's worker. The events live as long as the program: the receive
// thread may signal them just as a transfer ends.
struct XferRun {
    XferJob m_stJob;
    XferSession m_stSession;
    DWORD m_dwSession;
    HANDLE m_hThread;
    HANDLE m_hWake; // auto-reset: bytes in the inbox, or the cancel
    HANDLE m_hRoom; // auto-reset: the worker took bytes
    OVERLAPPED m_stOL;
    volatile LONG m_bCancel;
    const char *m_pszGlueReason;
    BOOL m_bHeard;     // the far end has spoken
    DWORD m_dwHeardAt; // when it first did
    DWORD m_dwShownAt;
    volatile LONG m_bShowPosted;
    CRITICAL_SECTION m_csSnapshot;
    XferSnapshot m_stSnapshot;
    BYTE m_abyIn[4096];
    BYTE m_abyOut[kXferOutMax];
    XferRun();
};

XferRun::XferRun()
    : m_stJob(), m_dwSession(0), m_hThread(NULL), m_hWake(NULL), m_hRoom(NULL), m_stOL(), m_bCancel(0),
      m_pszGlueReason(NULL), m_bHeard(FALSE), m_dwHeardAt(0), m_dwShownAt(0), m_bShowPosted(0), m_stSnapshot()
{
    InitializeCriticalSection(&m_csSnapshot);
}

XferInbox gstXferInbox;
XferRun gstXferRun;
ZAutoStart gstXferAutoStart;

BOOL fnMakeEvents(XferRun &st)
{
    if (st.m_hWake == NULL) {
        st.m_hWake = CreateEventA(NULL, FALSE, FALSE, NULL);
    }
    if (st.m_hRoom == NULL) {
        st.m_hRoom = CreateEventA(NULL, FALSE, FALSE, NULL);
    }
    if (st.m_stOL.hEvent == NULL) {
        st.m_stOL.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    }
    return st.m_hWake != NULL && st.m_hRoom != NULL && st.m_stOL.hEvent != NULL;
}

// The whole receive buffer per read: ZMODEM streams faster than the display
// reads would take it.
void fnRxToInbox()
{
    fnHandOverEnter();
    gstXferInbox.m_dwHead = 0;
    gstXferInbox.m_dwCount = 0;
    gstXferInbox.m_bRoomWanted = FALSE;
    gstCcc.m_stRx.m_dwToRead = sizeof gstCcc.m_stRx.m_abyBuf;
    gstCcc.m_stRx.m_nMode = kRxModeXfer;
    fnHandOverLeave();
}

void fnRxToDisplay()
{
    fnHandOverEnter();
    if (gstCcc.m_stRx.m_nMode == kRxModeXfer) {
        gstCcc.m_stRx.m_dwToRead = kRxReadDisplay;
        gstCcc.m_stRx.m_nMode = 0;
    }
    fnHandOverLeave();
    SetEvent(gstXferRun.m_hRoom);
}

// Under the hand-over lock: the bytes that fit, in at most two runs round
// the ring. A receive thread that is left with bytes asks for a signal when
// room is made.
DWORD fnInboxPutLocked(const BYTE *pby, DWORD dwCount)
{
    XferInbox &st = gstXferInbox;
    const DWORD dwTake = dwCount < kInboxBytes - st.m_dwCount ? dwCount : kInboxBytes - st.m_dwCount;
    const DWORD dwAt = (st.m_dwHead + st.m_dwCount) % kInboxBytes;
    const DWORD dwFirst = dwTake < kInboxBytes - dwAt ? dwTake : kInboxBytes - dwAt;
    CopyMemory(st.m_aby + dwAt, pby, dwFirst);
    CopyMemory(st.m_aby, pby + dwFirst, dwTake - dwFirst);
    st.m_dwCount += dwTake;
    st.m_bRoomWanted = dwTake < dwCount;
    return dwTake;
}

// The room event only when the receive thread waits for it: every event call
// is a round trip to the Wine server, on the path from an ACK to the next
// block.
DWORD fnInboxTake(BYTE *pby, DWORD dwMax)
{
    XferInbox &st = gstXferInbox;
    fnHandOverEnter();
    const DWORD dwTake = st.m_dwCount < dwMax ? st.m_dwCount : dwMax;
    const DWORD dwFirst = dwTake < kInboxBytes - st.m_dwHead ? dwTake : kInboxBytes - st.m_dwHead;
    CopyMemory(pby, st.m_aby + st.m_dwHead, dwFirst);
    CopyMemory(pby + dwFirst, st.m_aby, dwTake - dwFirst);
    st.m_dwHead = (st.m_dwHead + dwTake) % kInboxBytes;
    st.m_dwCount -= dwTake;
    const BOOL bSignal = st.m_bRoomWanted && dwTake > 0;
    st.m_bRoomWanted = st.m_bRoomWanted && !bSignal;
    fnHandOverLeave();
    if (bSignal) {
        SetEvent(gstXferRun.m_hRoom);
    }
    return dwTake;
}

// ---- Progress ----

void fnPublish(XferRun &st)
{
    EnterCriticalSection(&st.m_csSnapshot);
    st.m_stSnapshot.m_stProg = st.m_stSession.m_stCore.m_stProg;
    st.m_stSnapshot.m_dwMs = st.m_bHeard ? GetTickCount() - st.m_dwHeardAt : 0;
    LeaveCriticalSection(&st.m_csSnapshot);
    st.m_dwShownAt = GetTickCount();
}

// Posted only when the dialog has taken the one before, so a busy window
// never finds a queue of them.
void fnShowIfDue(XferRun &st)
{
    if (GetTickCount() - st.m_dwShownAt < kShowEveryMs) {
        return;
    }
    fnPublish(st);
    if (InterlockedExchange(&st.m_bShowPosted, 1) == 0) {
        PostMessageA(st.m_stJob.m_hDlg, kWmXferProgress, 0, 0);
    }
}

// ---- Writing ----

enum WriteEnd { kWriteDone, kWriteFailed, kWriteCancelled };

DWORD fnTakeInput(XferRun &st)
{
    const DWORD dwCount = fnInboxTake(st.m_abyIn, sizeof st.m_abyIn);
    if (dwCount > 0 && !st.m_bHeard) {
        st.m_bHeard = TRUE;
        st.m_dwHeardAt = GetTickCount();
    }
    return dwCount;
}

// While the port holds a write back, the engine hears what came meanwhile:
// a far end that stopped reading and cancelled ends the transfer as it
// said, not as a stuck port.
bool fnEndedMeanwhile(XferRun &st)
{
    const DWORD dwIn = fnTakeInput(st);
    if (dwIn > 0) {
        fnXferFeed(st.m_stSession, st.m_abyIn, dwIn, GetTickCount());
    }
    return !fnXferRunning(st.m_stSession);
}

// Waits for the write in flight. The user's cancel or the engine's end cuts
// the wait short, and a write the port never takes ends the transfer; the
// abort after a cancel gets a short wait of its own.
WriteEnd fnAwaitWrite(XferRun &st, bool bAbort, DWORD *pdwDone)
{
    const DWORD dwStart = GetTickCount();
    const DWORD dwLimitMs = bAbort ? kAbortWriteMs : kWriteStuckMs;
    while (WaitForSingleObject(st.m_stOL.hEvent, kWritePollMs) != WAIT_OBJECT_0) {
        const bool bCancelled = !bAbort && (st.m_bCancel != 0 || fnEndedMeanwhile(st));
        if (bCancelled || GetTickCount() - dwStart >= dwLimitMs) {
            fnFinishIo(st.m_dwSession, &st.m_stOL);
            if (!bCancelled && !bAbort) {
                st.m_pszGlueReason = kWriteStuck;
            }
            return bCancelled ? kWriteCancelled : kWriteFailed;
        }
    }
    DWORD dwError = 0;
    if (fnPortResult(st.m_dwSession, &st.m_stOL, pdwDone, &dwError) != kPortDone) {
        st.m_pszGlueReason = kPortLost;
        return kWriteFailed;
    }
    return kWriteDone;
}

WriteEnd fnWriteOnce(XferRun &st, const BYTE *pby, DWORD dwCount, bool bAbort, DWORD *pdwDone)
{
    HANDLE hComm;
    if (!fnPortEnter(st.m_dwSession, &hComm)) {
        st.m_pszGlueReason = kPortLost;
        return kWriteFailed;
    }
    const BOOL bDone = WriteFile(hComm, pby, dwCount, pdwDone, &st.m_stOL);
    const DWORD dwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    if (bDone) {
        return kWriteDone;
    }
    if (dwError != ERROR_IO_PENDING) {
        st.m_pszGlueReason = kPortLost;
        return kWriteFailed;
    }
    return fnAwaitWrite(st, bAbort, pdwDone);
}

// A write cut short by the port's write time-outs is followed by the rest,
// as long as the port goes on taking bytes.
WriteEnd fnWritePort(XferRun &st, const BYTE *pby, DWORD dwCount, bool bAbort)
{
    DWORD dwAt = 0;
    DWORD dwMovedAt = GetTickCount();
    while (dwAt < dwCount) {
        DWORD dwDone = 0;
        const WriteEnd nEnd = fnWriteOnce(st, pby + dwAt, dwCount - dwAt, bAbort, &dwDone);
        if (nEnd != kWriteDone) {
            return nEnd;
        }
        if (dwDone > 0) {
            fnLogSent(pby + dwAt, dwDone);
            dwMovedAt = GetTickCount();
        } else if (GetTickCount() - dwMovedAt >= (bAbort ? kAbortWriteMs : kWriteStuckMs)) {
            st.m_pszGlueReason = bAbort ? st.m_pszGlueReason : kWriteStuck;
            return kWriteFailed;
        } else if (!bAbort && (st.m_bCancel != 0 || fnEndedMeanwhile(st))) {
            return kWriteCancelled;
        }
        dwAt += dwDone;
    }
    return kWriteDone;
}

// ---- The engine's loop ----

// Writes what the engine has to say. Between writes the engine hears what
// came meanwhile (a ZMODEM receiver's ZRPOS) and refills from the file, so a
// streaming send never waits for the line to go quiet.
WriteEnd fnDrain(XferRun &st)
{
    XferSession &stSession = st.m_stSession;
    for (;;) {
        const DWORD dwOut = static_cast<DWORD>(fnXferTakeOutput(stSession, st.m_abyOut, sizeof st.m_abyOut));
        if (dwOut == 0) {
            return kWriteDone;
        }
        const WriteEnd nEnd = fnWritePort(st, st.m_abyOut, dwOut, false);
        if (nEnd != kWriteDone || st.m_bCancel != 0) {
            return nEnd;
        }
        const DWORD dwIn = fnTakeInput(st);
        fnXferFeed(stSession, st.m_abyIn, dwIn, GetTickCount());
        fnShowIfDue(st);
    }
}

// The engine gives up its open file as incomplete; the reason is the glue's.
void fnEndByPort(XferRun &st)
{
    if (st.m_pszGlueReason == NULL) {
        st.m_pszGlueReason = kPortLost;
    }
    fnXferEnd(st.m_stSession.m_stCore, kXferProtocolError, false);
}

void fnRunEngine(XferRun &st)
{
    XferSession &stSession = st.m_stSession;
    while (fnXferRunning(stSession)) {
        if (st.m_bCancel != 0) {
            fnXferCancel(stSession, GetTickCount());
            break;
        }
        if (!fnSessionLive(st.m_dwSession)) {
            fnEndByPort(st);
            break;
        }
        const DWORD dwIn = fnTakeInput(st);
        fnXferFeed(stSession, st.m_abyIn, dwIn, GetTickCount());
        if (fnDrain(st) == kWriteFailed) {
            fnEndByPort(st);
            break;
        }
        fnShowIfDue(st);
        if (dwIn == 0 && fnXferRunning(stSession)) {
            const DWORD dwWaitMs = fnXferWaitMs(stSession, GetTickCount());
            WaitForSingleObject(st.m_hWake, dwWaitMs < kLiveCheckMs ? dwWaitMs : kLiveCheckMs);
        }
    }
}

// The abort's CANs, or the engine's last answer, still go out.
void fnWriteLast(XferRun &st)
{
    if (st.m_pszGlueReason != NULL) {
        return;
    }
    const DWORD dwOut = static_cast<DWORD>(fnXferTakeOutput(st.m_stSession, st.m_abyOut, sizeof st.m_abyOut));
    if (dwOut > 0) {
        fnWritePort(st, st.m_abyOut, dwOut, true);
    }
}

DWORD WINAPI fnXferThreadProc(LPVOID)
{
    XferRun &st = gstXferRun;
    const XferJob &stJob = st.m_stJob;
    fnXferStart(st.m_stSession, stJob.m_stSet, stJob.m_bSend, stJob.m_pSource, stJob.m_pSink, GetTickCount());
    fnRunEngine(st);
    fnWriteLast(st);
    fnPublish(st);
    PostMessageA(stJob.m_hDlg, kWmXferEnded, 0, 0);
    return 0;
}

} // namespace

BOOL fnXferThreadStart(const XferJob &stJob)
{
    XferRun &st = gstXferRun;
    if (!fnMakeEvents(st)) {
        return FALSE;
    }
    st.m_stJob = stJob;
    st.m_dwSession = gstCommx.m_dwSession;
    st.m_bCancel = 0;
    st.m_pszGlueReason = NULL;
    st.m_bHeard = FALSE;
    st.m_dwShownAt = GetTickCount();
    st.m_bShowPosted = 0;
    st.m_stSnapshot = XferSnapshot();
    ResetEvent(st.m_hWake);
    fnRxToInbox();
    DWORD dwId = 0;
    st.m_hThread = CreateThread(NULL, 0, fnXferThreadProc, NULL, 0, &dwId);
    if (st.m_hThread == NULL) {
        fnRxToDisplay();
        return FALSE;
    }
    return TRUE;
}

void fnXferThreadCancel()
{
    InterlockedExchange(&gstXferRun.m_bCancel, 1);
    SetEvent(gstXferRun.m_hWake);
}

void fnXferThreadSnapshot(XferSnapshot &stOut)
{
    XferRun &st = gstXferRun;
    EnterCriticalSection(&st.m_csSnapshot);
    stOut = st.m_stSnapshot;
    LeaveCriticalSection(&st.m_csSnapshot);
    InterlockedExchange(&st.m_bShowPosted, 0);
}

void fnXferThreadFinish(XferEndInfo &stOut)
{
    XferRun &st = gstXferRun;
    WaitForSingleObject(st.m_hThread, INFINITE);
    CloseHandle(st.m_hThread);
    st.m_hThread = NULL;
    fnRxToDisplay();
    stOut.m_nResult = st.m_stSession.m_stCore.m_nResult;
    stOut.m_pszGlueReason = st.m_pszGlueReason;
    fnXferThreadSnapshot(stOut.m_stLast);
}

void fnXferInboxPut(const BYTE *pby, DWORD dwCount)
{
    while (dwCount > 0) {
        fnHandOverEnter();
        const BOOL bOn = gstCcc.m_stRx.m_nMode == kRxModeXfer;
        const DWORD dwPut = bOn ? fnInboxPutLocked(pby, dwCount) : 0;
        fnHandOverLeave();
        if (!bOn) {
            return;
        }
        if (dwPut > 0) {
            SetEvent(gstXferRun.m_hWake);
        }
        pby += dwPut;
        dwCount -= dwPut;
        if (dwCount > 0) {
            WaitForSingleObject(gstXferRun.m_hRoom, kRoomWaitMs);
        }
    }
}

// The panes' parent is the main window.
void fnXferWatchAutoStart(const BYTE *pby, DWORD dwCount)
{
    if (gstDataTrans.m_stXfer.m_bAutoStart == 0) {
        gstXferAutoStart = ZAutoStart();
        return;
    }
    std::size_t cbUsed = 0;
    if (fnZAutoStartFeed(gstXferAutoStart, pby, dwCount, &cbUsed)) {
        PostMessageA(GetParent(gstStatusBar.m_hDlg), WM_COMMAND, IDM_XFER_AUTOSTART, 0);
    }
}
