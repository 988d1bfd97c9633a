// File transfers: the direction dialog (resource 127), the file choosers, the
// opening of the file and the two progress dialogs, File Transmit (128) and
// File Receive (129), while the worker threads move the bytes.
#ifndef ZEVRIK_FILE_TRANSFER_H
#define ZEVRIK_FILE_TRANSFER_H

#include <windows.h>

// The direction record.
struct FileDirRecord {
    HWND m_hDlg;
    HWND m_hTransmit;  // radio 1027
    HWND m_hReceive;   // radio 1028
    LONG m_nDirection; // committed: 0 transmit, 1 receive
    LONG m_nEditDirection;
};

extern FileDirRecord gstFileDir;

// Seconds without received data after which a reception ends by itself.
const DWORD kRxIdleSeconds = 30;

// Results of fnOpenAndStartFile.
const int kFileJobRan = 0;
const int kFileJobCancelled = 1;
const int kFileJobOpenFailed = 2;
const int kFileJobTooLarge = 3;

INT_PTR CALLBACK fnFileDirProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK fnFileTxProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK fnFileRxProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Fills both file choosers' records with hOwner as their owner.
void fnPrepareFileDialogs(HWND hOwner);

// Lets the user choose the file for the committed direction, opens it and
// runs the job's progress dialog until the job has ended.
int fnOpenAndStartFile(HWND hMain);

#endif
