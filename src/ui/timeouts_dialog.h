// The Timeouts dialog (resource 120): edits gstTimeouts; the caller hands the
// committed values to the open port.
#ifndef ZEVRIK_TIMEOUTS_DIALOG_H
#define ZEVRIK_TIMEOUTS_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK TimeoutsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally; 1 when OK committed the values, 0 for Cancel.
INT_PTR fnTimeoutsDialog(HWND hOwner);

#endif
