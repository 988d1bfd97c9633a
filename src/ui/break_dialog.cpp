#include "break_dialog.h"

#include "dialog_place.h"
#include "jobs.h"
#include "log_status.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

namespace {

const UINT_PTR kBreakTimer = 1;
const char kTitle[] = "Send Break";

// A file job is on: its write would go out during or after the break, so
// the break is refused with a message.
bool fnRefusedForFile(HWND hOwner)
{
    if (!fnFileTxOn()) {
        return false;
    }
    MessageBoxA(hOwner, "A file is being sent: no break until it has ended.", kTitle, MB_OK);
    return true;
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    SetDlgItemInt(hDlg, IDC_BRK_TIME, gstDataTrans.m_dwBreakMs, FALSE);
    return TRUE;
}

// The break starts here and ends on the timer, so the windows keep painting.
void OnSend(HWND hDlg)
{
    const ZDWORD dwMs = fnGetDlgUint(hDlg, IDC_BRK_TIME);
    if (dwMs < kBreakMsMin || dwMs > kBreakMsMax) {
        MessageBoxA(hDlg, "The break time must be 10 to 5000 ms.", kTitle, MB_OK);
        return;
    }
    if (fnRefusedForFile(hDlg)) {
        return;
    }
    if (!SetCommBreak(gstCommx.m_hComm)) {
        MessageBoxA(hDlg, "SetCommBreak() failed: the port cannot send a break.", kTitle, MB_OK);
        return;
    }
    gstDataTrans.m_dwBreakMs = dwMs;
    fnLogBreakSent(dwMs);
    EnableWindow(GetDlgItem(hDlg, IDOK), FALSE);
    EnableWindow(GetDlgItem(hDlg, IDCANCEL), FALSE);
    SetDlgItemTextA(hDlg, IDC_BRK_STATE, "Sending break...");
    SetTimer(hDlg, kBreakTimer, dwMs, NULL);
}

void OnBreakOver(HWND hDlg)
{
    KillTimer(hDlg, kBreakTimer);
    ClearCommBreak(gstCommx.m_hComm);
    EndDialog(hDlg, 1);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        OnSend(hDlg);
        return TRUE;
    case IDCANCEL:
        // Esc during the break waits for its end.
        if (IsWindowEnabled(GetDlgItem(hDlg, IDCANCEL))) {
            EndDialog(hDlg, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK fnSendBreakProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    case WM_TIMER:
        OnBreakOver(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR fnSendBreakDialog(HWND hOwner)
{
    if (fnRefusedForFile(hOwner)) {
        return 0;
    }
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_SENDBREAK), hOwner, fnSendBreakProc, 0);
}
