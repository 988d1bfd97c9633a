#include "worker_sync.h"

#include "log_file.h"
#include "settings.h"

WorkerSyncRecord gstWorkerSync;

namespace {

const DWORD kClaimPollMs = 10;
const char kCaption[] = "ZEVRIK";

HWND ghLossWindow;

} // namespace

WorkerSyncRecord::WorkerSyncRecord() : m_abBusy(), m_lLossReported(-1), m_bLossBoxUp(0)
{
    InitializeCriticalSection(&m_csPort);
    InitializeCriticalSection(&m_csHandOver);
}

LPVOID fnSessionParam(DWORD dwSession)
{
    return reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(dwSession));
}

DWORD fnSessionOf(LPVOID pvParam)
{
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(pvParam));
}

BOOL fnSessionLive(DWORD dwSession)
{
    return gstCommx.m_bCommOpen != 0 && gstCommx.m_dwSession == dwSession;
}

BOOL fnPortEnter(DWORD dwSession, HANDLE *phComm)
{
    EnterCriticalSection(&gstWorkerSync.m_csPort);
    if (!fnSessionLive(dwSession) || gstCommx.m_hComm == INVALID_HANDLE_VALUE) {
        LeaveCriticalSection(&gstWorkerSync.m_csPort);
        return FALSE;
    }
    *phComm = gstCommx.m_hComm;
    return TRUE;
}

void fnPortLeave()
{
    LeaveCriticalSection(&gstWorkerSync.m_csPort);
}

PortResult fnPortResult(DWORD dwSession, OVERLAPPED *pstOL, DWORD *pdwCount, DWORD *pdwError)
{
    HANDLE hComm;
    if (!fnPortEnter(dwSession, &hComm)) {
        return kPortClosed;
    }
    BOOL bDone = GetOverlappedResult(hComm, pstOL, pdwCount, FALSE);
    *pdwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    // Windows ends an operation that ran out of time as a success with fewer
    // bytes; Wine ends it with ERROR_TIMEOUT. Both are the bytes moved so far.
    if (!bDone && *pdwError == ERROR_TIMEOUT) {
        *pdwCount = static_cast<DWORD>(pstOL->InternalHigh);
        *pdwError = 0;
        bDone = TRUE;
    }
    return bDone ? kPortDone : kPortFailed;
}

BOOL fnLossReported(DWORD dwSession)
{
    return gstWorkerSync.m_lLossReported == static_cast<LONG>(dwSession);
}

BOOL fnClaimLossReport(DWORD dwSession)
{
    const LONG lSession = static_cast<LONG>(dwSession);
    if (InterlockedExchange(&gstWorkerSync.m_lLossReported, lSession) == lSession) {
        return FALSE;
    }
    fnLogEvent(kLogMarkLost, gstCommx.m_achCurCommNumShort);
    if (ghLossWindow != NULL) {
        PostMessageA(ghLossWindow, kWmDeviceLost, dwSession, 0);
    }
    return TRUE;
}

void fnSetLossWindow(HWND hWnd)
{
    ghLossWindow = hWnd;
}

void fnEndWith(WorkerEnd &stEnd, const char *pszFormat, DWORD dwError)
{
    wsprintfA(stEnd.m_achMsg, pszFormat, static_cast<int>(dwError));
}

BOOL fnEndWithLoss(WorkerEnd &stEnd, DWORD dwSession, const char *pszFormat, DWORD dwError)
{
    if (!fnClaimLossReport(dwSession)) {
        return FALSE;
    }
    fnEndWith(stEnd, pszFormat, dwError);
    stEnd.m_bLoss = TRUE;
    return TRUE;
}

void fnShowWorkerEnd(const WorkerEnd &stEnd)
{
    if (stEnd.m_achMsg[0] == '\0') {
        return;
    }
    if (!stEnd.m_bLoss) {
        MessageBoxA(NULL, stEnd.m_achMsg, kCaption, MB_OK);
        return;
    }
    if (InterlockedExchange(&gstWorkerSync.m_bLossBoxUp, 1) == 1) {
        return;
    }
    MessageBoxA(NULL, stEnd.m_achMsg, kCaption, MB_OK);
    InterlockedExchange(&gstWorkerSync.m_bLossBoxUp, 0);
}

void fnHandOverEnter()
{
    EnterCriticalSection(&gstWorkerSync.m_csHandOver);
}

void fnHandOverLeave()
{
    LeaveCriticalSection(&gstWorkerSync.m_csHandOver);
}

// The previous run of a kind gives its block up within one of its bounded
// waits after the close, so polling here ends soon.
BOOL fnClaimBlock(WorkerKind nKind, DWORD dwSession)
{
    for (;;) {
        if (!fnSessionLive(dwSession)) {
            return FALSE;
        }
        if (InterlockedCompareExchange(&gstWorkerSync.m_abBusy[nKind], 1, 0) == 0) {
            return TRUE;
        }
        Sleep(kClaimPollMs);
    }
}

void fnReleaseBlock(WorkerKind nKind)
{
    InterlockedExchange(&gstWorkerSync.m_abBusy[nKind], 0);
}

void fnFinishIo(DWORD dwSession, const OVERLAPPED *pstOL)
{
    HANDLE hComm;
    if (fnPortEnter(dwSession, &hComm)) {
        CancelIo(hComm);
        fnPortLeave();
    }
    WaitForSingleObject(pstOL->hEvent, INFINITE);
}
