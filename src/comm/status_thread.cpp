#include "ccc.h"

#include "modem_lines.h"
#include "rx_watch.h"
#include "settings.h"
#include "window_records.h"
#include "worker_sync.h"

namespace {

const char kCaption[] = "ZEVRIK";
const DWORD kStatusWaitMs = 200;
const DWORD kAllLines = EV_DSR | EV_CTS | EV_RING | EV_RLSD;

struct ModemLine {
    DWORD m_dwEvent;
    DWORD m_dwStatus;
    volatile LONG *m_pbState;
    HWND *m_phIndicator;
};

const ModemLine kastLines[] = {
    {EV_DSR, MS_DSR_ON, &gstStatusBar.m_bDsr, &gstStatusBar.m_hDsr},
    {EV_CTS, MS_CTS_ON, &gstStatusBar.m_bCts, &gstStatusBar.m_hCts},
    {EV_RING, MS_RING_ON, &gstStatusBar.m_bRi, &gstStatusBar.m_hRi},
    {EV_RLSD, MS_RLSD_ON, &gstStatusBar.m_bDcd, &gstStatusBar.m_hDcd},
};

enum StatusEnd { kStatusGoOn, kStatusClosed, kStatusFailed };

struct StatusRun {
    DWORD m_dwSession;
    OVERLAPPED m_stOsStatus;
    DWORD m_dwEvents;
    DWORD m_dwModemStatus;
    BOOL m_bPending;
    DWORD m_dwBytes;
    BOOL m_bQuiet; // a reopening: a port without line events is not told again
    BOOL m_bArmed; // a wait has started in this run: the port can report events
    WorkerEnd m_stEnd;
};

// A port that cannot tell its line states (a pty, for one) shows all lines off.
DWORD fnReadModemStatus(DWORD dwSession)
{
    DWORD dwModemStatus = 0;
    HANDLE hComm;
    if (fnPortEnter(dwSession, &hComm)) {
        if (!GetCommModemStatus(hComm, &dwModemStatus)) {
            dwModemStatus = 0;
        }
        fnPortLeave();
    }
    return dwModemStatus;
}

// A session that has ended leaves the lines alone: its reads give nothing.
void fnShowLines(DWORD dwSession, DWORD dwEvents, DWORD dwModemStatus)
{
    if (fnSessionLive(dwSession)) {
        fnUpdateModemLines(dwEvents, dwModemStatus);
    }
}

void fnHandleEvent(StatusRun &stRun)
{
    fnLineErrorsPoll(stRun.m_dwSession, stRun.m_dwEvents);
    stRun.m_dwModemStatus = fnReadModemStatus(stRun.m_dwSession);
    fnShowLines(stRun.m_dwSession, stRun.m_dwEvents, stRun.m_dwModemStatus);
    stRun.m_dwEvents = 0;
    stRun.m_dwModemStatus = 0;
}

// Wine takes the line states a wait compares against when the wait starts,
// so a change between two waits would never be reported: once a wait is
// armed, the lines are read again and those that differ from the indicators
// are updated.
void fnCatchUp(DWORD dwSession)
{
    const DWORD dwModemStatus = fnReadModemStatus(dwSession);
    DWORD dwChanged = 0;
    for (const ModemLine &stLine : kastLines) {
        const LONG bOn = (dwModemStatus & stLine.m_dwStatus) != 0 ? 1 : 0;
        if (*stLine.m_pbState != bOn) {
            dwChanged |= stLine.m_dwEvent;
        }
    }
    fnShowLines(dwSession, dwChanged, dwModemStatus);
}

// A failed wait alone is no loss: a port that cannot wait for line events
// still moves data. The device has gone only when a plain query of the port
// fails as well.
BOOL fnPortAnswers(DWORD dwSession)
{
    HANDLE hComm;
    if (!fnPortEnter(dwSession, &hComm)) {
        return TRUE;
    }
    DWORD dwErrors = 0;
    COMSTAT stStat;
    const BOOL bAnswers = ClearCommError(hComm, &dwErrors, &stStat);
    fnPortLeave();
    return bAnswers;
}

// A pulled cable can fail the wait a moment before the port stops
// answering, so a failed wait is looked at again after this long.
const DWORD kLossSettleMs = 500;
const DWORD kLossSettleStepMs = 50;

// The port still answers after the settling time (or the opening ended).
BOOL fnPortStillAnswers(DWORD dwSession)
{
    for (DWORD dwWaited = 0; dwWaited < kLossSettleMs && fnSessionLive(dwSession);
         dwWaited += kLossSettleStepMs) {
        if (!fnPortAnswers(dwSession)) {
            return FALSE;
        }
        Sleep(kLossSettleStepMs);
    }
    return fnPortAnswers(dwSession);
}

// A wait that cannot start: error 50 at the first wait says the port cannot
// report line events and needs no second look (after a wait has started, it
// says the port has changed, so it gets the second look). A loss is reported by the first worker
// that finds it (the claim); a wait that failed alone is reported unless
// another worker has meanwhile reported the loss of this opening. This
// worker ends either way.
StatusEnd fnStartFailed(StatusRun &stRun, DWORD dwError)
{
    const char kFormat[] = "INF033:WaitCommEvent() Error! the GetLastError return %d";
    if (dwError == ERROR_NOT_SUPPORTED && !stRun.m_bArmed) {
        if (!stRun.m_bQuiet && !fnLossReported(stRun.m_dwSession)) {
            fnEndWith(stRun.m_stEnd, kFormat, dwError);
        }
    } else if (fnPortStillAnswers(stRun.m_dwSession)) {
        if (!fnLossReported(stRun.m_dwSession)) {
            fnEndWith(stRun.m_stEnd, kFormat, dwError);
        }
    } else {
        fnEndWithLoss(stRun.m_stEnd, stRun.m_dwSession, kFormat, dwError);
    }
    return kStatusFailed;
}

StatusEnd fnStartWait(StatusRun &stRun)
{
    HANDLE hComm;
    if (!fnPortEnter(stRun.m_dwSession, &hComm)) {
        return kStatusClosed;
    }
    const BOOL bDone = WaitCommEvent(hComm, &stRun.m_dwEvents, &stRun.m_stOsStatus);
    const DWORD dwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    if (bDone) {
        fnHandleEvent(stRun);
        stRun.m_bPending = FALSE;
        ResetEvent(stRun.m_stOsStatus.hEvent);
        return kStatusGoOn;
    }
    if (dwError == ERROR_INVALID_HANDLE) {
        return kStatusClosed;
    }
    if (dwError == ERROR_IO_PENDING) {
        stRun.m_bPending = TRUE;
        stRun.m_bArmed = TRUE;
        fnCatchUp(stRun.m_dwSession);
        return kStatusGoOn;
    }
    return fnStartFailed(stRun, dwError);
}

// Setting the event mask ends a pending wait: Windows completes it with an
// empty event mask, Wine with ERROR_OPERATION_ABORTED. The opening sets the
// mask after the workers start, so a wait may end so with the device well;
// such a wait is armed again while the port still answers.
BOOL fnWaitAborted(const StatusRun &stRun, DWORD dwError)
{
    return dwError == ERROR_OPERATION_ABORTED && fnPortAnswers(stRun.m_dwSession);
}

// A wait that was armed and then fails while the port is still open means
// the device has gone: report it, unless another worker already has, and end.
StatusEnd fnCompleteWait(StatusRun &stRun)
{
    stRun.m_bPending = FALSE;
    DWORD dwError = 0;
    const PortResult nResult =
        fnPortResult(stRun.m_dwSession, &stRun.m_stOsStatus, &stRun.m_dwBytes, &dwError);
    if (nResult == kPortClosed) {
        return kStatusClosed;
    }
    ResetEvent(stRun.m_stOsStatus.hEvent);
    if (nResult == kPortFailed && fnWaitAborted(stRun, dwError)) {
        stRun.m_dwEvents = 0;
        return kStatusGoOn;
    }
    if (nResult == kPortFailed) {
        fnEndWithLoss(stRun.m_stEnd, stRun.m_dwSession,
                      "INF041:COM Status Error! the GetOverlappedResult() return %d", dwError);
        return kStatusFailed;
    }
    fnHandleEvent(stRun);
    return kStatusGoOn;
}

StatusEnd fnAwaitEvent(StatusRun &stRun)
{
    switch (WaitForMultipleObjects(1, &stRun.m_stOsStatus.hEvent, FALSE, kStatusWaitMs)) {
    case WAIT_OBJECT_0:
        return fnCompleteWait(stRun);
    case WAIT_TIMEOUT:
        fnLineErrorsPoll(stRun.m_dwSession, 0); // an overflow comes without an event
        return kStatusGoOn;
    default:
        MessageBoxA(NULL, "INF034:COM Status - The WaitForMultipleObjects() Return Unknown!", kCaption,
                    MB_OK);
        return kStatusGoOn;
    }
}

StatusEnd fnStatusPass(StatusRun &stRun)
{
    StatusEnd nEnd = kStatusGoOn;
    if (!stRun.m_bPending) {
        nEnd = fnStartWait(stRun);
    }
    if (nEnd == kStatusGoOn && stRun.m_bPending) {
        nEnd = fnAwaitEvent(stRun);
    }
    return nEnd;
}

StatusEnd fnStatusLoop(StatusRun &stRun)
{
    stRun.m_stOsStatus.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (stRun.m_stOsStatus.hEvent == NULL) {
        lstrcpynA(stRun.m_stEnd.m_achMsg, "INF032:stOsStatus.hEvent==NULL", kWorkerMsgChars);
        return kStatusFailed;
    }
    fnShowLines(stRun.m_dwSession, kAllLines, fnReadModemStatus(stRun.m_dwSession));
    fnLineErrorsClear();
    StatusEnd nEnd = kStatusGoOn;
    while (nEnd == kStatusGoOn && fnSessionLive(stRun.m_dwSession)) {
        nEnd = fnStatusPass(stRun);
    }
    return nEnd == kStatusGoOn ? kStatusClosed : nEnd;
}

void fnStatusCleanUp(StatusRun &stRun)
{
    if (stRun.m_bPending) {
        fnFinishIo(stRun.m_dwSession, &stRun.m_stOsStatus);
    }
    if (stRun.m_stOsStatus.hEvent != NULL) {
        CloseHandle(stRun.m_stOsStatus.hEvent);
    }
}

} // namespace

