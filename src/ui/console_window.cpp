#include "console_window.h"

#include <cstring>

#include "console_view.h"
#include "resource.h"
#include "rx_display.h"
#include "settings.h"
#include "window_records.h"

namespace {

const char kClassName[] = "ZevrikConsoleView";
const int kMargin = 2;
const int kWheelLines = 3;
const COLORREF kOpenBackground = RGB(255, 255, 255);
const COLORREF kClosedBackground = RGB(192, 192, 192);
// While lines stream in, the scroll bar is set at most this often: Wine
// redraws a window's scroll bar with some sixty server calls, which at the
// view's 40 paints a second took half of what the view costs.
const DWORD kScrollBarMs = 100;
const UINT_PTR kScrollBarTimer = 1;

// The number of the first line shown, and whether the view follows the
// newest line.
ULONGLONG gqwTop;
BOOL gbPinned = TRUE;
char gachLine[kViewLineChars];
// What the scroll bar was last set to, and when; whether the user moved
// the view since (his own moves show at once); whether its timer is set.
struct ScrollBarShown {
    SCROLLINFO m_stInfo;
    DWORD m_dwAt;
    bool m_bNow;
    bool m_bArmed;
};
ScrollBarShown gstScrollBar;
// The mouse selection: where the drag started and where it is now.
ScreenPos gstAnchor;
ScreenPos gstCaret;

// The selection in order and on kept lines; false when there is none, its
// lines dropped or the view cleared.
bool fnSelected(ScreenPos &stFrom, ScreenPos &stTo)
{
    stFrom = gstAnchor;
    stTo = gstCaret;
    fnViewLock();
    const BOOL bSelected = fnViewSelection(stFrom, stTo);
    fnViewUnlock();
    return bSelected != FALSE;
}

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

// The client area in whole cells of the font: the average character
// width (a fixed-pitch font's every character), the line height.
void fnCharsShown(HWND hWnd, int &nCols, int &nRows)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    HDC hDc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hDc, fnFont());
    TEXTMETRICA stTm;
    GetTextMetricsA(hDc, &stTm);
    SelectObject(hDc, hOld);
    ReleaseDC(hWnd, hDc);
    fnScreenFit(rc.right - kMargin, rc.bottom - kMargin, stTm.tmAveCharWidth, stTm.tmHeight, nCols, nRows);
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
void fnPlaceTop(ULONGLONG qwFirst, DWORD dwLines, DWORD dwRows)
{
    const ULONGLONG qwLast = qwFirst + (dwLines > dwRows ? dwLines - dwRows : 0);
    if (gbPinned || gqwTop > qwLast) {
        gqwTop = qwLast;
    } else if (gqwTop < qwFirst) {
        gqwTop = qwFirst;
    }
}

// The first line shown, counted from the oldest kept one.
long fnTopIndex()
{
    fnViewLock();
    const ULONGLONG qwFirst = fnViewFirst();
    fnViewUnlock();
    return gqwTop > qwFirst ? static_cast<long>(gqwTop - qwFirst) : 0;
}

bool fnSameScrollBar(const SCROLLINFO &a, const SCROLLINFO &b)
{
    return a.nMax == b.nMax && a.nPage == b.nPage && a.nPos == b.nPos;
}

// Set now when the user moved the view or its last setting is old enough;
// else once that time has come, so the last lines of a stream show in the
// scroll bar too.
void fnSetScrollBar(HWND hWnd, DWORD dwLines, DWORD dwRows)
{
    SCROLLINFO stSi = {};
    stSi.cbSize = sizeof stSi;
    stSi.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    stSi.nMax = dwLines > 0 ? static_cast<int>(dwLines - 1) : 0;
    stSi.nPage = dwRows;
    stSi.nPos = static_cast<int>(fnTopIndex());
    if (fnSameScrollBar(stSi, gstScrollBar.m_stInfo)) {
        return;
    }
    const DWORD dwSince = GetTickCount() - gstScrollBar.m_dwAt;
    if (!gstScrollBar.m_bNow && dwSince < kScrollBarMs) {
        if (!gstScrollBar.m_bArmed) {
            gstScrollBar.m_bArmed = SetTimer(hWnd, kScrollBarTimer, kScrollBarMs - dwSince, NULL) != 0;
        }
        return;
    }
    SetScrollInfo(hWnd, SB_VERT, &stSi, TRUE);
    gstScrollBar.m_stInfo = stSi;
    gstScrollBar.m_dwAt = GetTickCount();
    gstScrollBar.m_bNow = false;
}

