#include "port_reopen.h"

#include "port_session.h"
#include "reopen_plan.h"
#include "settings.h"
#include "ui_state.h"
#include "worker_sync.h"

namespace {

// Finer than the try interval, so a try comes at most a quarter second late.
const UINT kTimerMs = 250;

ReopenPlan gstPlan;
HWND ghTimerWindow;

void fnStopWaiting()
{
    fnReopenEnd(gstPlan);
    gstCommx.m_bWaiting = 0;
    if (ghTimerWindow != NULL) {
        KillTimer(ghTimerWindow, kReopenTimerId);
        ghTimerWindow = NULL;
    }
}

} // namespace

void fnReopenAttach(HWND hWnd)
{
    fnSetLossWindow(hWnd);
}

// The report itself has been shown by the worker that claimed it; the dead
// handle is closed now instead of being left open.
void fnReopenOnLoss(HWND hWnd, DWORD dwSession)
{
    if (!fnReopenWanted(gstComSet.m_stCur.m_bReopen, dwSession, gstCommx.m_dwSession,
                        gstCommx.m_bCommOpen != 0) ||
        !fnEndSession()) {
        return;
    }
    fnReopenBegin(gstPlan, GetTickCount());
    gstCommx.m_bWaiting = 1;
    ghTimerWindow = hWnd;
    SetTimer(hWnd, kReopenTimerId, kTimerMs, NULL);
    fnUiRefresh(gstCommx.m_bCommOpen);
}

// The same settings as before are applied, DTR and RTS by the refresh. No
// try is made while a dialog of the main window is up (a transfer's or COM
// Set's), so no opening starts under it.
void fnReopenOnTimer()
{
    const DWORD dwNow = GetTickCount();
    if (!fnReopenDue(gstPlan, dwNow) || !IsWindowEnabled(ghTimerWindow)) {
        return;
    }
    fnReopenTried(gstPlan, dwNow);
    if (fnOpenSteps(NULL, FALSE) != kOpenOk) {
        return;
    }
    fnStopWaiting();
    fnUiRefresh(gstCommx.m_bCommOpen);
}

BOOL fnReopenCancel()
{
    if (!gstPlan.m_bWaiting) {
        return FALSE;
    }
    fnStopWaiting();
    return TRUE;
}
