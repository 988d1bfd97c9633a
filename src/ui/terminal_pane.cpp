#include "terminal_pane.h"

#include "echo.h"
#include "key_write.h"
#include "log_file.h"
#include "resource.h"
#include "rx_display.h"
#include "settings.h"
#include "terminal_display.h"
#include "window_records.h"

namespace {

const BYTE kCr = 13;
const BYTE kLf = 10;
const COLORREF kOpenBackground = RGB(255, 255, 255);
const COLORREF kClosedBackground = RGB(192, 192, 192);
const BYTE kBs = 8;
const BYTE kDel = 127;
const char kCaption[] = "ZEVRIK";

// What a console's keys send (VT100, with the PC keys as Linux reads them).
struct ConsoleKey {
    WPARAM m_wVk;
    char m_achSeq[5];
};

const ConsoleKey kastConsoleKeys[] = {
    {VK_UP, "\x1b[A"},     {VK_DOWN, "\x1b[B"},  {VK_RIGHT, "\x1b[C"},   {VK_LEFT, "\x1b[D"},
    {VK_HOME, "\x1b[H"},   {VK_END, "\x1b[F"},   {VK_INSERT, "\x1b[2~"}, {VK_DELETE, "\x1b[3~"},
    {VK_PRIOR, "\x1b[5~"}, {VK_NEXT, "\x1b[6~"}, {VK_F1, "\x1bOP"},      {VK_F2, "\x1bOQ"},
    {VK_F3, "\x1bOR"},     {VK_F4, "\x1bOS"},
};

bool fnTyping()
{
    return gstCommx.m_bCommOpen == 1 && gstTermOpt.m_stCur.m_bKeyboard == 1;
}

void fnTransmit(const BYTE *pby, DWORD dwCount)
{
    for (DWORD i = 0; i < dwCount; ++i) {
        if (TransmitCommChar(gstCommx.m_hComm, static_cast<char>(pby[i]))) {
            fnLogSent(pby + i, 1);
        }
    }
}

INT_PTR OnInitDialog(HWND hDlg)
{
    gstTerminal.m_hDlg = hDlg;
    fnTerminalViewsInit(hDlg);
    return FALSE;
}

INT_PTR OnSize(LPARAM lParam)
{
    MoveWindow(gstTerminal.m_hEdit, 1, 1, LOWORD(lParam) - 2, HIWORD(lParam) - 2, TRUE);
    MoveWindow(gstTerminal.m_hView, 1, 1, LOWORD(lParam) - 2, HIWORD(lParam) - 2, TRUE);
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
    if (!fnTyping()) {
        return FALSE;
    }
    const TermOptBlock &stOpt = gstTermOpt.m_stCur;
    BYTE abyKey[2];
    const DWORD dwCount = stOpt.m_bConsole == 1
                              ? fnConsoleKeyBytes(wParam, stOpt.m_nBackspace, stOpt.m_nConsoleEnter, abyKey)
                              : fnKeyBytes(wParam, stOpt.m_nEnterKey, abyKey);
    fnTransmit(abyKey, dwCount);
    if (stOpt.m_bLocalEcho == 1 && dwCount > 0) {
        fnPostEcho(abyKey, dwCount);
    }
    return FALSE;
}

// A sequence not sent is told like the other transmit failures.
BOOL fnWriteToPort(const BYTE *pby, DWORD dwCount)
{
    DWORD dwError = 0;
    if (fnWriteKeys(pby, dwCount, &dwError)) {
        return TRUE;
    }
    char achText[80];
    wsprintfA(achText, "INF043:COM Tx Key Error! the WriteFile() return %d", static_cast<int>(dwError));
    MessageBoxA(gstTerminal.m_hDlg, achText, kCaption, MB_OK);
    return FALSE;
}

// In console mode the cursor and function keys send their sequences; they
// are not echoed, as the far end draws what they do.
INT_PTR OnKeyDown(WPARAM wParam)
{
    if (!fnTyping() || gstTermOpt.m_stCur.m_bConsole != 1) {
        return FALSE;
    }
    return fnSendConsoleKey(wParam, fnWriteToPort);
}

} // namespace

BOOL fnSendConsoleKey(WPARAM wVk, KeyWriter pfnWrite)
{
    for (const ConsoleKey &stKey : kastConsoleKeys) {
        if (stKey.m_wVk == wVk) {
            pfnWrite(reinterpret_cast<const BYTE *>(stKey.m_achSeq),
                     static_cast<DWORD>(lstrlenA(stKey.m_achSeq)));
            return TRUE;
        }
    }
    return FALSE;
}

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

DWORD fnConsoleKeyBytes(WPARAM wChar, DWORD nBackspace, DWORD nEnterKey, BYTE *pbyOut)
{
    if (wChar == kBs) {
        pbyOut[0] = nBackspace == 1 ? kBs : kDel;
        return 1;
    }
    // The console's Enter lists CR, LF, CR LF; the terminal's own lists CR LF, CR, LF.
    const DWORD anEnterKey[] = {1, 2, 0};
    return fnKeyBytes(wChar, nEnterKey < 3 ? anEnterKey[nEnterKey] : 1, pbyOut);
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
    case WM_KEYDOWN:
        return OnKeyDown(wParam);
    case kWmDisplayChanged:
        fnTerminalShowChanges();
        return TRUE;
    default:
        return FALSE;
    }
}
