#include "statusbar.h"

#include "resource.h"
#include "settings.h"
#include "window_records.h"

namespace {

const COLORREF kLineOnColour = RGB(255, 0, 0);
const COLORREF kLineOffColour = RGB(0, 0, 0);
const COLORREF kIndicatorBackground = RGB(255, 255, 255);

INT_PTR OnInitDialog(HWND hDlg)
{
    gstStatusBar.m_hDlg = hDlg;
    gstStatusBar.m_hSummary = GetDlgItem(hDlg, IDC_SB_SUMMARY);
    gstStatusBar.m_hDsr = GetDlgItem(hDlg, IDC_SB_DSR);
    gstStatusBar.m_hCts = GetDlgItem(hDlg, IDC_SB_CTS);
    gstStatusBar.m_hRi = GetDlgItem(hDlg, IDC_SB_RI);
    gstStatusBar.m_hDcd = GetDlgItem(hDlg, IDC_SB_DCD);
    gstStatusBar.m_hDtr = GetDlgItem(hDlg, IDC_SB_DTR);
    gstStatusBar.m_hRts = GetDlgItem(hDlg, IDC_SB_RTS);
    return FALSE;
}

// A switch's state follows its button; the line follows the state.
LONG fnReadSwitch(HWND hButton, HANDLE hComm, DWORD dwSet, DWORD dwClear)
{
    const LONG bOn = SendMessageA(hButton, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    EscapeCommFunction(hComm, bOn ? dwSet : dwClear);
    return bOn;
}

INT_PTR OnCommand(WPARAM wParam)
{
    switch (wParam) {
    case IDC_SB_DTR:
        gstStatusBar.m_bDtr = fnReadSwitch(gstStatusBar.m_hDtr, gstCommx.m_hComm, SETDTR, CLRDTR);
        break;
    case IDC_SB_RTS:
        gstStatusBar.m_bRts = fnReadSwitch(gstStatusBar.m_hRts, gstCommx.m_hComm, SETRTS, CLRRTS);
        break;
    default:
        break;
    }
    return FALSE;
}

// The line state of an indicator control, or NULL for any other control.
volatile LONG *fnIndicatorState(HWND hControl)
{
    if (hControl == gstStatusBar.m_hDsr) {
        return &gstStatusBar.m_bDsr;
    }
    if (hControl == gstStatusBar.m_hCts) {
        return &gstStatusBar.m_bCts;
    }
    if (hControl == gstStatusBar.m_hRi) {
        return &gstStatusBar.m_bRi;
    }
    if (hControl == gstStatusBar.m_hDcd) {
        return &gstStatusBar.m_bDcd;
    }
    return NULL;
}

INT_PTR OnCtlColorStatic(WPARAM wParam, LPARAM lParam)
{
    HDC hDc = reinterpret_cast<HDC>(wParam);
    gstStatusBar.m_hDc = hDc;
    volatile LONG *pbLine = fnIndicatorState(reinterpret_cast<HWND>(lParam));
    if (pbLine != NULL) {
        SetTextColor(hDc, *pbLine == 1 ? kLineOnColour : kLineOffColour);
        SetBkColor(hDc, kIndicatorBackground);
    }
    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

// Decided here, on the thread that also closes the port: an indicator is
// coloured only while the port is open.
INT_PTR OnLineChanged(WPARAM wParam)
{
    const HWND hIndicator = reinterpret_cast<HWND>(wParam);
    if (fnIndicatorState(hIndicator) != NULL) {
        EnableWindow(hIndicator, gstCommx.m_bCommOpen != 0);
        InvalidateRect(hIndicator, NULL, TRUE);
    }
    return TRUE;
}

} // namespace

INT_PTR CALLBACK fnStatusBarProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(wParam, lParam);
    case kSbLineChanged:
        return OnLineChanged(wParam);
    default:
        return FALSE;
    }
}
