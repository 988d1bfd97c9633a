// The five settings records and the port-settings record gstCommx.
#ifndef ZEVRIK_SETTINGS_H
#define ZEVRIK_SETTINGS_H

#include <windows.h>

#include "line_held.h"
#include "settings_data.h"

// Each record begins with the window handles of its dialog, valid only while
// that dialog is shown.
struct ComSetHandles {
    HWND m_hDlg;
    HWND m_hPortList, m_hBaudList, m_hDataBitsList, m_hParityList, m_hStopBitsList;
    HWND m_hUserBaudButton, m_hUserBaudText;
};
struct ComSetRecord : ComSetHandles, ComSetData {
    ComSetRecord() : ComSetHandles() {}
};

struct FlowCtrlHandles {
    HWND m_hDlg;
    HWND m_ahCtl[16]; // 1037, 1013 to 1017, 1038 to 1044, 4, 5, 6
};
struct FlowCtrlRecord : FlowCtrlHandles, FlowCtrlData {
    FlowCtrlRecord() : FlowCtrlHandles() {}
};

struct TimeoutsHandles {
    HWND m_hDlg;
    HWND m_ahBox[5]; // 1032 to 1036
    HWND m_hDefault;
};
struct TimeoutsRecord : TimeoutsHandles, TimeoutsData {
    TimeoutsRecord() : TimeoutsHandles() {}
};

struct TermOptHandles {
    HWND m_hDlg;
    HWND m_ahCtl[7]; // 1013, 1012, 1020, 1027, 1028, 1021, 1022
};
struct TermOptRecord : TermOptHandles, TermOptData {
    TermOptRecord() : TermOptHandles() {}
};

struct DataTransHandles {
    HWND m_hDlg;
    HWND m_ahCtl[11]; // 1045, 1046, 1029, 1030, 1031, 1047, 1003 to 1007
};
struct DataTransRecord : DataTransHandles, DataTransData {
    DataTransRecord() : DataTransHandles() {}
};

extern ComSetRecord gstComSet;
extern FlowCtrlRecord gstFlowCtrl;
extern TimeoutsRecord gstTimeouts;
extern TermOptRecord gstTermOpt;
extern DataTransRecord gstDataTrans;

const int kInfoLines = 51;
const int kInfoLineChars = 48; // a formatted line needs at most 43
const int kInfoTextChars = 2042;

// The serial port as the system sees it.
struct CommxRecord {
    HANDLE m_hComm;
    char m_achCurCommNum[32];
    char m_achCurCommNumShort[32];
    volatile LONG m_bCommOpen;
    char m_aachInfoLine[kInfoLines][kInfoLineChars];
    char m_achDcbInfo[kInfoTextChars];
    char m_achTimeoutsInfo[kInfoTextChars];
    char m_achCommPropInfo[kInfoTextChars];
    DCB m_stDcb;
    COMMTIMEOUTS m_stTimeouts;
    COMMPROP m_stCommProp;
    // Number of the current opening; bumped by every close, so that worker
    // threads of an earlier opening never touch the port or the events of a
    // later one.
    volatile DWORD m_dwSession;
    // What the driver reported back after the line was last set.
    LineFormat m_stHeld;
    LONG m_bHeldKnown;
    // 1 while a lost port waits for its device to return (port closed).
    LONG m_bWaiting;
    // 1 when the current opening is a reopening after a loss: the terminal
    // keeps what it shows, and what the user was told at the opening is not
    // told again. Set before the workers of the opening start.
    volatile LONG m_bReopened;
    CommxRecord();
};

extern CommxRecord gstCommx;

// Derives names, DCB fields and time-outs of gstCommx from the committed
// port, flow-control and time-out settings. Never touches the port.
void fnRebuildCommx();

// Formats the settings summary line for the open port, or for the port that
// waits for its device, into pchOut.
void fnCommxSummary(char *pchOut, int cchOut);
// The summary of the line settings alone (cchOut above 0), also while a
// reopening is under way.
void fnCommxLineSummary(char *pchOut, int cchOut);

LineFormat fnLineOfDcb(const DCB &stDcb);

// A digits box of a settings dialog as an unsigned number (fnDialogUint).
ZDWORD fnGetDlgUint(HWND hDlg, int iId);

#endif