void fnUpdateModemLines(DWORD dwEvents, DWORD dwModemStatus)
{
    for (const ModemLine &stLine : kastLines) {
        if ((dwEvents & stLine.m_dwEvent) == 0) {
            continue;
        }
        *stLine.m_pbState = (dwModemStatus & stLine.m_dwStatus) != 0 ? 1 : 0;
        // The user-interface thread repaints it, grey or coloured as the port
        // is when it does: a close meanwhile leaves it grey.
        PostMessageA(gstStatusBar.m_hDlg, kSbLineChanged, reinterpret_cast<WPARAM>(*stLine.m_phIndicator), 0);
    }
}

DWORD WINAPI CommThreadStatusProc(LPVOID pvParam)
{
    StatusRun stRun = {};
    stRun.m_dwSession = fnSessionOf(pvParam);
    stRun.m_bQuiet = gstCommx.m_bReopened;
    if (!fnClaimBlock(kWorkerStatus, stRun.m_dwSession)) {
        return 1;
    }
    const StatusEnd nEnd = fnStatusLoop(stRun);
    fnStatusCleanUp(stRun);
    fnReleaseBlock(kWorkerStatus);
    if (nEnd == kStatusFailed) {
        fnShowWorkerEnd(stRun.m_stEnd);
    }
    return 1;
}
