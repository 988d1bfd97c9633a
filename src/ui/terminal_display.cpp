#include "terminal_display.h"

#include "console_view.h"
#include "console_window.h"
#include "resource.h"
#include "rx_display.h"
#include "window_records.h"

namespace {

// The classic text as the edit control was last given it.
char gachText[kDisplayTextChars];
DWORD gdwTextSerial;

bool fnShowing(HWND hWnd)
{
    return (GetWindowLongA(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void fnShowView(bool bConsole)
{
    HWND hShown = bConsole ? gstTerminal.m_hView : gstTerminal.m_hEdit;
    HWND hHidden = bConsole ? gstTerminal.m_hEdit : gstTerminal.m_hView;
    if (fnShowing(hShown) && !fnShowing(hHidden)) {
        return;
    }
    ShowWindow(hShown, SW_SHOWNA);
    ShowWindow(hHidden, SW_HIDE);
}

// Rewrites the edit control when the text changed; TRUE when a text was
// written. An empty control needs neither its line count nor a scroll. The
// control is painted before the rewrite counts as done, so the interval to
// the next one is the thread's own, for input and dialogs.
BOOL fnRewriteEdit()
{
    if (!fnDisplayTextSince(&gdwTextSerial, gachText, sizeof gachText)) {
        return FALSE;
    }
    SetWindowTextA(gstTerminal.m_hEdit, gachText);
    if (gachText[0] == '\0') {
        return FALSE;
    }
    const LRESULT lLines = SendMessageA(gstTerminal.m_hEdit, EM_GETLINECOUNT, 0, 0);
    SendMessageA(gstTerminal.m_hEdit, EM_LINESCROLL, 0, lLines);
    UpdateWindow(gstTerminal.m_hEdit);
    return TRUE;
}

} // namespace

void fnTerminalViewsInit(HWND hPane)
{
    gstTerminal.m_hEdit = GetDlgItem(hPane, IDC_TERM_EDIT);
    gstTerminal.m_hView = fnCreateConsoleWindow(hPane);
    fnDisplaySetWindow(hPane);
}

// The notice is taken before anything is read, so a change made meanwhile
// sends another. The view paints from the screen when the thread is idle,
// so many blocks make one paint, and the blocks fed until it begins need no
// notice. A view hidden before its paint is invalidated again by the notice
// that shows it.
void fnTerminalShowChanges()
{
    fnDisplayNoticeTaken();
    const DWORD dwKey = fnDisplayShownKey();
    BOOL bRewritten = FALSE;
    if (dwKey == 0) {
        bRewritten = fnRewriteEdit();
    } else {
        fnDisplayPaintOwed();
        InvalidateRect(gstTerminal.m_hView, NULL, FALSE);
    }
    fnShowView(dwKey != 0);
    fnDisplayNoticeDone(bRewritten);
}

// The receive thread then starts the view anew, as for every change.
void fnTerminalChooseView(const TermOptBlock &stNew, const TermOptBlock &stOld)
{
    const DWORD dwKey = fnViewKey(stNew);
    if (dwKey == fnViewKey(stOld)) {
        return;
    }
    if (dwKey != 0) {
        fnViewReset(stNew);
    }
    fnDisplayShowView(dwKey);
    fnTerminalShowChanges();
}

void fnTerminalEmpty()
{
    fnDisplayEmpty();
    fnTerminalShowChanges();
}
