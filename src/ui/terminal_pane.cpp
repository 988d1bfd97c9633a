#include "terminal_pane.h"

#include "echo.h"
#include "resource.h"
#include "settings.h"
#include "window_records.h"

namespace {

const BYTE kCr = 13;
const BYTE kLf = 10;
const COLORREF kOpenBackground = RGB(255, 255, 255);
const COLORREF kClosedBackground = RGB(192, 192, 192);

INT_PTR OnInitDialog(HWND hDlg)
{
    gstTerminal.m_hDlg = hDlg;
    gstTerminal.m_hEdit = GetDlgItem(hDlg, IDC_TERM_EDIT);
    return FALSE;
}

INT_PTR OnSize(LPARAM lParam)
{
    MoveWindow(gstTerminal.m_hEdit, 1, 1, LOWORD(lParam) - 2, HIWORD(lParam) - 2, TRUE);
    return FALSE;
}

INT_PTR OnMouseActivate(HWND hDlg)
{
    SetFocus(gstTerminal.m_hDlg);
    SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, MA_ACTIVATE);
    return TRUE;
}

// The pane keeps the focus itself: the dialog's default handling would pass
// it on to the edit control, which hands it straight back.
INT_PTR OnSetFocus()
{
    return TRUE;
}

// The edit control never keeps the focus, so every key arrives here.
INT_PTR OnCommand(WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_TERM_EDIT && HIWORD(wParam) == EN_SETFOCUS) {
        SetFocus(gstTerminal.m_hDlg);
    }
    return FALSE;
}

INT_PTR OnCtlColorStatic(WPARAM wParam, LPARAM lParam)
{
    if (reinterpret_cast<HWND>(lParam) != gstTerminal.m_hEdit) {
        return FALSE;
    }
    HDC hDc = reinterpret_cast<HDC>(wParam);
    SetTextColor(hDc, gstTerminal.m_stChooseFont.rgbColors);
    if (gstCommx.m_bCommOpen == 1) {
        SetBkColor(hDc, kOpenBackground);
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    SetBkColor(hDc, kClosedBackground);
    return reinterpret_cast<INT_PTR>(GetStockObject(LTGRAY_BRUSH));
}

// TransmitCommChar puts each byte ahead of any transmission under way; the
// echo goes through the receive display like received bytes.
INT_PTR OnChar(WPARAM wParam)
{
    if (gstCommx.m_bCommOpen != 1 || gstTermOpt.m_stCur.m_bKeyboard != 1) {
        return FALSE;
    }
    BYTE abyKey[2];
    const DWORD dwCount = fnKeyBytes(wParam, gstTermOpt.m_stCur.m_nEnterKey, abyKey);
    for (DWORD i = 0; i < dwCount; ++i) {
        TransmitCommChar(gstCommx.m_hComm, static_cast<char>(abyKey[i]));
    }
    if (gstTermOpt.m_stCur.m_bLocalEcho == 1 && dwCount > 0) {
        fnPostEcho(abyKey, dwCount);
    }
    return FALSE;
}

} // namespace

DWORD fnKeyBytes(WPARAM wChar, DWORD nEnterKey, BYTE *pbyOut)
{
    if (wChar != kCr) {
        pbyOut[0] = static_cast<BYTE>(wChar & 0xFF);
        return 1;
    }
    switch (nEnterKey) {
    case 0:
        pbyOut[0] = kCr;
        pbyOut[1] = kLf;
        return 2;
    case 1:
        pbyOut[0] = kCr;
        return 1;
    case 2:
        pbyOut[0] = kLf;
        return 1;
    default:
        return 0;
    }
}

INT_PTR CALLBACK fnTerminalProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_SIZE:
        return OnSize(lParam);
    case WM_MOUSEACTIVATE:
        return OnMouseActivate(hDlg);
    case WM_SETFOCUS:
        return OnSetFocus();
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(wParam, lParam);
    case WM_CHAR:
        return OnChar(wParam);
    default:
        return FALSE;
    }
}
