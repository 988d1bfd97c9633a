#include "ccc.h"

#include "echo.h"
#include "log_file.h"
#include "plot_feed.h"
#include "resource.h"
#include "rx_display.h"
#include "rx_watch.h"
#include "settings.h"
#include "show_pace.h"
#include "window_records.h"
#include "worker_sync.h"
#include "xfer_thread.h"

namespace {

const char kCaption[] = "ZEVRIK";
const DWORD kRxWaitMs = 500;
// A read that brings no bytes is followed by this pause, so that a port
// whose reads return empty at once never drives the thread round in a loop.
const DWORD kEmptyReadPauseMs = 20;
// FlushFileBuffers costs ~0.8 ms per KiB under Wine, several times the write
// of the block, so a received file is flushed at most this often; every
// block is still written as it comes, so a file keeps all that arrived
// whatever becomes of the port, and the end of the reception flushes the rest.
const DWORD kFileFlushMs = 500;

enum RxEnd { kRxGoOn, kRxClosed, kRxFailed };

struct RxRun {
    DWORD m_dwSession;
    BOOL m_bReopened;   // the opening is a reopening: the text goes on
    HANDLE m_ahWait[2]; // read completion, echo request
    DWORD m_dwWaitCount;
    ShowPace m_stCount; // the byte count of the File Receive dialog
    BOOL m_bFileUnflushed;
    DWORD m_dwFlushedAt;
    WorkerEnd m_stEnd;
};

void fnShowBytes(const BYTE *pby, DWORD dwCount, BOOL bEcho)
{
    fnDisplayBlock(pby, dwCount, fnDisplayOptions(), bEcho);
}

// Shows the live total of the reception that is on, so a count kept back
// never reaches the dialog of a later reception.
void fnShowRxCount(RxRun &stRun)
{
    fnHandOverEnter();
    const LONG nMode = gstCcc.m_stRx.m_nMode;
    const HWND hDlg = gstFileRx.m_hDlg;
    const DWORD dwTotal = gstCcc.m_stRx.m_dwFileTotal;
    fnHandOverLeave();
    if (nMode == 1) {
        SetDlgItemInt(hDlg, IDC_FR_LENGTH, dwTotal, FALSE);
    }
    fnPaceShown(stRun.m_stCount);
}

BOOL fnOwesShow(const RxRun &stRun)
{
    return fnDisplayOwed() || stRun.m_stCount.m_bOwed;
}

// No more data is waiting: everything kept back is shown now.
void fnShowOwed(RxRun &stRun)
{
    fnDisplayShow();
    if (stRun.m_stCount.m_bOwed) {
        fnShowRxCount(stRun);
    }
}

// The run stops showing, for a message or for good, so nothing kept back
// waits for the pane.
void fnShowLast(RxRun &stRun)
{
    fnDisplayShowNow();
    fnShowOwed(stRun);
}

// Called under the hand-over lock while the reception is on.
void fnFlushRxFileIfDue(RxRun &stRun)
{
    if (stRun.m_bFileUnflushed && GetTickCount() - stRun.m_dwFlushedAt >= kFileFlushMs) {
        FlushFileBuffers(gstFileTrans.m_hFile);
        stRun.m_bFileUnflushed = FALSE;
        stRun.m_dwFlushedAt = GetTickCount();
    }
}

// A reception that has ended meanwhile was flushed by its dialog.
void fnServeRxFileFlush(RxRun &stRun)
{
    if (!stRun.m_bFileUnflushed) {
        return;
    }
    fnHandOverEnter();
    if (gstCcc.m_stRx.m_nMode == 1) {
        fnFlushRxFileIfDue(stRun);
    } else {
        stRun.m_bFileUnflushed = FALSE;
    }
    fnHandOverLeave();
}

// While data keeps coming, what has been kept back for a whole interval is
// shown anyway, so the windows never lag further behind.
void fnShowDue(RxRun &stRun)
{
    fnDisplayShowIfDue();
    if (fnPaceDue(stRun.m_stCount)) {
        fnShowRxCount(stRun);
    }
    fnServeRxFileFlush(stRun);
}

// All echo bytes waiting are shown in one block, whatever the receive mode
// and the "RE" switch are.
void fnShowEcho(RxRun &stRun)
{
    BYTE abyEcho[kEchoPendingBytes];
    const DWORD dwCount = fnEchoTake(stRun.m_ahWait[1], abyEcho, sizeof abyEcho);
    if (dwCount > 0) {
        fnShowBytes(abyEcho, dwCount, TRUE);
    }
}

void fnPauseAfterEmptyRead(RxRun &stRun)
{
    fnShowOwed(stRun);
    if (stRun.m_dwWaitCount < 2) {
        Sleep(kEmptyReadPauseMs);
    } else if (WaitForSingleObject(stRun.m_ahWait[1], kEmptyReadPauseMs) == WAIT_OBJECT_0) {
        fnShowEcho(stRun);
    }
}

// The file is written under the hand-over lock and only while the mode is
// still 1, so a reception ended meanwhile never sees a write into its closed
// file; its bytes then go to the display like any others. The total is kept
// under the same lock, so the reset of a new reception is never overwritten.
LONG fnWriteRxFile(RxRun &stRun, DWORD dwCount, BOOL *pbWritten)
{
    fnHandOverEnter();
    const LONG nMode = gstCcc.m_stRx.m_nMode;
    if (nMode == 1) {
        *pbWritten = WriteFile(gstFileTrans.m_hFile, gstCcc.m_stRx.m_abyBuf, dwCount,
                               &gstCcc.m_stRx.m_dwFileWritten, NULL);
        if (*pbWritten && gstCcc.m_stRx.m_dwFileWritten != 0) {
            gstCcc.m_stRx.m_dwFileTotal += gstCcc.m_stRx.m_dwFileWritten;
            stRun.m_bFileUnflushed = TRUE;
            fnFlushRxFileIfDue(stRun);
        }
    }
    fnHandOverLeave();
    return nMode;
}

// Only bytes count as activity: under time-outs that make a read return at
// once, empty reads come all the time and would keep the reception from ever
// ending on its idle time.
void fnCountRxFile(RxRun &stRun)
{
    if (gstCcc.m_stRx.m_dwFileWritten == 0) {
        return;
    }
    gstFileRx.m_dwIdleSeconds = 0;
    stRun.m_stCount.m_bOwed = TRUE;
    if (fnPaceDue(stRun.m_stCount)) {
        fnShowRxCount(stRun);
    }
}

void fnDeliver(RxRun &stRun, DWORD dwCount, const char *pszWriteError)
{
    fnLogReceived(gstCcc.m_stRx.m_abyBuf, dwCount);
    fnRxWatchFeed(gstCcc.m_stRx.m_abyBuf, dwCount);
    fnPlotFeed(gstCcc.m_stRx.m_abyBuf, dwCount);
    BOOL bWritten = FALSE;
    const LONG nMode = fnWriteRxFile(stRun, dwCount, &bWritten);
    if (nMode == 0) {
        fnXferWatchAutoStart(gstCcc.m_stRx.m_abyBuf, dwCount);
        if (gstToolbar.m_bRxEnable == 1) {
            fnShowBytes(gstCcc.m_stRx.m_abyBuf, dwCount, FALSE);
        }
    } else if (nMode == 1) {
        if (bWritten) {
            fnCountRxFile(stRun);
        } else {
            fnShowLast(stRun);
            MessageBoxA(NULL, pszWriteError, kCaption, MB_OK);
            SendMessageA(gstFileRx.m_hDlg, WM_COMMAND, IDOK, 0);
        }
    } else if (nMode == kRxModeXfer) {
        fnXferInboxPut(gstCcc.m_stRx.m_abyBuf, dwCount);
    }
}

DWORD fnReadSize()
{
    const DWORD dwToRead = gstCcc.m_stRx.m_dwToRead;
    return dwToRead < sizeof gstCcc.m_stRx.m_abyBuf ? dwToRead : sizeof gstCcc.m_stRx.m_abyBuf;
}

RxEnd fnStartRead(RxRun &stRun)
{
    HANDLE hComm;
    if (!fnPortEnter(stRun.m_dwSession, &hComm)) {
        return kRxClosed;
    }
    const BOOL bDone =
        ReadFile(hComm, gstCcc.m_stRx.m_abyBuf, fnReadSize(), &gstCcc.m_stRx.m_dwRead, &gstCcc.m_stRx.m_stOL);
    const DWORD dwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    if (bDone) {
        fnDeliver(stRun, gstCcc.m_stRx.m_dwRead, "INF029:Rx File Write Error. WriteFile() Return FALSE!");
        gstCcc.m_stRx.m_bPending = 0;
        ResetEvent(gstCcc.m_stRx.m_stOL.hEvent);
        if (gstCcc.m_stRx.m_dwRead == 0) {
            fnPauseAfterEmptyRead(stRun);
        }
        return kRxGoOn;
    }
    if (dwError == ERROR_INVALID_HANDLE) {
        return kRxClosed;
    }
    if (dwError == ERROR_IO_PENDING) {
        gstCcc.m_stRx.m_bPending = 1;
        return kRxGoOn;
    }
    fnEndWithLoss(stRun.m_stEnd, stRun.m_dwSession, "INF028:COM Read Error! the GetLastError() return %d",
                  dwError);
    return kRxFailed;
}

// A completion that fails while the port is still open means the device has
// gone (a pty whose far end closed fails every read at once): report it once
// (another worker may have already) and end, instead of reading again for
// ever.
RxEnd fnCompleteRead(RxRun &stRun)
{
    DWORD dwError = 0;
    const PortResult nResult =
        fnPortResult(stRun.m_dwSession, &gstCcc.m_stRx.m_stOL, &gstCcc.m_stRx.m_dwRead, &dwError);
    gstCcc.m_stRx.m_bPending = 0;
    if (nResult == kPortClosed) {
        return kRxClosed;
    }
    ResetEvent(gstCcc.m_stRx.m_stOL.hEvent);
    // A read that its time-outs ended has come back as done (fnPortResult).
    if (nResult == kPortFailed) {
        fnEndWithLoss(stRun.m_stEnd, stRun.m_dwSession,
                      "INF038:COM Rx Error! the GetOverlappedResult() return %d", dwError);
        return kRxFailed;
    }
    if (gstCcc.m_stRx.m_dwRead != 0) {
        fnDeliver(stRun, gstCcc.m_stRx.m_dwRead, "INF030: Rx File Write Error.WriteFile() Return FALSE!");
    } else {
        fnPauseAfterEmptyRead(stRun);
    }
    return kRxGoOn;
}

RxEnd fnAwaitRead(RxRun &stRun)
{
    gstCcc.m_stRx.m_dwWaitResult = WaitForMultipleObjects(stRun.m_dwWaitCount, stRun.m_ahWait, FALSE,
                                                          fnPaceWaitMs(fnOwesShow(stRun), kRxWaitMs));
    switch (gstCcc.m_stRx.m_dwWaitResult) {
    case WAIT_OBJECT_0:
        return fnCompleteRead(stRun);
    case WAIT_OBJECT_0 + 1:
        fnShowEcho(stRun);
        return kRxGoOn;
    case WAIT_TIMEOUT:
        fnShowOwed(stRun);
        return kRxGoOn;
    default:
        MessageBoxA(NULL, "INF031:COM Rx - The WaitForMultipleObjects() Return Unknown!", kCaption, MB_OK);
        return kRxGoOn;
    }
}

// The flag is taken and cleared in one step, so a request made while the
// text is being emptied is never lost.
void fnServeClearScreen()
{
    if (InterlockedExchange(&gstTerminal.m_bClearScreen, 0) == 1) {
        fnDisplayClear();
    }
}

RxEnd fnRxPass(RxRun &stRun)
{
    RxEnd nEnd = kRxGoOn;
    if (gstCcc.m_stRx.m_bPending == 0) {
        nEnd = fnStartRead(stRun);
    }
    if (nEnd == kRxGoOn && gstCcc.m_stRx.m_bPending == 1) {
        nEnd = fnAwaitRead(stRun);
    }
    if (nEnd == kRxGoOn) {
        fnServeClearScreen();
        fnShowDue(stRun);
    }
    return nEnd;
}

RxEnd fnRxStart(RxRun &stRun)
{
    if (!stRun.m_bReopened) {
        fnDisplayReset();
    }
    fnPaceReset(stRun.m_stCount);
    stRun.m_dwFlushedAt = GetTickCount();
    gstToolbar.m_bRxEnable = 1;
    ZeroMemory(&gstCcc.m_stRx.m_stOL, sizeof gstCcc.m_stRx.m_stOL);
    gstCcc.m_stRx.m_stOL.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (gstCcc.m_stRx.m_stOL.hEvent == NULL) {
        lstrcpynA(stRun.m_stEnd.m_achMsg, "INF027:gstCcc.m_stRx.m_stOL.hEvent==NULL", kWorkerMsgChars);
        return kRxFailed;
    }
    gstCcc.m_stRx.m_bPending = 0;
    gstTerminal.m_bClearScreen = 0;
    gstCcc.m_stRx.m_dwFileTotal = 0;
    stRun.m_ahWait[0] = gstCcc.m_stRx.m_stOL.hEvent;
    stRun.m_ahWait[1] = CreateEventA(NULL, TRUE, FALSE, NULL);
    stRun.m_dwWaitCount = stRun.m_ahWait[1] != NULL ? 2 : 1;
    if (stRun.m_ahWait[1] != NULL && !fnEchoPublish(stRun.m_dwSession, stRun.m_ahWait[1])) {
        return kRxClosed;
    }
    gstCcc.m_stRx.m_dwToRead = kRxReadDisplay;
    gstCcc.m_stRx.m_nMode = 0;
    return kRxGoOn;
}

RxEnd fnRxLoop(RxRun &stRun)
{
    RxEnd nEnd = fnRxStart(stRun);
    while (nEnd == kRxGoOn && fnSessionLive(stRun.m_dwSession)) {
        nEnd = fnRxPass(stRun);
    }
    return nEnd == kRxGoOn ? kRxClosed : nEnd;
}

// A loss with reopening on ends the session without the user: what the
// terminal shows stays, since the device's last words are what the user
// needs, and the reopened session goes on below them.
BOOL fnEndedByUser(const RxRun &stRun)
{
    return !fnSessionLive(stRun.m_dwSession) &&
           !(fnLossReported(stRun.m_dwSession) && gstComSet.m_stCur.m_bReopen != 0);
}

// A failed run leaves the port open with its message up, showing the last
// blocks it had. Should the port have been closed meanwhile, the close may
// have emptied the terminal before this showed them, so it is emptied again.
void fnShowBeforeFailure(RxRun &stRun)
{
    fnShowLast(stRun);
    if (fnEndedByUser(stRun)) {
        fnDisplayClear();
    }
}

// Everything this run created is given up before the block is released, so
// the next run starts on a quiet block.
void fnRxCleanUp(RxRun &stRun, RxEnd nEnd)
{
    if (gstCcc.m_stRx.m_bPending == 1) {
        fnFinishIo(stRun.m_dwSession, &gstCcc.m_stRx.m_stOL);
        gstCcc.m_stRx.m_bPending = 0;
    }
    if (stRun.m_ahWait[1] != NULL) {
        fnEchoWithdraw(stRun.m_ahWait[1]);
        CloseHandle(stRun.m_ahWait[1]);
    }
    if (gstCcc.m_stRx.m_stOL.hEvent != NULL) {
        CloseHandle(gstCcc.m_stRx.m_stOL.hEvent);
        gstCcc.m_stRx.m_stOL.hEvent = NULL;
    }
    if (nEnd != kRxClosed) {
        fnShowBeforeFailure(stRun);
    } else if (fnEndedByUser(stRun)) {
        fnDisplayClear();
    } else {
        fnShowLast(stRun);
    }
}

} // namespace

DWORD WINAPI CommThreadRxProc(LPVOID pvParam)
{
    RxRun stRun = {};
    stRun.m_dwSession = fnSessionOf(pvParam);
    stRun.m_bReopened = gstCommx.m_bReopened;
    if (!fnClaimBlock(kWorkerRx, stRun.m_dwSession)) {
        return 1;
    }
    const RxEnd nEnd = fnRxLoop(stRun);
    fnRxCleanUp(stRun, nEnd);
    fnReleaseBlock(kWorkerRx);
    if (nEnd == kRxFailed) {
        fnShowWorkerEnd(stRun.m_stEnd);
    }
    return 1;
}
