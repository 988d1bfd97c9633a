// The Flow Control dialog (resource 122): edits gstFlowCtrl with four presets
// and checks the XON and XOFF characters; the caller applies the result.
#ifndef ZEVRIK_FLOW_DIALOG_H
#define ZEVRIK_FLOW_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK FlowCtrlDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally; 1 when OK committed the values, 0 for Cancel.
INT_PTR fnFlowCtrlDialog(HWND hOwner);

#endif
