// The COM Information dialog (resource 123): the port's DCB, time-outs and
// properties as text, from the copies held in gstCommx. Reads only.
#ifndef ZEVRIK_COMINFO_DIALOG_H
#define ZEVRIK_COMINFO_DIALOG_H

#include <windows.h>

struct ComInfoRecord {
    HWND m_hDlg;
    HWND m_hSelect; // 1030
    HWND m_hText;   // 1031
    LONG m_nSel;    // 0 DCB, 1 COMMTIMEOUTS, 2 COMMPROP; kept between openings
    char m_aachSel[3][32];
    ComInfoRecord();
};

extern ComInfoRecord gstComInfo;

INT_PTR CALLBACK ComInfoDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally; 1 for OK, 0 for Escape.
INT_PTR fnComInfoDialog(HWND hOwner);

#endif
