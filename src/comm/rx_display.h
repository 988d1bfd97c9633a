// The receive display: what the terminal shows of the received bytes, kept
// here and told to the user-interface thread. The classic text (the last
// ~2 KB, line ends translated or HEX pairs) lives under a lock of its own, the
// history and console screen under its own (console_view.h). The receive
// thread changes them and sends kWmDisplayChanged to the window set with
// fnDisplaySetWindow without waiting for it (or has the classic writer,
// fnDisplaySetWriter, serve it), at most one at a time; the one told takes
// the notice before it reads what changed (src/ui/terminal_display.h), so no
// change is lost.
//
// Under Wine a rewrite of the classic edit control takes ~50 ms, so while
// bytes keep coming the control is rewritten at most once per
// kShowIntervalMs from the end of its last rewrite, and as soon as they
// pause; the receive thread reads on once the rewrite is done. The history
// and console view is told of the blocks that its next paint would not draw
// anyway, at most once per frame of a few milliseconds.
#ifndef ZEVRIK_RX_DISPLAY_H
#define ZEVRIK_RX_DISPLAY_H

#include <windows.h>

#include "settings_data.h"

const int kDisplayTextChars = 8000;
const UINT kWmDisplayChanged = WM_APP + 3; // WM_APP + 2 is the loss report

// ---- the receive thread --------------------------------------------------

// Empty text, nothing kept back; the pane shows an empty terminal already.
// The next block makes the view its options ask for.
void fnDisplayReset();

// Adds a block of received (or echoed, bEcho) bytes as the options say; with
// options that make another view than the text was made with, it starts
// afresh in the view they make.
void fnDisplayBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho = FALSE);

// Empties the text and the screen, and tells the pane at once.
void fnDisplayClear();

// A change the pane has not been told of yet.
BOOL fnDisplayOwed();

// Tells the pane of what changed: once it has served the last notice (the
// bytes paused), at once (the thread stops showing, for a message or for
// good), or only when the classic control may be rewritten again (the bytes
// keep coming). While bytes keep coming in small blocks, the history and
// console view is told once the bytes paused only when its frame has passed.
void fnDisplayShow();
void fnDisplayShowNow();
void fnDisplayShowIfDue();

// ---- the terminal options ----------------------------------------------

// The user-interface thread hands gstTermOpt.m_stCur over after each change,
// and each opening before its workers start; the receive thread works with
// this copy.
void fnDisplaySetOptions(const TermOptBlock &stOpt);
TermOptBlock fnDisplayOptions();

// ---- the user-interface thread ------------------------------------------

// Notices go to hWnd from now on.
void fnDisplaySetWindow(HWND hWnd);
// A change of the classic text is served by the writer, called in the
// receive thread as the window would serve it (taken, rewritten, done), and
// told to the window only when it must show the classic view: under Wine a rewrite of the control made from
// another thread than its own leaves that thread free to answer meanwhile,
// one made in it does not.
typedef void (*DisplayWrite)();
void fnDisplaySetWriter(DisplayWrite pfnWrite);

// Taken first on a notice: a change from now on sends a new one.
void fnDisplayNoticeTaken();
// The view to show: 0 for the classic text, otherwise the history and console
// view made with the options of that fnViewKey.
DWORD fnDisplayShownKey();
// Copies the classic text into pch (dwRoom characters with the terminator)
// when it changed since *pdwSerial, which it then updates; FALSE otherwise.
BOOL fnDisplayTextSince(DWORD *pdwSerial, char *pch, DWORD dwRoom);
// The notice is served; bRewritten: a text was written to the classic control,
// so the next rewrite waits its interval.
void fnDisplayNoticeDone(BOOL bRewritten);

// The history view is invalidated; its paint has begun (and reads the screen
// after this call). Blocks fed in between are drawn by that paint.
void fnDisplayPaintOwed();
void fnDisplayPainting();

// Terminal Option chose another view, shown at once; the receive thread
// starts it anew with the next block.
void fnDisplayShowView(DWORD dwKey);
// COM Close: empties the text and the screen.
void fnDisplayEmpty();

#endif