// Placed as a paint places it; the lines follow at the next paint.
LRESULT OnTimer(HWND hWnd)
{
    KillTimer(hWnd, kScrollBarTimer);
    gstScrollBar.m_bArmed = false;
    gstScrollBar.m_bNow = true;
    const DWORD dwRows = fnRowsShown(hWnd);
    fnViewLock();
    const DWORD dwLines = fnViewLines();
    fnPlaceTop(fnViewFirst(), dwLines, dwRows);
    fnViewUnlock();
    fnSetScrollBar(hWnd, dwLines, dwRows);
    return 0;
}

// The selected characters of a line drawn over it in the selection colours.
void fnPaintSelected(HDC hDc, int iTop, ULONGLONG qwLine, DWORD dwLen)
{
    ScreenPos stA, stB;
    if (!fnSelected(stA, stB) || qwLine < stA.m_qwLine || qwLine > stB.m_qwLine) {
        return;
    }
    DWORD dwFrom = qwLine == stA.m_qwLine ? stA.m_dwCol : 0;
    DWORD dwTo = qwLine == stB.m_qwLine ? stB.m_dwCol : dwLen;
    dwTo = dwTo < dwLen ? dwTo : dwLen;
    dwFrom = dwFrom < dwTo ? dwFrom : dwTo;
    SIZE stSize = {};
    GetTextExtentPoint32A(hDc, gachLine, static_cast<int>(dwFrom), &stSize);
    const COLORREF rgbText = SetTextColor(hDc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    const COLORREF rgbBack = SetBkColor(hDc, GetSysColor(COLOR_HIGHLIGHT));
    TextOutA(hDc, kMargin + stSize.cx, iTop, gachLine + dwFrom, static_cast<int>(dwTo - dwFrom));
    SetTextColor(hDc, rgbText);
    SetBkColor(hDc, rgbBack);
}

void fnPaintRows(HDC hDc, const RECT &rcClient)
{
    const int iHeight = fnLineHeight(hDc);
    RECT rcRow = rcClient;
    rcRow.top = 0;
    for (ULONGLONG qwLine = gqwTop; rcRow.top < rcClient.bottom; ++qwLine) {
        rcRow.bottom = rcRow.top + iHeight;
        const DWORD dwLen = fnViewLineText(qwLine, gachLine);
        ExtTextOutA(hDc, kMargin, rcRow.top, ETO_OPAQUE, &rcRow, gachLine, dwLen, NULL);
        fnPaintSelected(hDc, rcRow.top, qwLine, dwLen);
        rcRow.top = rcRow.bottom;
    }
}

// The paint owed is cleared once BeginPaint has taken the invalid region and
// before the lines are read under the screen lock: a block fed before is
// drawn by this paint, one fed after is told and invalidates the view anew.
LRESULT OnPaint(HWND hWnd)
{
    const DWORD dwRows = fnRowsShown(hWnd);
    PAINTSTRUCT stPs;
    HDC hDc = BeginPaint(hWnd, &stPs);
    fnDisplayPainting();
    RECT rc;
    GetClientRect(hWnd, &rc);
    HGDIOBJ hOld = SelectObject(hDc, fnFont());
    SetTextColor(hDc, gstTerminal.m_stChooseFont.rgbColors);
    SetBkColor(hDc, gstCommx.m_bCommOpen == 1 ? kOpenBackground : kClosedBackground);
    fnViewLock();
    const DWORD dwLines = fnViewLines();
    fnPlaceTop(fnViewFirst(), dwLines, dwRows);
    fnPaintRows(hDc, rc);
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
    const ULONGLONG qwFirst = fnViewFirst();
    fnViewUnlock();
    const long lLast = dwLines > dwRows ? static_cast<long>(dwLines - dwRows) : 0;
    lTop = lTop < 0 ? 0 : (lTop > lLast ? lLast : lTop);
    gqwTop = qwFirst + static_cast<ULONGLONG>(lTop);
    gbPinned = lTop == lLast;
    gstScrollBar.m_bNow = true;
    InvalidateRect(hWnd, NULL, FALSE);
}

LRESULT OnVScroll(HWND hWnd, WPARAM wParam)
{
    const long lTop = fnTopIndex();
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
    fnScrollTo(hWnd, fnTopIndex() - iNotches * kWheelLines);
    return 0;
}

const ScreenPos kTextStart = {0, 0};
const ScreenPos kTextEnd = {~0ull, 0xffffffffu};

// The text between two places into pch (room for dwRoom characters, none
// when pch is NULL); returns its length.
DWORD fnTextBetween(ScreenPos stFrom, ScreenPos stTo, char *pch, DWORD dwRoom)
{
    fnViewLock();
    const DWORD dwLen = fnViewText(stFrom, stTo, pch, dwRoom);
    fnViewUnlock();
    return dwLen;
}

DWORD fnWholeText(char *pch, DWORD dwRoom)
{
    return fnTextBetween(kTextStart, kTextEnd, pch, dwRoom);
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

// The selection, or everything when none; the clipboard takes its text in
// global memory of its own.
LRESULT OnCopy(HWND hWnd)
{
    ScreenPos stFrom, stTo;
    if (!fnSelected(stFrom, stTo)) {
        stFrom = kTextStart;
        stTo = kTextEnd;
    }
    const DWORD dwLen = fnTextBetween(stFrom, stTo, NULL, 0);
    HGLOBAL hMem = GlobalAlloc(GMEM_MOVEABLE, dwLen + 1);
    if (hMem == NULL) {
        return 0;
    }
    char *pch = static_cast<char *>(GlobalLock(hMem));
    const DWORD dwGot = fnTextBetween(stFrom, stTo, pch, dwLen);
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

// The line and character under a point of the client area.
ScreenPos fnPosAt(HWND hWnd, LPARAM lParam)
{
    const int iX = static_cast<short>(LOWORD(lParam)) - kMargin;
    const int iY = static_cast<short>(HIWORD(lParam));
    HDC hDc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hDc, fnFont());
    ScreenPos stPos = {gqwTop + static_cast<DWORD>(iY > 0 ? iY / fnLineHeight(hDc) : 0), 0};
    fnViewLock();
    const DWORD dwLen = fnViewLineText(stPos.m_qwLine, gachLine);
    fnViewUnlock();
    INT iFit = 0;
    SIZE stSize;
    GetTextExtentExPointA(hDc, gachLine, static_cast<int>(dwLen), iX > 0 ? iX : 0, &iFit, NULL, &stSize);
    stPos.m_dwCol = static_cast<DWORD>(iFit);
    SelectObject(hDc, hOld);
    ReleaseDC(hWnd, hDc);
    return stPos;
}

// Keys go to the pane, which keeps the focus, as with the edit control.
LRESULT OnMouseDown(HWND hWnd, LPARAM lParam)
{
    SetFocus(gstTerminal.m_hDlg);
    SetCapture(hWnd);
    gstAnchor = fnPosAt(hWnd, lParam);
    gstCaret = gstAnchor;
    InvalidateRect(hWnd, NULL, FALSE);
    return 0;
}

LRESULT OnMouseMove(HWND hWnd, LPARAM lParam)
{
    if (GetCapture() == hWnd) {
        gstCaret = fnPosAt(hWnd, lParam);
        InvalidateRect(hWnd, NULL, FALSE);
    }
    return 0;
}

LRESULT OnMouseUp()
{
    ReleaseCapture();
    return 0;
}

LRESULT OnSize(HWND hWnd)
{
    fnConsoleWindowFit(hWnd);
    return 0;
}

LRESULT CALLBACK fnConsoleWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_SIZE:
        return OnSize(hWnd);
    case WM_PAINT:
        return OnPaint(hWnd);
    case WM_TIMER:
        return OnTimer(hWnd);
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
        return OnMouseDown(hWnd, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(hWnd, lParam);
    case WM_LBUTTONUP:
        return OnMouseUp();
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

// A new size repaints the view: rows that left a smaller screen went into
// the history.
void fnConsoleWindowFit(HWND hWnd)
{
    int nCols = kDefaultCols;
    int nRows = kDefaultRows;
    if (gstTermOpt.m_stCur.m_bFollowSize == 1) {
        fnCharsShown(hWnd, nCols, nRows);
    }
    fnViewSetSize(nCols, nRows);
    gstScrollBar.m_bNow = true;
    InvalidateRect(hWnd, NULL, FALSE);
}
