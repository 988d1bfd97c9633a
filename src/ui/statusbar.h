// Status bar pane (dialog 117): settings summary, modem-line indicators and
// the DTR and RTS switches.
#ifndef ZEVRIK_STATUSBAR_H
#define ZEVRIK_STATUSBAR_H

#include <windows.h>

INT_PTR CALLBACK fnStatusBarProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
