// Terminal pane (dialog 116): shows the terminal text in the colours of the
// port state and sends typed characters to the port.
#ifndef ZEVRIK_TERMINAL_PANE_H
#define ZEVRIK_TERMINAL_PANE_H

#include <windows.h>

INT_PTR CALLBACK fnTerminalProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The bytes a typed character sends with the given Enter option, in order;
// returns their number (0 to 2).
DWORD fnKeyBytes(WPARAM wChar, DWORD nEnterKey, BYTE *pbyOut);

#endif
