#include "terminal_display.h"

#include "console_view.h"
#include "console_window.h"
#include "resource.h"
#include "rx_display.h"
#include "window_records.h"

namespace {

// The classic text as the edit control was last given it, and the lock of
// whichever thread rewrites it: the receive thread, or this thread when the
// view to show changes.
char gachText[kDisplayTextChars];
DWORD gdwTextSerial;
struct RewriteLock {
    CRITICAL_SECTION m_cs;
    RewriteLock()
    {
        InitializeCriticalSection(&m_cs);
    }
};
RewriteLock gstRewrite;

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

// The window's own thread waits for the receive thread serving sent
// messages, since that thread's rewrite is one, carried over to this thread.
void fnEnterRewrite(bool bWindowThread)
{
    if (!bWindowThread) {
        EnterCriticalSection(&gstRewrite.m_cs);
        return;
    }
    while (!TryEnterCriticalSection(&gstRewrite.m_cs)) {
        MSG stMsg;
        PeekMessageA(&stMsg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 1, QS_SENDMESSAGE);
    }
}

// Rewrites the edit control when the text changed; TRUE when a text was
// written. An empty control needs neither its line count nor a scroll.
BOOL fnRewriteEdit(bool bWindowThread)
{
    fnEnterRewrite(bWindowThread);
    BOOL bWritten = fnDisplayTextSince(&gdwTextSerial, gachText, sizeof gachText);
    if (bWritten) {
        SetWindowTextA(gstTerminal.m_hEdit, gachText);
        bWritten = gachText[0] != '\0';
    }
    if (bWritten) {
        const LRESULT lLines = SendMessageA(gstTerminal.m_hEdit, EM_GETLINECOUNT, 0, 0);
        SendMessageA(gstTerminal.m_hEdit, EM_LINESCROLL, 0, lLines);
    }
    LeaveCriticalSection(&gstRewrite.m_cs);
    return bWritten;
}

// Serves a notice of a changed classic text in the receive thread itself
// (fnDisplaySetWriter says why).
void fnWriteClassic()
{
    fnDisplayNoticeTaken();
    fnDisplayNoticeDone(fnRewriteEdit(false));
}

} // namespace

void fnTerminalViewsInit(HWND hPane)
{
    gstTerminal.m_hEdit = GetDlgItem(hPane, IDC_TERM_EDIT);
    gstTerminal.m_hView = fnCreateConsoleWindow(hPane);
    fnDisplaySetWindow(hPane);
    fnDisplaySetWriter(fnWriteClassic);
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
        bRewritten = fnRewriteEdit(true);
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

void fnTerminalFitConsole()
{
    fnConsoleWindowFit(gstTerminal.m_hView);
}

void fnTerminalEmpty()
{
    fnDisplayEmpty();
    fnTerminalShowChanges();
}
