// The window of the history and console view: it draws the visible lines
// straight from the console screen, scrolls, and gives its whole text to
// WM_GETTEXT and WM_COPY.
#ifndef ZEVRIK_CONSOLE_WINDOW_H
#define ZEVRIK_CONSOLE_WINDOW_H

#include <windows.h>

// Made hidden, as a child of the terminal pane.
HWND fnCreateConsoleWindow(HWND hPane);

// Gives the console screen the view's client area in whole characters of
// the terminal's font when the options ask the console to follow it, else
// 80 x 24; the view also does so whenever its size changes.
void fnConsoleWindowFit(HWND hWnd);

#endif
