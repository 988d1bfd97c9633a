// Toolbar pane (dialog 115): bitmap buttons that forward menu commands, the
// ASCII/HEX display switch and the receive-enable button, with tool tips.
#ifndef ZEVRIK_TOOLBAR_H
#define ZEVRIK_TOOLBAR_H

#include <windows.h>

INT_PTR CALLBACK fnToolbarProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
