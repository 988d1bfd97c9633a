// The communication control block shared by the three worker threads and the
// user-interface thread. Jobs are handed over through manual-reset events.
#ifndef ZEVRIK_CCC_H
#define ZEVRIK_CCC_H

#include <windows.h>

const DWORD kFileChunk = 512;
const DWORD kRxReadDisplay = 512;
const DWORD kRxReadFile = 1024;
const DWORD kPrbsPacket = 512;

struct TxDataBlock {
    OVERLAPPED m_stOL;
    DWORD m_dwWritten;
    DWORD m_dwWaitResult;
    volatile LONG m_bPending;
    BYTE m_abyBuf[1024];
    DWORD m_dwLen;
    LONG m_nPrbs; // 1 to 3: each packet is the next part of that sequence
};

struct TxFileBlock {
    OVERLAPPED m_stOL;
    DWORD m_dwWritten;
    DWORD m_dwWaitResult;
    volatile LONG m_bPending;
    DWORD m_dwRead;
    BYTE m_abyBuf[2048];
    DWORD m_dwSent;
    DWORD m_dwRemain;
    DWORD m_dwChunk;
    DWORD m_dwRest; // bytes at the end of the chunk not written yet
};

struct TxBlock {
    HANDLE m_hThread;
    DWORD m_dwThreadId;
    volatile LONG m_nMode;
    TxDataBlock m_stData;
    HANDLE m_hStopIntervalTime;
    TxFileBlock m_stFile;
    HANDLE m_hIsTransmitData;
    // Raised by every job start under the hand-over lock: a write is counted
    // only for the job that issued it.
    DWORD m_dwJob;
};

struct RxBlock {
    HANDLE m_hThread;
    DWORD m_dwThreadId;
    volatile LONG m_nMode;
    OVERLAPPED m_stOL;
    volatile DWORD m_dwToRead;
    DWORD m_dwRead;
    DWORD m_dwWaitResult;
    LONG m_bPending;
    BYTE m_abyBuf[4096];
    DWORD m_dwFileTotal;
    DWORD m_dwFileWritten;
};

struct StatusBlock {
    HANDLE m_hThread;
    DWORD m_dwThreadId;
};

struct CccRecord {
    TxBlock m_stTx;
    RxBlock m_stRx;
    StatusBlock m_stStatus;
};

extern CccRecord gstCcc;

DWORD WINAPI CommThreadTxProc(LPVOID pvParam);
DWORD WINAPI CommThreadRxProc(LPVOID pvParam);
DWORD WINAPI CommThreadStatusProc(LPVOID pvParam);

#endif
