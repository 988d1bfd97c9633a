// Opening, re-configuring and closing the serial port. All run on the
// user-interface thread and report their own failures with a message box.
#ifndef ZEVRIK_PORT_H
#define ZEVRIK_PORT_H

#include <windows.h>

// Result codes of fnOpenPort: 0 success, else the number of the failed step.
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

int fnOpenPort(HWND hOwner);
// The steps of an opening; without bReport a failed step shows no box.
int fnOpenSteps(HWND hOwner, BOOL bReport);
// Closes the handle and ends the workers' session; FALSE if the close failed.
BOOL fnEndSession();
int fnApplyPortSettings(HWND hOwner);
int fnApplyFlowControl(HWND hOwner);
int fnClosePort(HWND hOwner);

#endif
