// The Data Transmit Information dialog (resource 126), shown while a data job
// runs: opening it starts the job, and the user's OK, the Esc key or the
// transmit thread's own OK at the repeat count close it.
#ifndef ZEVRIK_TX_INFO_H
#define ZEVRIK_TX_INFO_H

#include <windows.h>

INT_PTR CALLBACK fnTxInfoProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// For the transmit thread once a counted job has reached its repeat count:
// closes hDlg, the dialog that counted the job, as its OK button does, unless
// the user has closed it already. hDlg is the value of gstTxInfo.m_hDlg that
// the thread read when it counted the last packet.
void fnTxInfoEndByThread(HWND hDlg);

#endif
