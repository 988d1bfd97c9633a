// Terminal pane (dialog 116): shows the terminal text in the colours of the
// port state and sends typed characters to the port.
#ifndef ZEVRIK_TERMINAL_PANE_H
#define ZEVRIK_TERMINAL_PANE_H

#include <windows.h>

INT_PTR CALLBACK fnTerminalProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The bytes a typed character sends with the given Enter option, in order;
// returns their number (0 to 2).
DWORD fnKeyBytes(WPARAM wChar, DWORD nEnterKey, BYTE *pbyOut);

// The same in console mode: Backspace sends DEL (nBackspace 0) or BS (1),
// Enter CR (0), LF (1) or CR LF (2).
DWORD fnConsoleKeyBytes(WPARAM wChar, DWORD nBackspace, DWORD nEnterKey, BYTE *pbyOut);

// Sends the whole sequence of a console's cursor or function key through
// pfnWrite in one call; FALSE for a key that has none.
typedef BOOL (*KeyWriter)(const BYTE *pby, DWORD dwCount);
BOOL fnSendConsoleKey(WPARAM wVk, KeyWriter pfnWrite);

#endif
