// Main window procedure: creates and lays out the three panes, forwards typed
// characters to the terminal pane and asks before closing an open port.
#include "main_window.h"

#include "commands.h"
#include "csi_file.h"
#include "port.h"
#include "port_reopen.h"
#include "resource.h"
#include "settings.h"
#include "statusbar.h"
#include "terminal_pane.h"
#include "toolbar.h"
#include "ui_state.h"
#include "window_records.h"
#include "worker_sync.h"

const char kMainClassName[] = "ProgName";
const char kMainTitle[] = "ZEVRIK";

MainWndRecord::MainWndRecord()
    : m_hWnd(), m_stWndClass(), m_stMsg(), m_iScreenWidth(), m_iScreenHeight(), m_iPosX(), m_iPosY(),
      m_bShowToolbar(1), m_lClientSize()
{
}

MainWndRecord gstMainWnd;

namespace {

const int kMinTrackHeight = 240;
const int kMargin = 2;
const int kToolbarHeight = 34;
const int kStatusBarHeight = 27;

HWND fnCreatePane(HWND hParent, int iDialogId, DLGPROC pfnProc)
{
    return CreateDialogParamA(ghInstance, MAKEINTRESOURCEA(iDialogId), hParent, pfnProc, 0);
}

LRESULT OnCreate(HWND hWnd)
{
    ghMainMenu = GetMenu(hWnd);
    gstToolbar.m_hDlg = fnCreatePane(hWnd, IDD_TOOLBAR, fnToolbarProc);
    gstTerminal.m_hDlg = fnCreatePane(hWnd, IDD_TERMINAL, fnTerminalProc);
    gstStatusBar.m_hDlg = fnCreatePane(hWnd, IDD_STATUSBAR, fnStatusBarProc);
    fnCsiInit(gstToolbar.m_hDlg, &gstComSet, &gstTimeouts, &gstFlowCtrl, &gstTermOpt, &gstDataTrans);
    fnReopenAttach(hWnd);
    fnRebuildCommx();
    fnUiRefresh(gstCommx.m_bCommOpen);
    return 0;
}

// With the toolbar hidden it keeps its place at height 0 and the terminal
// pane moves up into it; the terminal always ends one margin above the
// status bar.
LRESULT OnSize(LPARAM lParam)
{
    const int iWidth = LOWORD(lParam);
    const int iHeight = HIWORD(lParam);
    gstMainWnd.m_lClientSize = lParam;
    CheckMenuItem(ghMainMenu, IDM_TOOLBAR,
                  MF_BYCOMMAND | (gstMainWnd.m_bShowToolbar ? MF_CHECKED : MF_UNCHECKED));
    const int iPaneWidth = iWidth - 2 * kMargin;
    const int iToolbarHeight = gstMainWnd.m_bShowToolbar ? kToolbarHeight : 0;
    const int iTerminalTop = gstMainWnd.m_bShowToolbar ? kMargin + kToolbarHeight + kMargin : kMargin;
    const int iStatusTop = iHeight - kMargin - kStatusBarHeight;
    MoveWindow(gstToolbar.m_hDlg, kMargin, kMargin, iPaneWidth, iToolbarHeight, TRUE);
    MoveWindow(gstTerminal.m_hDlg, kMargin, iTerminalTop, iPaneWidth, iStatusTop - kMargin - iTerminalTop,
               TRUE);
    MoveWindow(gstStatusBar.m_hDlg, kMargin, iStatusTop, iPaneWidth, kStatusBarHeight, TRUE);
    return 0;
}

LRESULT OnPaint(HWND hWnd)
{
    PAINTSTRUCT stPaint;
    BeginPaint(hWnd, &stPaint);
    EndPaint(hWnd, &stPaint);
    return 0;
}

LRESULT OnClose(HWND hWnd)
{
    if (gstCommx.m_bCommOpen == 1) {
        char achQuestion[96];
        wsprintfA(achQuestion, "Do you want to close %s ?", gstCommx.m_achCurCommNumShort);
        if (MessageBoxA(hWnd, achQuestion, gstCommx.m_achCurCommNumShort, MB_YESNO) != IDYES) {
            return 0;
        }
        if (fnClosePort(hWnd) == 0) {
            fnUiRefresh(gstCommx.m_bCommOpen);
        }
    }
    DestroyWindow(hWnd);
    return 0;
}

LRESULT OnGetMinMaxInfo(LPARAM lParam)
{
    MINMAXINFO *pstInfo = reinterpret_cast<MINMAXINFO *>(lParam);
    pstInfo->ptMinTrackSize.y = kMinTrackHeight;
    return 0;
}

// The terminal pane transmits the character; the focus moves there so that
// the following keys reach it directly.
LRESULT OnChar(WPARAM wParam, LPARAM lParam)
{
    SetFocus(gstTerminal.m_hEdit);
    SendMessageA(gstTerminal.m_hDlg, WM_CHAR, wParam, lParam);
    return 0;
}

// In console mode the cursor keys also belong to the terminal pane.
LRESULT OnKeyDown(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    if (gstTermOpt.m_stCur.m_bConsole != 1) {
        return DefWindowProcA(hWnd, WM_KEYDOWN, wParam, lParam);
    }
    SetFocus(gstTerminal.m_hEdit);
    SendMessageA(gstTerminal.m_hDlg, WM_KEYDOWN, wParam, lParam);
    return 0;
}

LRESULT OnTimer(WPARAM wParam)
{
    if (wParam == kReopenTimerId) {
        fnReopenOnTimer();
    }
    return 0;
}

} // namespace

LRESULT CALLBACK fnMainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate(hWnd);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        return OnSize(lParam);
    case WM_PAINT:
        return OnPaint(hWnd);
    case WM_CLOSE:
        return OnClose(hWnd);
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(lParam);
    case WM_CHAR:
        return OnChar(wParam, lParam);
    case WM_KEYDOWN:
        return OnKeyDown(hWnd, wParam, lParam);
    case WM_COMMAND:
        fnDispatchCommand(hWnd, wParam);
        return 0;
    case kWmDeviceLost:
        fnReopenOnLoss(hWnd, static_cast<DWORD>(wParam));
        return 0;
    case WM_TIMER:
        return OnTimer(wParam);
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}
