// The Receive Check window (resource 130): modeless, so the terminal and the
// data job go on while it shows the receive check's figures and the line
// error counters.
#ifndef ZEVRIK_RXCHECK_WINDOW_H
#define ZEVRIK_RXCHECK_WINDOW_H

#include <windows.h>

// Opens the window, or brings the open one to the front.
void fnRxCheckWindowOpen(HWND hOwner);

// For the message loop: TRUE when the message was the window's own.
BOOL fnRxCheckWindowMessage(MSG *pstMsg);

#endif
