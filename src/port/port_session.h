// The steps of an opening and the end of a session, shared by the user's
// opening and closing (port.h) and the reopening of a lost port
// (port_reopen.h). All run on the user-interface thread.
#ifndef ZEVRIK_PORT_SESSION_H
#define ZEVRIK_PORT_SESSION_H

#include <windows.h>

// Result codes of an opening: 0 success, else the number of the failed step.
const int kOpenOk = 0;
const int kOpenCreateFile = 1;
const int kOpenGetCommState = 2;
const int kOpenGetCommTimeouts = 3;
const int kOpenGetCommProperties = 4;
const int kOpenSetCommState = 5;
const int kOpenSetCommTimeouts = 6;
const int kOpenSetupComm = 7;
const int kOpenTxThread = 8;
const int kOpenRxThread = 9;
const int kOpenStatusThread = 10;
const int kOpenSetCommMask = 11;

// The steps of an opening; without bReport a failed step shows no box.
int fnOpenSteps(HWND hOwner, BOOL bReport);
// Closes the handle and ends the workers' session; FALSE if the close failed.
BOOL fnEndSession();
// Keeps what the driver made of the line just set, for the status summary.
void fnReadBack(HANDLE hComm);

#endif
