// The history and console view of the terminal pane: received bytes go into
// a console screen (console_screen.h), and the pane's console window
// (src/ui/console_window.h) draws the lines it shows straight from it. The
// receive thread only feeds the screen and marks the window for painting.
#ifndef ZEVRIK_CONSOLE_VIEW_H
#define ZEVRIK_CONSOLE_VIEW_H

#include <windows.h>

#include "console_screen.h"
#include "settings_data.h"

// Once, before any other call.
void fnViewInit();

// 0 when the options ask for the classic text; otherwise a value that
// changes with every option the view is built on.
DWORD fnViewKey(const TermOptBlock &stOpt);

// Empty screen for these options, shown in the console window.
void fnViewReset(const TermOptBlock &stOpt);

// The pane shows the console window (TRUE) or the classic edit control.
void fnViewShow(BOOL bShow);

// Adds a block; echoed keys get no time stamp.
void fnViewBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho);

// Marks the console window for painting.
void fnViewWrite();
// The window starts a paint: the next block marks it again.
void fnViewPainting();

// The window reads the screen between these two calls.
void fnViewLock();
void fnViewUnlock();
// The number of the oldest kept line, and how many are kept.
ULONGLONG fnViewFirst();
DWORD fnViewLines();
// Line qwLine: at most kViewLineChars characters, no terminator.
DWORD fnViewLineText(ULONGLONG qwLine, char *pch);
// As fnScreenSelection.
BOOL fnViewSelection(ScreenPos &stFrom, ScreenPos &stTo);
// As fnScreenText.
DWORD fnViewText(ScreenPos stFrom, ScreenPos stTo, char *pch, DWORD dwRoom);

const DWORD kViewLineChars = kLineTextMax;

#endif
