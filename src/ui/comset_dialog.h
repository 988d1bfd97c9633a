// COM Set dialog (118): port, baud rate, data bits, parity and stop bits; and
// the User Baudrate dialog (119) for a rate that is not in the list.
#ifndef ZEVRIK_COMSET_DIALOG_H
#define ZEVRIK_COMSET_DIALOG_H

#include <windows.h>

struct UserBaudRecord {
    HWND m_hDlg;
    HWND m_hEdit;
    DWORD m_dwBaud; // handed in by COM Set, handed back on OK
    DWORD m_dwEdit;
};

extern UserBaudRecord gstUserBaud;

// Both end with 1 for OK and 0 for Cancel. COM Set takes the ports found
// present (a PortPresence) as its parameter.
INT_PTR CALLBACK fnComSetProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK fnUserBaudProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
