#include "jobs.h"

#include "ccc.h"
#include "worker_sync.h"

void fnStartDataJob()
{
    fnHandOverEnter();
    gstCcc.m_stTx.m_nMode = 0;
    ++gstCcc.m_stTx.m_dwJob;
    gstCcc.m_stTx.m_stData.m_bPending = 0;
    SetEvent(gstCcc.m_stTx.m_hIsTransmitData);
    ResetEvent(gstCcc.m_stTx.m_hStopIntervalTime);
    fnHandOverLeave();
}

void fnStopDataJob()
{
    fnHandOverEnter();
    ResetEvent(gstCcc.m_stTx.m_hIsTransmitData);
    SetEvent(gstCcc.m_stTx.m_hStopIntervalTime);
    gstCcc.m_stTx.m_stData.m_bPending = 0;
    fnHandOverLeave();
}

void fnStartFileTx()
{
    fnHandOverEnter();
    gstCcc.m_stTx.m_nMode = 1;
    ++gstCcc.m_stTx.m_dwJob;
    gstCcc.m_stTx.m_stFile.m_bPending = 0;
    SetEvent(gstCcc.m_stTx.m_hIsTransmitData);
    fnHandOverLeave();
}

// The transmit thread reads the file under the same lock and only while the
// job event is set.
void fnStopFileTx()
{
    fnHandOverEnter();
    ResetEvent(gstCcc.m_stTx.m_hIsTransmitData);
    fnHandOverLeave();
}

BOOL fnFileTxOn()
{
    fnHandOverEnter();
    const HANDLE hJob = gstCcc.m_stTx.m_hIsTransmitData;
    const BOOL bOn =
        gstCcc.m_stTx.m_nMode == 1 && hJob != NULL && WaitForSingleObject(hJob, 0) == WAIT_OBJECT_0;
    fnHandOverLeave();
    return bOn;
}

void fnStartFileRx()
{
    fnHandOverEnter();
    gstCcc.m_stRx.m_dwToRead = kRxReadFile;
    gstCcc.m_stRx.m_dwFileTotal = 0;
    gstCcc.m_stRx.m_nMode = 1;
    fnHandOverLeave();
}

// The receive thread writes the file under the same lock and only in mode 1.
void fnStopFileRx()
{
    fnHandOverEnter();
    gstCcc.m_stRx.m_dwToRead = kRxReadDisplay;
    gstCcc.m_stRx.m_nMode = 0;
    fnHandOverLeave();
}

BOOL fnTxPublish(DWORD dwSession, HANDLE hJob, HANDLE hStop)
{
    fnHandOverEnter();
    const BOOL bLive = fnSessionLive(dwSession);
    if (bLive) {
        gstCcc.m_stTx.m_hIsTransmitData = hJob;
        gstCcc.m_stTx.m_hStopIntervalTime = hStop;
    }
    fnHandOverLeave();
    return bLive;
}

void fnTxWithdraw(HANDLE hJob)
{
    fnHandOverEnter();
    if (gstCcc.m_stTx.m_hIsTransmitData == hJob) {
        gstCcc.m_stTx.m_hIsTransmitData = NULL;
        gstCcc.m_stTx.m_hStopIntervalTime = NULL;
    }
    fnHandOverLeave();
}

void fnTxDisconnect()
{
    fnHandOverEnter();
    if (gstCcc.m_stTx.m_hIsTransmitData != NULL) {
        SetEvent(gstCcc.m_stTx.m_hIsTransmitData);
        SetEvent(gstCcc.m_stTx.m_hStopIntervalTime);
    }
    gstCcc.m_stTx.m_hIsTransmitData = NULL;
    gstCcc.m_stTx.m_hStopIntervalTime = NULL;
    fnHandOverLeave();
}
