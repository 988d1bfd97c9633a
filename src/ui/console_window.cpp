#include "console_window.h"

#include <cstring>

#include "console_view.h"
#include "resource.h"
#include "settings.h"
#include "window_records.h"

namespace {

const char kClassName[] = "ZevrikConsoleView";
const int kMargin = 2;
const int kWheelLines = 3;
const COLORREF kOpenBackground = RGB(255, 255, 255);
const COLORREF kClosedBackground = RGB(192, 192, 192);

// The first line shown, and whether the view follows the newest line.
DWORD gdwTop;
BOOL gbPinned = TRUE;
char gachLine[kViewLineChars];

// The edit control's font, the one the user chose for the terminal.
HGDIOBJ fnFont()
{
    return reinterpret_cast<HGDIOBJ>(SendMessageA(gstTerminal.m_hEdit, WM_GETFONT, 0, 0));
}

int fnLineHeight(HDC hDc)
{
    TEXTMETRICA stTm;
    GetTextMetricsA(hDc, &stTm);
    return stTm.tmHeight > 0 ? stTm.tmHeight : 1;
}

DWORD fnRowsShown(HWND hWnd)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    HDC hDc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hDc, fnFont());
    const int iRows = (rc.bottom - kMargin) / fnLineHeight(hDc);
    SelectObject(hDc, hOld);
    ReleaseDC(hWnd, hDc);
    return iRows > 1 ? static_cast<DWORD>(iRows) : 1;
}

// Screen lock held.
void fnPlaceTop(DWORD dwLines, DWORD dwRows)
{
    const DWORD dwLast = dwLines > dwRows ? dwLines - dwRows : 0;
    if (gbPinned || gdwTop > dwLast) {
        gdwTop = dwLast;
    }
}

void fnSetScrollBar(HWND hWnd, DWORD dwLines, DWORD dwRows)
{
    SCROLLINFO stSi = {};
    stSi.cbSize = sizeof stSi;
    stSi.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    stSi.nMax = dwLines > 0 ? static_cast<int>(dwLines - 1) : 0;
    stSi.nPage = dwRows;
    stSi.nPos = static_cast<int>(gdwTop);
    SetScrollInfo(hWnd, SB_VERT, &stSi, TRUE);
}

void fnPaintRows(HDC hDc, const RECT &rcClient, DWORD dwLines)
{
    const int iHeight = fnLineHeight(hDc);
    RECT rcRow = rcClient;
    rcRow.top = 0;
    for (DWORD dwIndex = gdwTop; rcRow.top < rcClient.bottom; ++dwIndex) {
        rcRow.bottom = rcRow.top + iHeight;
        const DWORD dwLen = dwIndex < dwLines ? fnViewLineText(dwIndex, gachLine) : 0;
        ExtTextOutA(hDc, kMargin, rcRow.top, ETO_OPAQUE, &rcRow, gachLine, dwLen, NULL);
        rcRow.top = rcRow.bottom;
    }
}

LRESULT OnPaint(HWND hWnd)
{
    fnViewPainting();
    const DWORD dwRows = fnRowsShown(hWnd);
    PAINTSTRUCT stPs;
    HDC hDc = BeginPaint(hWnd, &stPs);
    RECT rc;
    GetClientRect(hWnd, &rc);
    HGDIOBJ hOld = SelectObject(hDc, fnFont());
    SetTextColor(hDc, gstTerminal.m_stChooseFont.rgbColors);
    SetBkColor(hDc, gstCommx.m_bCommOpen == 1 ? kOpenBackground : kClosedBackground);
    fnViewLock();
    const DWORD dwLines = fnViewLines();
    fnPlaceTop(dwLines, dwRows);
    fnPaintRows(hDc, rc, dwLines);
    fnViewUnlock();
    SelectObject(hDc, hOld);
    EndPaint(hWnd, &stPs);
    fnSetScrollBar(hWnd, dwLines, dwRows);
    return 0;
}

// Shows lTop first, within the kept lines; at the bottom the view follows
// the newest line again.
void fnScrollTo(HWND hWnd, long lTop)
{
    const DWORD dwRows = fnRowsShown(hWnd);
    fnViewLock();
    const DWORD dwLines = fnViewLines();
    fnViewUnlock();
    const long lLast = dwLines > dwRows ? static_cast<long>(dwLines - dwRows) : 0;
    lTop = lTop < 0 ? 0 : (lTop > lLast ? lLast : lTop);
    gdwTop = static_cast<DWORD>(lTop);
    gbPinned = lTop == lLast;
    InvalidateRect(hWnd, NULL, FALSE);
}

