// Choosing a protocol transfer: the protocol row of the File Transfer dialog
// (protocol, Options, the folder a batch is received into) and the Protocol
// Options dialog (resource 160). Protocol "None" leaves File Transfer's raw
// send and capture as they always were.
#ifndef ZEVRIK_XFER_OPTIONS_H
#define ZEVRIK_XFER_OPTIONS_H

#include <windows.h>

#include "xfer_files.h"

// The folder YMODEM and ZMODEM receive into, and auto-start too; it starts as
// the user's Documents folder and lasts while the program runs.
struct XferFolderRecord {
    char m_achFolder[kXferPathChars];
};

extern XferFolderRecord gstXferFolder;

// The protocol row of the File Transfer dialog: filled at its WM_INITDIALOG,
// its buttons' commands, and its commit at OK, which refuses (with a message)
// a folder that does not exist when a batch is to be received.
void fnXferRowInit(HWND hDlg);
BOOL fnXferRowCommand(HWND hDlg, WPARAM wParam);
BOOL fnXferRowCommit(HWND hDlg, LONG nDirection);

// A folder that exists; otherwise FALSE after telling the user.
BOOL fnXferFolderReady(HWND hOwner, const char *pszFolder);

INT_PTR CALLBACK fnXferOptionsProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
