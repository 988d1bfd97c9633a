// The Data Transfer dialog (resource 125): the data pattern, how often to send
// it and the pause between packets; and the copy of the committed pattern into
// the transmit job.
#ifndef ZEVRIK_DATA_TRANSFER_H
#define ZEVRIK_DATA_TRANSFER_H

#include <windows.h>

#include "settings_data.h"

INT_PTR CALLBACK fnDataTransferProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Fills gstCcc.m_stTx.m_stData from gstDataTrans.m_stCur.
void fnBuildTxData();

// The packet of an ASCII, HEX or range pattern (pbyOut: kPatternBytes + 1
// bytes); its length.
ZDWORD fnPatternBytes(const PatternBlock &st, BYTE *pbyOut);

#endif