LRESULT OnVScroll(HWND hWnd, WPARAM wParam)
{
    const long lTop = static_cast<long>(gdwTop);
    const long lPage = static_cast<long>(fnRowsShown(hWnd));
    SCROLLINFO stSi = {};
    stSi.cbSize = sizeof stSi;
    stSi.fMask = SIF_TRACKPOS;
    GetScrollInfo(hWnd, SB_VERT, &stSi);
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        fnScrollTo(hWnd, lTop - 1);
        break;
    case SB_LINEDOWN:
        fnScrollTo(hWnd, lTop + 1);
        break;
    case SB_PAGEUP:
        fnScrollTo(hWnd, lTop - lPage);
        break;
    case SB_PAGEDOWN:
        fnScrollTo(hWnd, lTop + lPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        fnScrollTo(hWnd, stSi.nTrackPos);
        break;
    case SB_TOP:
        fnScrollTo(hWnd, 0);
        break;
    case SB_BOTTOM:
        fnScrollTo(hWnd, 0x7fffffffL);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT OnMouseWheel(HWND hWnd, WPARAM wParam)
{
    const int iNotches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    fnScrollTo(hWnd, static_cast<long>(gdwTop) - iNotches * kWheelLines);
    return 0;
}

// The whole text, lines joined by CR LF, into pch (room for dwRoom
// characters, none when pch is NULL); returns its length.
DWORD fnWholeText(char *pch, DWORD dwRoom)
{
    DWORD dwLen = 0;
    fnViewLock();
    const DWORD dwLines = fnViewLines();
    for (DWORD i = 0; i < dwLines; ++i) {
        DWORD dwLine = fnViewLineText(i, gachLine + 2);
        char *pchFrom = gachLine + 2;
        if (i > 0) {
            pchFrom = gachLine;
            pchFrom[0] = '\r';
            pchFrom[1] = '\n';
            dwLine += 2;
        }
        if (pch != NULL) {
            const DWORD dwCopy = dwRoom - dwLen < dwLine ? dwRoom - dwLen : dwLine;
            std::memcpy(pch + dwLen, pchFrom, dwCopy);
        }
        dwLen += dwLine;
        if (pch != NULL && dwLen >= dwRoom) {
            dwLen = dwRoom;
            break;
        }
    }
    fnViewUnlock();
    return dwLen;
}

LRESULT OnGetText(WPARAM wParam, LPARAM lParam)
{
    char *pch = reinterpret_cast<char *>(lParam);
    if (wParam == 0 || pch == NULL) {
        return 0;
    }
    const DWORD dwLen = fnWholeText(pch, static_cast<DWORD>(wParam - 1));
    pch[dwLen] = '\0';
    return dwLen;
}

// The clipboard takes its text in global memory of its own.
LRESULT OnCopy(HWND hWnd)
{
    const DWORD dwLen = fnWholeText(NULL, 0);
    HGLOBAL hMem = GlobalAlloc(GMEM_MOVEABLE, dwLen + 1);
    if (hMem == NULL) {
        return 0;
    }
    char *pch = static_cast<char *>(GlobalLock(hMem));
    const DWORD dwGot = fnWholeText(pch, dwLen);
    pch[dwGot] = '\0';
    GlobalUnlock(hMem);
    if (!OpenClipboard(hWnd)) {
        GlobalFree(hMem);
        return 0;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, hMem) == NULL) {
        GlobalFree(hMem);
    }
    CloseClipboard();
    return 0;
}

// Keys go to the pane, which keeps the focus, as with the edit control.
LRESULT OnMouseDown()
{
    SetFocus(gstTerminal.m_hDlg);
    return 0;
}

LRESULT CALLBACK fnConsoleWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT:
        return OnPaint(hWnd);
    case WM_ERASEBKGND:
        return 1;
    case WM_VSCROLL:
        return OnVScroll(hWnd, wParam);
    case WM_MOUSEWHEEL:
        return OnMouseWheel(hWnd, wParam);
    case WM_GETTEXTLENGTH:
        return fnWholeText(NULL, 0);
    case WM_GETTEXT:
        return OnGetText(wParam, lParam);
    case WM_SETTEXT:
        return TRUE;
    case WM_COPY:
        return OnCopy(hWnd);
    case WM_LBUTTONDOWN:
        return OnMouseDown();
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

HWND fnCreateConsoleWindow(HWND hPane)
{
    WNDCLASSA stClass = {};
    stClass.lpfnWndProc = fnConsoleWndProc;
    stClass.hInstance = GetModuleHandleA(NULL);
    stClass.hCursor = LoadCursorA(NULL, IDC_IBEAM);
    stClass.lpszClassName = kClassName;
    RegisterClassA(&stClass);
    return CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, "", WS_CHILD | WS_VSCROLL, 0, 0, 0, 0, hPane,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TERM_VIEW)), stClass.hInstance,
                           NULL);
}
