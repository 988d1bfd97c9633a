// Records through which the engine reaches the windows. Handles are stored by
// each window when it is created and stay in place after it is destroyed.
#ifndef ZEVRIK_WINDOW_RECORDS_H
#define ZEVRIK_WINDOW_RECORDS_H

#include <windows.h>
#include <commdlg.h>

const int kToolbarButtons = 12;

struct ToolbarRecord {
    HWND m_hDlg;
    HWND m_ahButton[kToolbarButtons];
    volatile LONG m_bRxEnable;
    char m_aachTip[kToolbarButtons][32];
    ToolbarRecord();
};

struct TerminalRecord {
    HWND m_hDlg;
    HWND m_hEdit;
    HWND m_hView; // the history and console view, beside the edit control
    CHOOSEFONTA m_stChooseFont;
    LOGFONTA m_stLogFont;
    HFONT m_hFont;
    HANDLE m_hEchoEvent;
    volatile LONG m_bClearScreen;
    TerminalRecord();
};

// Posted to the status bar by the modem-status worker when a line changed:
// wParam is the indicator's window.
const UINT kSbLineChanged = WM_APP + 1;

struct StatusBarRecord {
    HWND m_hDlg;
    HWND m_hSummary;
    HWND m_hDsr, m_hCts, m_hRi, m_hDcd;
    HWND m_hDtr, m_hRts;
    HDC m_hDc;
    volatile LONG m_bDsr, m_bCts, m_bRi, m_bDcd;
    LONG m_bDtr;
    LONG m_bRts;
    char m_achSummary[100];
    StatusBarRecord();
};

struct FileTransRecord {
    char m_achFileName[1024];
    HANDLE m_hFile;
    DWORD m_dwFileSizeHigh;
    DWORD m_dwFileSize;
    char m_achTxFilter[256];
    OPENFILENAMEA m_stTxOfn;
    char m_achRxFilter[256];
    OPENFILENAMEA m_stRxOfn;
    FileTransRecord();
};

struct FileTxRecord {
    HWND m_hDlg;
    HWND m_hPort, m_hName, m_hSize, m_hLength, m_hProgress;
};

struct FileRxRecord {
    HWND m_hDlg;
    HWND m_hPort, m_hName, m_hLength;
    UINT_PTR m_uTimer;
    volatile DWORD m_dwIdleSeconds;
};

struct TxInfoRecord {
    HWND m_hDlg;
    HWND m_hPort, m_hTotalBytes, m_hDataHex, m_hRepeat, m_hCount; // 1048, 1049, 1002, 1050, 1051
    char m_achTotalBytes[256];
    char m_achDataHex[2048];
    char m_achRepeat[256];
    volatile DWORD m_dwTxCount;
};

extern ToolbarRecord gstToolbar;
extern TerminalRecord gstTerminal;
extern StatusBarRecord gstStatusBar;
extern FileTransRecord gstFileTrans;
extern FileTxRecord gstFileTx;
extern FileRxRecord gstFileRx;
extern TxInfoRecord gstTxInfo;

#endif
