// The Log window (resource 136): modeless, so the terminal goes on while it
// is up. It edits the log's settings, starts and stops the log and shows
// the file being written; closed, it leaves a running log running.
#ifndef ZEVRIK_LOG_WINDOW_H
#define ZEVRIK_LOG_WINDOW_H

#include <windows.h>

// Opens the window, or brings the open one to the front.
void fnLogWindowOpen(HWND hMain);

// For the message loop: TRUE when the message was the window's own.
BOOL fnLogWindowMessage(MSG *pstMsg);

#endif
