#include "ccc.h"

#include <commctrl.h>

#include "jobs.h"
#include "log_file.h"
#include "rx_check.h"
#include "resource.h"
#include "settings.h"
#include "show_pace.h"
#include "tx_info.h"
#include "window_records.h"
#include "worker_sync.h"

namespace {

const char kCaption[] = "ZEVRIK";
const DWORD kPacketWaitMs = 500;
const DWORD kChunkWaitMs = 2000;
const DWORD kJobEndPauseMs = 200;
const int kMsgChars = 100;

enum TxEnd { kTxGoOn, kTxClosed, kTxFailed };

// One run of the transmit thread. Besides the pending flags of the blocks,
// which the user-interface thread clears when it stops or starts a job, the
// run remembers which writes really are still in flight, so that no new
// write is started on an OVERLAPPED record the system still uses.
struct TxRun {
    DWORD m_dwSession;
    HANDLE m_hJob;
    HANDLE m_hStop;
    BOOL m_bDataInFlight;
    BOOL m_bFileInFlight;
    BOOL m_bWrittenAtOnce; // the last chunk completed within its WriteFile
    // The packet being written: the job's own copy, so that a new pattern
    // never changes the bytes of a write still in flight.
    BYTE m_abyPacket[sizeof gstCcc.m_stTx.m_stData.m_abyBuf];
    DWORD m_dwPacketLen;
    // Bytes of the packet written so far (a write that ran out of time takes
    // only part of it), and the job the packet belongs to.
    DWORD m_dwPacketDone;
    DWORD m_dwPacketJob;
    PrbsGen m_stPrbs; // where a sequence sent by data jobs stands
    // File progress: the bytes of the chunks written so far, and whether the
    // dialog still shows less.
    DWORD m_dwProgress;
    ShowPace m_stProgress;
    WorkerEnd m_stEnd;
};

// A write that fails while the port is open ends the run; the failure is
// reported unless another worker has already reported this opening's loss.
TxEnd fnFail(TxRun &stRun, const char *pszFormat, DWORD dwError)
{
    fnEndWithLoss(stRun.m_stEnd, stRun.m_dwSession, pszFormat, dwError);
    return kTxFailed;
}

// Collects a write that was still in flight when its job was stopped; it
// belongs to that job, so it is neither counted nor reported.
TxEnd fnCollectStale(TxRun &stRun, OVERLAPPED &stOL, BOOL &bInFlight, DWORD dwWaitMs, const char *pszError)
{
    if (WaitForSingleObject(stOL.hEvent, dwWaitMs) != WAIT_OBJECT_0) {
        return kTxGoOn;
    }
    bInFlight = FALSE;
    DWORD dwWritten = 0;
    DWORD dwError = 0;
    const PortResult nResult = fnPortResult(stRun.m_dwSession, &stOL, &dwWritten, &dwError);
    if (nResult == kPortClosed) {
        return kTxClosed;
    }
    ResetEvent(stOL.hEvent);
    return nResult == kPortDone ? kTxGoOn : fnFail(stRun, pszError, dwError);
}

BOOL fnJobOn(const TxRun &stRun)
{
    return WaitForSingleObject(stRun.m_hJob, 0) == WAIT_OBJECT_0;
}

// Counted under the hand-over lock and only while the job that wrote the
// packet is on, so a write that completes after its job was stopped never
// counts in the next job.
BOOL fnCountForJob(const TxRun &stRun, DWORD *pdwCount)
{
    fnHandOverEnter();
    const BOOL bSameJob = fnJobOn(stRun) && gstCcc.m_stTx.m_dwJob == stRun.m_dwPacketJob;
    if (bSameJob) {
        *pdwCount = ++gstTxInfo.m_dwTxCount;
    }
    fnHandOverLeave();
    return bSameJob;
}

void fnCountPacket(TxRun &stRun)
{
    DWORD dwCount = 0;
    if (!fnCountForJob(stRun, &dwCount)) {
        return;
    }
    const HWND hDlg = gstTxInfo.m_hDlg;
    SetDlgItemInt(hDlg, IDC_TI_COUNT, dwCount, FALSE);
    if (gstDataTrans.m_stCur.m_nCountMode == 1 && dwCount >= gstDataTrans.m_stCur.m_dwRepeatCount) {
        ResetEvent(stRun.m_hJob);
        Sleep(kJobEndPauseMs);
        fnTxInfoEndByThread(hDlg);
    }
}

// A packet counts once all of it is written: a write cut short by its
// time-out is followed at once by the rest, without the pause.
void fnPacketWritten(TxRun &stRun, DWORD dwWritten)
{
    gstCcc.m_stTx.m_stData.m_bPending = 0;
    ResetEvent(gstCcc.m_stTx.m_stData.m_stOL.hEvent);
    const DWORD dwLeft = stRun.m_dwPacketLen - stRun.m_dwPacketDone;
    const DWORD dwTaken = dwWritten < dwLeft ? dwWritten : dwLeft;
    fnLogSent(stRun.m_abyPacket + stRun.m_dwPacketDone, dwTaken);
    stRun.m_dwPacketDone += dwTaken;
    if (stRun.m_dwPacketDone < stRun.m_dwPacketLen) {
        return;
    }
    stRun.m_dwPacketDone = 0;
    fnCountPacket(stRun);
    WaitForSingleObject(stRun.m_hStop, gstDataTrans.m_stCur.m_dwInterval);
}

// Copied under the hand-over lock and only while the job is on: the pattern
// is built under the same lock, while no job runs. The rest of a packet cut
// short is kept for its own job; a new job starts with a whole packet.
BOOL fnTakePacket(TxRun &stRun)
{
    const TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    fnHandOverEnter();
    const BOOL bOn = fnJobOn(stRun);
    if (bOn && (stRun.m_dwPacketDone == 0 || stRun.m_dwPacketJob != gstCcc.m_stTx.m_dwJob)) {
        stRun.m_dwPacketLen =
            stData.m_dwLen < sizeof stRun.m_abyPacket ? stData.m_dwLen : sizeof stRun.m_abyPacket;
        CopyMemory(stRun.m_abyPacket, stData.m_abyBuf, stRun.m_dwPacketLen);
        stRun.m_dwPacketDone = 0;
        stRun.m_dwPacketJob = gstCcc.m_stTx.m_dwJob;
        if (stData.m_nPrbs != 0) {
            fnPrbsPacket(stRun.m_stPrbs, static_cast<RxStreamKind>(stData.m_nPrbs), stRun.m_abyPacket,
                         stRun.m_dwPacketLen);
        }
    }
    fnHandOverLeave();
    return bOn;
}

TxEnd fnStartPacket(TxRun &stRun)
{
    TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    if (!fnTakePacket(stRun)) {
        return kTxGoOn;
    }
    HANDLE hComm;
    if (!fnPortEnter(stRun.m_dwSession, &hComm)) {
        return kTxClosed;
    }
    const BOOL bDone =
        WriteFile(hComm, stRun.m_abyPacket + stRun.m_dwPacketDone, stRun.m_dwPacketLen - stRun.m_dwPacketDone,
                  &stData.m_dwWritten, &stData.m_stOL);
    const DWORD dwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    if (bDone) {
        fnPacketWritten(stRun, stData.m_dwWritten);
        return kTxGoOn;
    }
    if (dwError == ERROR_IO_PENDING) {
        stData.m_bPending = 1;
        stRun.m_bDataInFlight = TRUE;
        return kTxGoOn;
    }
    return fnFail(stRun, "INF022:COM Tx Data Error! the GetLastError return %d", dwError);
}

// A completion that fails while the port is still open means the device has
// gone: report it once and end.
TxEnd fnAwaitPacket(TxRun &stRun)
{
    TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    stData.m_dwWaitResult = WaitForMultipleObjects(1, &stData.m_stOL.hEvent, FALSE, kPacketWaitMs);
    if (stData.m_dwWaitResult == WAIT_TIMEOUT) {
        return kTxGoOn;
    }
    if (stData.m_dwWaitResult != WAIT_OBJECT_0) {
        MessageBoxA(NULL, "INF023:COM Tx Data-The WaitForMultipleObjects() Return Unknown!", kCaption, MB_OK);
        return kTxGoOn;
    }
    stRun.m_bDataInFlight = FALSE;
    DWORD dwError = 0;
    const PortResult nResult = fnPortResult(stRun.m_dwSession, &stData.m_stOL, &stData.m_dwWritten, &dwError);
    if (nResult == kPortClosed) {
        return kTxClosed;
    }
    if (nResult == kPortFailed) {
        return fnFail(stRun, "INF039:COM Tx Data Error! the GetOverlappedResult() return %d", dwError);
    }
    fnPacketWritten(stRun, stData.m_dwWritten);
    return kTxGoOn;
}

TxEnd fnDataPass(TxRun &stRun)
{
    TxEnd nEnd = kTxGoOn;
    if (gstCcc.m_stTx.m_stData.m_bPending == 0) {
        if (stRun.m_bDataInFlight) {
            return fnCollectStale(stRun, gstCcc.m_stTx.m_stData.m_stOL, stRun.m_bDataInFlight, kPacketWaitMs,
                                  "INF039:COM Tx Data Error! the GetOverlappedResult() return %d");
        }
        nEnd = fnStartPacket(stRun);
    }
    if (nEnd == kTxGoOn && gstCcc.m_stTx.m_stData.m_bPending == 1) {
        nEnd = fnAwaitPacket(stRun);
    }
    return nEnd;
}

// Only while the job is on: a job stopped from its dialog has nothing more
// to show, and its count must not reach the dialog of a later job.
void fnShowFileProgress(TxRun &stRun)
{
    if (fnJobOn(stRun)) {
        SetDlgItemInt(gstFileTx.m_hDlg, IDC_FT_LENGTH, stRun.m_dwProgress, FALSE);
        SendMessageA(gstFileTx.m_hProgress, PBM_SETPOS, stRun.m_dwProgress + 1, 0);
    }
    fnPaceShown(stRun.m_stProgress);
}

void fnShowOwedProgress(TxRun &stRun)
{
    if (stRun.m_stProgress.m_bOwed) {
        fnShowFileProgress(stRun);
    }
}

void fnReportFileProgress(TxRun &stRun)
{
    stRun.m_dwProgress = gstCcc.m_stTx.m_stFile.m_dwSent;
    stRun.m_stProgress.m_bOwed = TRUE;
    if (fnPaceDue(stRun.m_stProgress)) {
        fnShowFileProgress(stRun);
    }
}

// The end of the file job, the way its dialog's Cancel ends it, after the
// dialog has shown the last count.
void fnEndFileJob(TxRun &stRun)
{
    fnShowOwedProgress(stRun);
    ResetEvent(stRun.m_hJob);
    SendMessageA(gstFileTx.m_hDlg, WM_COMMAND, IDCANCEL, 0);
}

void fnFileDone(TxRun &stRun)
{
    fnEndFileJob(stRun);
    char achText[kMsgChars];
    wsprintfA(achText, "%s Tx File ok!", gstCommx.m_achCurCommNumShort);
    MessageBoxA(gstTerminal.m_hDlg, achText, kCaption, MB_OK);
}

enum ChunkRead { kChunkRead, kChunkStopped, kChunkFailed };

// Read under the hand-over lock and only while the job is on, so the dialog
// never closes the file under a read (it stops the job under the same lock).
ChunkRead fnReadChunk(TxRun &stRun)
{
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    fnHandOverEnter();
    if (!fnJobOn(stRun)) {
        fnHandOverLeave();
        return kChunkStopped;
    }
    const BOOL bRead =
        ReadFile(gstFileTrans.m_hFile, stFile.m_abyBuf, stFile.m_dwChunk, &stFile.m_dwRead, NULL);
    fnHandOverLeave();
    return bRead && stFile.m_dwRead == stFile.m_dwChunk ? kChunkRead : kChunkFailed;
}

// A write that ran out of time took only part of the chunk: the sent count
// grows by what it took, and the rest of the chunk is written next.
void fnChunkWritten(TxRun &stRun, DWORD dwWritten)
{
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    const DWORD dwTaken = dwWritten < stFile.m_dwRest ? dwWritten : stFile.m_dwRest;
    fnLogSent(stFile.m_abyBuf + (stFile.m_dwChunk - stFile.m_dwRest), dwTaken);
    stFile.m_dwRest -= dwTaken;
    stFile.m_dwSent += dwTaken;
    if (dwTaken != 0) {
        fnReportFileProgress(stRun);
    }
}

TxEnd fnWriteRest(TxRun &stRun)
{
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    HANDLE hComm;
    if (!fnPortEnter(stRun.m_dwSession, &hComm)) {
        return kTxClosed;
    }
    const BYTE *pbyRest = stFile.m_abyBuf + (stFile.m_dwChunk - stFile.m_dwRest);
    const BOOL bDone = WriteFile(hComm, pbyRest, stFile.m_dwRest, &stFile.m_dwWritten, &stFile.m_stOL);
    const DWORD dwError = bDone ? 0 : GetLastError();
    fnPortLeave();
    // The event is left set: WriteFile resets it when it starts the next
    // chunk, nothing waits on it before, and every ResetEvent is a round
    // trip to the Wine server (~30 us, a sixth of a chunk's time there).
    if (bDone) {
        fnChunkWritten(stRun, stFile.m_dwWritten);
        stFile.m_bPending = 0;
        // A write that took nothing goes back to the job's wait first.
        stRun.m_bWrittenAtOnce = stFile.m_dwWritten != 0;
        return kTxGoOn;
    }
    if (dwError == ERROR_IO_PENDING) {
        stFile.m_bPending = 1;
        stRun.m_bFileInFlight = TRUE;
        return kTxGoOn;
    }
    return fnFail(stRun, "INF025:COM Tx File Error! the GetLastError() return %d", dwError);
}

// A chunk that could not be read in full is never written (its buffer would
// hold stale bytes): the job ends and the failure is reported once.
TxEnd fnSendChunk(TxRun &stRun)
{
    const ChunkRead nRead = fnReadChunk(stRun);
    if (nRead == kChunkStopped) {
        return kTxGoOn;
    }
    if (nRead == kChunkFailed) {
        fnEndFileJob(stRun);
        MessageBoxA(NULL, "INF024:Reading Tx File Error!", kCaption, MB_OK);
        return kTxGoOn;
    }
    gstCcc.m_stTx.m_stFile.m_dwRest = gstCcc.m_stTx.m_stFile.m_dwChunk;
    return fnWriteRest(stRun);
}

TxEnd fnStartChunk(TxRun &stRun)
{
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    if (stFile.m_dwRest != 0) {
        return fnJobOn(stRun) ? fnWriteRest(stRun) : kTxGoOn;
    }
    stFile.m_dwRemain = gstFileTrans.m_dwFileSize - stFile.m_dwSent;
    if (stFile.m_dwRemain == 0) {
        fnFileDone(stRun);
        return kTxGoOn;
    }
    stFile.m_dwChunk = stFile.m_dwRemain >= kFileChunk ? kFileChunk : stFile.m_dwRemain;
    return fnSendChunk(stRun);
}

// Chunks that the port takes at once follow each other within one pass: the
// wait on the job event at the top of the loop would cost one more round
// trip to the Wine server per chunk, and the job and the port are checked
// for every chunk anyway (the read under the hand-over lock, the write
// under the port lock).
TxEnd fnStartChunks(TxRun &stRun)
{
    TxEnd nEnd = kTxGoOn;
    do {
        stRun.m_bWrittenAtOnce = FALSE;
        nEnd = fnStartChunk(stRun);
    } while (nEnd == kTxGoOn && stRun.m_bWrittenAtOnce);
    return nEnd;
}

TxEnd fnAwaitChunk(TxRun &stRun)
{
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    stFile.m_dwWaitResult = WaitForMultipleObjects(1, &stFile.m_stOL.hEvent, FALSE,
                                                   fnPaceWaitMs(stRun.m_stProgress.m_bOwed, kChunkWaitMs));
    if (stFile.m_dwWaitResult == WAIT_TIMEOUT) {
        fnShowOwedProgress(stRun);
        return kTxGoOn;
    }
    if (stFile.m_dwWaitResult != WAIT_OBJECT_0) {
        MessageBoxA(NULL, "INF026:COM Tx File - The WaitForMultipleObjects() Return Unknown!", kCaption,
                    MB_OK);
        return kTxGoOn;
    }
    stRun.m_bFileInFlight = FALSE;
    DWORD dwError = 0;
    const PortResult nResult = fnPortResult(stRun.m_dwSession, &stFile.m_stOL, &stFile.m_dwWritten, &dwError);
    if (nResult == kPortClosed) {
        return kTxClosed;
    }
    if (nResult == kPortFailed) {
        return fnFail(stRun, "INF040:COM Tx File Error! the GetOverlappedResult() return %d", dwError);
    }
    fnChunkWritten(stRun, stFile.m_dwWritten);
    stFile.m_bPending = 0;
    ResetEvent(stFile.m_stOL.hEvent);
    return kTxGoOn;
}

TxEnd fnFilePass(TxRun &stRun)
{
    TxEnd nEnd = kTxGoOn;
    if (gstCcc.m_stTx.m_stFile.m_bPending == 0) {
        if (stRun.m_bFileInFlight) {
            return fnCollectStale(stRun, gstCcc.m_stTx.m_stFile.m_stOL, stRun.m_bFileInFlight, kChunkWaitMs,
                                  "INF040:COM Tx File Error! the GetOverlappedResult() return %d");
        }
        nEnd = fnStartChunks(stRun);
    }
    if (nEnd == kTxGoOn && gstCcc.m_stTx.m_stFile.m_bPending == 1) {
        nEnd = fnAwaitChunk(stRun);
    }
    return nEnd;
}

HANDLE fnNewEvent()
{
    return CreateEventA(NULL, TRUE, FALSE, NULL);
}

TxEnd fnCreateFailed(TxRun &stRun, const char *pszText)
{
    lstrcpynA(stRun.m_stEnd.m_achMsg, pszText, kWorkerMsgChars);
    return kTxFailed;
}

TxEnd fnTxStart(TxRun &stRun)
{
    TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    TxFileBlock &stFile = gstCcc.m_stTx.m_stFile;
    ZeroMemory(&stData.m_stOL, sizeof stData.m_stOL);
    stData.m_stOL.hEvent = fnNewEvent();
    if (stData.m_stOL.hEvent == NULL) {
        return fnCreateFailed(stRun, "INF018:gstCcc.m_stTx.m_stData.m_stOL.hEvent==NULL");
    }
    stRun.m_hStop = fnNewEvent();
    if (stRun.m_hStop == NULL) {
        return fnCreateFailed(stRun, "INF019:gstCcc.m_stTx.m_hStopIntervalTime==NULL");
    }
    stData.m_dwWritten = 0;
    stData.m_dwWaitResult = 0;
    stData.m_bPending = 0;
    stData.m_dwLen = 0;
    ZeroMemory(&stFile.m_stOL, sizeof stFile.m_stOL);
    stFile.m_stOL.hEvent = fnNewEvent();
    if (stFile.m_stOL.hEvent == NULL) {
        return fnCreateFailed(stRun, "INF020:gstCcc.m_stTx.m_stFile.m_stOL.hEvent==NULL");
    }
    stFile.m_dwWritten = 0;
    stFile.m_dwWaitResult = 0;
    stFile.m_bPending = 0;
    stRun.m_hJob = fnNewEvent();
    if (stRun.m_hJob == NULL) {
        return fnCreateFailed(stRun, "INF021:gstCcc.m_stTx.m_hIsTransmitData==NULL");
    }
    if (!fnTxPublish(stRun.m_dwSession, stRun.m_hJob, stRun.m_hStop)) {
        return kTxClosed;
    }
    gstCcc.m_stTx.m_nMode = 0;
    fnPaceReset(stRun.m_stProgress);
    return kTxGoOn;
}

// A job stopped from outside leaves no count kept back for the next one.
void fnIdleUntilJob(TxRun &stRun)
{
    if (!fnJobOn(stRun)) {
        stRun.m_stProgress.m_bOwed = FALSE;
        WaitForSingleObject(stRun.m_hJob, INFINITE);
    }
}

// The close wakes an idle run through its job event (and a pausing one
// through its pause event), so the session test after the wait ends it.
TxEnd fnTxLoop(TxRun &stRun)
{
    TxEnd nEnd = fnTxStart(stRun);
    while (nEnd == kTxGoOn && fnSessionLive(stRun.m_dwSession)) {
        fnIdleUntilJob(stRun);
        if (!fnSessionLive(stRun.m_dwSession)) {
            break;
        }
        if (gstCcc.m_stTx.m_nMode == 0) {
            nEnd = fnDataPass(stRun);
        } else if (gstCcc.m_stTx.m_nMode == 1) {
            nEnd = fnFilePass(stRun);
        }
    }
    return nEnd == kTxGoOn ? kTxClosed : nEnd;
}

void fnCloseEvent(HANDLE &hEvent)
{
    if (hEvent != NULL) {
        CloseHandle(hEvent);
        hEvent = NULL;
    }
}

void fnTxCleanUp(TxRun &stRun)
{
    if (stRun.m_bDataInFlight) {
        fnFinishIo(stRun.m_dwSession, &gstCcc.m_stTx.m_stData.m_stOL);
    }
    if (stRun.m_bFileInFlight) {
        fnFinishIo(stRun.m_dwSession, &gstCcc.m_stTx.m_stFile.m_stOL);
    }
    if (stRun.m_hJob != NULL) {
        fnTxWithdraw(stRun.m_hJob);
    }
    fnCloseEvent(gstCcc.m_stTx.m_stData.m_stOL.hEvent);
    fnCloseEvent(stRun.m_hStop);
    fnCloseEvent(gstCcc.m_stTx.m_stFile.m_stOL.hEvent);
    fnCloseEvent(stRun.m_hJob);
}

} // namespace

DWORD WINAPI CommThreadTxProc(LPVOID pvParam)
{
    TxRun stRun = {};
    stRun.m_dwSession = fnSessionOf(pvParam);
    if (!fnClaimBlock(kWorkerTx, stRun.m_dwSession)) {
        return 1;
    }
    const TxEnd nEnd = fnTxLoop(stRun);
    fnTxCleanUp(stRun);
    fnReleaseBlock(kWorkerTx);
    if (nEnd == kTxFailed) {
        fnShowWorkerEnd(stRun.m_stEnd);
    }
    return 1;
}
