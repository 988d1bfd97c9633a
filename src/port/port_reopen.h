// Reopening a lost port when its device returns, with the COM Set choice on:
// the main window hands in the one loss report of an opening and its timer;
// a new opening or COM Close ends the wait.
#ifndef ZEVRIK_PORT_REOPEN_H
#define ZEVRIK_PORT_REOPEN_H

#include <windows.h>

const UINT_PTR kReopenTimerId = 17;

// Loss reports are posted to hWnd from now on.
void fnReopenAttach(HWND hWnd);
void fnReopenOnLoss(HWND hWnd, DWORD dwSession);
void fnReopenOnTimer();
// Ends a wait; TRUE when one was on.
BOOL fnReopenCancel();

#endif
