// The screen of the terminal's history and console view: received bytes go
// into a console screen (console_screen.h) under a lock, and the pane's
// console window (src/ui/console_window.h) draws the lines it shows straight
// from it. The receive thread only feeds the screen; what the user-interface
// thread is told of it goes through the receive display (rx_display.h).
#ifndef ZEVRIK_CONSOLE_VIEW_H
#define ZEVRIK_CONSOLE_VIEW_H

#include <windows.h>

#include "console_screen.h"
#include "settings_data.h"

// 0 when the options ask for the classic text; otherwise a value that
// changes with every option the view is built on.
DWORD fnViewKey(const TermOptBlock &stOpt);

// Empty screen for these options.
void fnViewReset(const TermOptBlock &stOpt);
// Empty screen made for the options it was last reset with.
void fnViewEmpty();

// Adds a block; echoed keys get no time stamp.
void fnViewBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho);

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
