// A protocol transfer as the user runs it: the file chooser (several files
// for a YMODEM or ZMODEM send, a file name for an XMODEM receive; a batch is
// received into the folder of the File Transfer dialog), the progress dialog
// (resource 161) while the worker runs, and one message at the end.
#ifndef ZEVRIK_XFER_DIALOG_H
#define ZEVRIK_XFER_DIALOG_H

#include <windows.h>

// File Transfer with a protocol chosen; 0 when a transfer ran, otherwise the
// file jobs' codes (file_transfer.h).
int fnRunProtocolTransfer(HWND hMain, BOOL bSend);

// A far sz has started while the terminal was showing what it receives: a
// ZMODEM receive into the folder, when auto-start is on and nothing else
// holds the window.
int fnRunXferAutoStart(HWND hMain);

INT_PTR CALLBACK fnXferProgressProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
