// The Terminal Option dialog (resource 124): edits gstTermOpt and, on OK,
// brings the window state (the toolbar's display buttons among it) in step.
#ifndef ZEVRIK_TERMOPT_DIALOG_H
#define ZEVRIK_TERMOPT_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK TermOptDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally; 1 when OK committed the options, 0 for Cancel.
INT_PTR fnTermOptDialog(HWND hOwner);

#endif
