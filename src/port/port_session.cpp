#include "port_session.h"

#include "ccc.h"
#include "echo.h"
#include "jobs.h"
#include "log_file.h"
#include "log_status.h"
#include "rx_display.h"
#include "rx_watch.h"
#include "settings.h"
#include "window_records.h"
#include "worker_sync.h"

namespace {

const char kCaption[] = "ZEVRIK";
const DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | kLineErrorEvents;
const DWORD kInQueue = 2048;
const DWORD kOutQueue = 1024;
const int kRxEnableButton = kToolbarButtons - 1;

// The thread handles are only kept to be closed; the threads end on their own.
void fnCloseThreadHandle(HANDLE &hThread)
{
    if (hThread != NULL) {
        CloseHandle(hThread);
        hThread = NULL;
    }
}

} // namespace

// Closes the port handle exactly once and ends the session, so every worker
// of this opening leaves the port alone from now on and ends by itself.
BOOL fnEndSession()
{
    EnterCriticalSection(&gstWorkerSync.m_csPort);
    const BOOL bClosed = CloseHandle(gstCommx.m_hComm);
    if (bClosed) {
        gstCommx.m_hComm = INVALID_HANDLE_VALUE;
        gstCommx.m_bCommOpen = 0;
        gstCommx.m_dwSession = gstCommx.m_dwSession + 1;
    }
    LeaveCriticalSection(&gstWorkerSync.m_csPort);
    if (bClosed) {
        fnTxDisconnect();
        fnEchoDisconnect();
        fnCloseThreadHandle(gstCcc.m_stTx.m_hThread);
        fnCloseThreadHandle(gstCcc.m_stRx.m_hThread);
        fnCloseThreadHandle(gstCcc.m_stStatus.m_hThread);
    }
    return bClosed;
}

// What the driver made of the line just set, for the status summary.
void fnReadBack(HANDLE hComm)
{
    DCB stHeld = {};
    stHeld.DCBlength = sizeof stHeld;
    gstCommx.m_bHeldKnown = GetCommState(hComm, &stHeld) ? 1 : 0;
    gstCommx.m_stHeld = fnLineOfDcb(stHeld);
}

namespace {

// A failed step after the port was opened leaves it closed and reusable. A
// reopening try (no report) fails quietly.
int fnOpenFailed(HWND hOwner, BOOL bReport, const char *pszText, const char *pszCaption, int nCode)
{
    if (bReport) {
        MessageBoxA(hOwner, pszText, pszCaption, MB_OK);
    }
    fnEndSession();
    return nCode;
}

int fnConfigurePort(HWND hOwner, BOOL bReport)
{
    HANDLE hComm = gstCommx.m_hComm;
    if (!GetCommState(hComm, &gstCommx.m_stDcb)) {
        return fnOpenFailed(hOwner, bReport, "GetCommState() Error!", "ErrorCode 2", kOpenGetCommState);
    }
    if (!GetCommTimeouts(hComm, &gstCommx.m_stTimeouts)) {
        return fnOpenFailed(hOwner, bReport, "INF002:GetCommTimeouts() Error!", kCaption,
                            kOpenGetCommTimeouts);
    }
    if (!GetCommProperties(hComm, &gstCommx.m_stCommProp)) {
        return fnOpenFailed(hOwner, bReport, "INF003:GetCommProperties() Error!", kCaption,
                            kOpenGetCommProperties);
    }
    fnRebuildCommx();
    if (!SetCommState(hComm, &gstCommx.m_stDcb)) {
        return fnOpenFailed(hOwner, bReport, "INF004:SetCommState() Error!", kCaption, kOpenSetCommState);
    }
    fnReadBack(hComm);
    if (!SetCommTimeouts(hComm, &gstCommx.m_stTimeouts)) {
        return fnOpenFailed(hOwner, bReport, "INF005:SetCommTimeouts() Error!", kCaption,
                            kOpenSetCommTimeouts);
    }
    if (!SetupComm(hComm, kInQueue, kOutQueue)) {
        return fnOpenFailed(hOwner, bReport, "INF006:SetupComm() Error!", kCaption, kOpenSetupComm);
    }
    return kOpenOk;
}

// Each worker gets the session of this opening as its parameter.
BOOL fnStartWorker(LPTHREAD_START_ROUTINE pfnProc, HANDLE &hThread, DWORD &dwThreadId)
{
    hThread = CreateThread(NULL, 0, pfnProc, fnSessionParam(gstCommx.m_dwSession), 0, &dwThreadId);
    return hThread != NULL;
}

int fnStartWorkers(BOOL bReport)
{
    if (!fnStartWorker(CommThreadTxProc, gstCcc.m_stTx.m_hThread, gstCcc.m_stTx.m_dwThreadId)) {
        return fnOpenFailed(NULL, bReport, "INF007:Thread CommThreadTxProc() Create Fail!", kCaption,
                            kOpenTxThread);
    }
    if (!fnStartWorker(CommThreadRxProc, gstCcc.m_stRx.m_hThread, gstCcc.m_stRx.m_dwThreadId)) {
        return fnOpenFailed(NULL, bReport, "INF008:Thread CommThreadRxProc() Create Fail!", kCaption,
                            kOpenRxThread);
    }
    if (!fnStartWorker(CommThreadStatusProc, gstCcc.m_stStatus.m_hThread, gstCcc.m_stStatus.m_dwThreadId)) {
        return fnOpenFailed(NULL, bReport, "INF009:Thread CommThreadStatusProc() Create Fail!", kCaption,
                            kOpenStatusThread);
    }
    return kOpenOk;
}

int fnCreatePort(HWND hOwner, BOOL bReport)
{
    const HANDLE hComm = CreateFileA(gstCommx.m_achCurCommNum, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, NULL);
    if (hComm == INVALID_HANDLE_VALUE) {
        char achText[64];
        wsprintfA(achText, "Open %s Port Error!", gstCommx.m_achCurCommNumShort);
        if (bReport) {
            MessageBoxA(hOwner, achText, kCaption, MB_OK);
        }
        gstCommx.m_bCommOpen = 0;
        return kOpenCreateFile;
    }
    EnterCriticalSection(&gstWorkerSync.m_csPort);
    gstCommx.m_hComm = hComm;
    gstCommx.m_bCommOpen = 1;
    LeaveCriticalSection(&gstWorkerSync.m_csPort);
    return kOpenOk;
}

} // namespace

int fnOpenSteps(HWND hOwner, BOOL bReport)
{
    fnRebuildCommx();
    int nCode = fnCreatePort(hOwner, bReport);
    if (nCode == kOpenOk) {
        nCode = fnConfigurePort(hOwner, bReport);
    }
    if (nCode == kOpenOk) {
        gstCommx.m_bReopened = bReport ? 0 : 1;
        // Before the workers, so that the log has the first byte read.
        fnLogOnOpened(gstCommx.m_bReopened);
        fnDisplaySetOptions(gstTermOpt.m_stCur);
        nCode = fnStartWorkers(bReport);
    }
    if (nCode == kOpenOk && !SetCommMask(gstCommx.m_hComm, kModemEvents)) {
        nCode = fnOpenFailed(NULL, bReport, "INF010:SetCommMask() return error!", kCaption, kOpenSetCommMask);
    }
    if (nCode != kOpenOk) {
        return nCode;
    }
    SendMessageA(gstToolbar.m_ahButton[kRxEnableButton], BM_SETCHECK, BST_CHECKED, 0);
    gstToolbar.m_bRxEnable = 1;
    gstCommx.m_bCommOpen = 1;
    return kOpenOk;
}
