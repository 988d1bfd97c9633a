#include "log_file.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "log_ring.h"
#include "log_rotate.h"
#include "settings.h"
#include "wall_clock.h"

LogSettings gstLogSet = fnLogDefaults();

namespace {

const DWORD kRingBytes = 4u << 20;
// A longer block goes into the ring as several records.
const DWORD kRecordBytes = 4096;
// Records taken out of the ring under one lock.
const DWORD kBatchBytes = 65536;
// Bytes gathered for one WriteFile.
const DWORD kWriteBytes = 65536;
// The thread's pace: open lines past their pause, gathered bytes written.
const DWORD kTickMs = 100;
// Windows is asked to put the file on the disk this often (FlushFileBuffers).
const DWORD kFlushMs = 1000;
// Taken names tried before the log gives up.
const DWORD kNameTries = 1000;

enum LogState { kLogIdle, kLogOn, kLogStopped };

// What the threads share, under m_cs.
struct LogShared {
    CRITICAL_SECTION m_cs;
    volatile LONG m_nState;     // LogState; changed by the UI thread, and to
                                // kLogStopped by the log's thread
    volatile LONG m_bAccepting; // read without the lock as a first test
    volatile LONG m_bStop;
    LogRing m_stRing;
    bool m_bOverrun; // a record did not fit the ring
    char m_achPort[32];
    LogProgress m_stProgress;
    HANDLE m_hThread;
    HANDLE m_hWake;
    char m_achReason[kLogReasonChars]; // why the thread ended by itself
    LogShared()
        : m_nState(kLogIdle), m_bAccepting(0), m_bStop(0), m_stRing(), m_bOverrun(false), m_achPort(),
          m_stProgress(), m_hThread(NULL), m_hWake(NULL), m_achReason()
    {
        InitializeCriticalSection(&m_cs);
    }
};

// The log's thread's own (the UI thread's before the thread starts).
struct LogOutput {
    LogSettings m_stSet;
    char m_achBase[kLogPathChars]; // the folder of a relative name, with its separator
    HANDLE m_hFile;
    char m_achPath[kLogPathChars];
    ULONGLONG m_qwFileBytes; // held bytes included
    ULONGLONG m_qwFileMs;    // when the file was begun
    DWORD m_nCounter;        // %N of the current file
    DWORD m_dwFiles;
    bool m_bConsole;
    DWORD m_dwHeld;
    BYTE m_abyHeld[kWriteBytes];
    bool m_bUnflushed;
    DWORD m_dwFlushedAt;
    // Records taken, each its head, its bytes and room for a marker's terminator.
    BYTE m_abyBatch[kBatchBytes];
};

LogShared gstLog;
LogOutput gstOut;
LogWriter gstWriter;
BYTE gabyRing[kRingBytes];

// ----------------------------------------------------------- reasons

void fnSystemText(DWORD dwError, char *pch, DWORD cch)
{
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError, 0,
                             pch, cch, NULL);
    while (n > 0 && (pch[n - 1] == '\r' || pch[n - 1] == '\n' || pch[n - 1] == '.' || pch[n - 1] == ' ')) {
        --n;
    }
    if (n == 0) {
        std::snprintf(pch, cch, "error %lu", static_cast<unsigned long>(dwError));
        return;
    }
    pch[n] = '\0';
}

void fnSayFileError(char *pchReason, const char *pszWhat, const char *pszPath, DWORD dwError)
{
    char achSystem[160];
    fnSystemText(dwError, achSystem, sizeof achSystem);
    std::snprintf(pchReason, kLogReasonChars, "%s %s: %s (%lu).", pszWhat, pszPath, achSystem,
                  static_cast<unsigned long>(dwError));
}

const char kBadCharWhy[] = "holds a character Windows does not allow in a file name (< > \" | ? *, a control "
                           "character, or a : other than a drive's)";

void fnSayNameError(char *pchReason, LogNameResult nResult)
{
    const char *const apszWhy[] = {"", "is longer than 259 characters", kBadCharWhy,
                                   "names a folder but no file",
                                   "names a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9)"};
    std::snprintf(pchReason, kLogReasonChars, "The log's file name %s %s.", gstOut.m_stSet.m_achPattern,
                  apszWhy[nResult]);
}

// ----------------------------------------------------------- file names

bool fnIsRelative(const char *pszName)
{
    return pszName[0] != '\\' && pszName[0] != '/' && !(pszName[0] != '\0' && pszName[1] == ':');
}

LogNameResult fnExpand(ULONGLONG qwMs, DWORD nCounter, char *pchName)
{
    const LogSettings &stSet = gstOut.m_stSet;
    char achPort[sizeof gstLog.m_achPort];
    EnterCriticalSection(&gstLog.m_cs);
    lstrcpynA(achPort, gstLog.m_achPort, sizeof achPort);
    LeaveCriticalSection(&gstLog.m_cs);
    return fnLogExpandName(stSet.m_achPattern, sizeof stSet.m_achPattern, achPort, qwMs, nCounter, pchName,
                           kLogPathChars);
}

// With no %N in the pattern a taken name gets a number of its own.
bool fnHasCounter(ULONGLONG qwMs)
{
    char achOne[kLogPathChars];
    char achTwo[kLogPathChars];
    fnExpand(qwMs, 1, achOne);
    fnExpand(qwMs, 2, achTwo);
    return std::strcmp(achOne, achTwo) != 0;
}

// The full name of the file to try: the pattern's, numbered nSuffix (from
// 2) when that is taken, in the base folder when it is relative.
bool fnPathOf(ULONGLONG qwMs, DWORD nSuffix, char *pchPath, char *pchReason)
{
    char achName[kLogPathChars];
    const LogNameResult nResult = fnExpand(qwMs, gstOut.m_nCounter, achName);
    if (nResult != kLogNameOk) {
        fnSayNameError(pchReason, nResult);
        return false;
    }
    char achNumbered[kLogPathChars];
    if (nSuffix > 1 && !fnLogNumberedName(achName, nSuffix, achNumbered, sizeof achNumbered)) {
        fnSayNameError(pchReason, kLogNameTooLong);
        return false;
    }
    const char *pszName = nSuffix > 1 ? achNumbered : achName;
    const char *pszBase = fnIsRelative(pszName) ? gstOut.m_achBase : "";
    if (std::strlen(pszBase) + std::strlen(pszName) >= kLogPathChars) {
        fnSayNameError(pchReason, kLogNameTooLong);
        return false;
    }
    std::snprintf(pchPath, kLogPathChars, "%s%s", pszBase, pszName);
    return true;
}

// A relative name is taken in the user's documents, not wherever the
// program happened to start; without them, in the current folder.
void fnFindBase()
{
    char achDocuments[MAX_PATH] = {};
    gstOut.m_achBase[0] = '\0';
    if (SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_PERSONAL, NULL, 0, achDocuments))) {
        std::snprintf(gstOut.m_achBase, sizeof gstOut.m_achBase, "%s\\", achDocuments);
    }
}

// ----------------------------------------------------------- files

void fnShowProgress()
{
    EnterCriticalSection(&gstLog.m_cs);
    lstrcpynA(gstLog.m_stProgress.m_achPath, gstOut.m_achPath, kLogPathChars);
    gstLog.m_stProgress.m_qwFileBytes = gstOut.m_qwFileBytes;
    gstLog.m_stProgress.m_dwFiles = gstOut.m_dwFiles;
    LeaveCriticalSection(&gstLog.m_cs);
}

void fnTakeFile(HANDLE hFile, const char *pszPath, ULONGLONG qwMs, bool bAppend)
{
    gstOut.m_hFile = hFile;
    lstrcpynA(gstOut.m_achPath, pszPath, kLogPathChars);
    gstOut.m_qwFileBytes = 0;
    gstOut.m_qwFileMs = qwMs;
    ++gstOut.m_dwFiles;
    if (bAppend) {
        DWORD dwHigh = 0;
        const DWORD dwLow = GetFileSize(hFile, &dwHigh);
        gstOut.m_qwFileBytes =
            dwLow == INVALID_FILE_SIZE ? 0 : (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
        SetFilePointer(hFile, 0, NULL, FILE_END);
    }
    fnShowProgress();
}

// A new file never replaces one that exists: the next counter, or the next
// number after the name, is tried instead.
bool fnOpenFile(ULONGLONG qwMs, bool bAppend, char *pchReason)
{
    DWORD nSuffix = 1;
    for (DWORD nTry = 0; nTry < kNameTries; ++nTry) {
        char achPath[kLogPathChars];
        if (!fnPathOf(qwMs, nSuffix, achPath, pchReason)) {
            return false;
        }
        const HANDLE hFile = CreateFileA(achPath, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                         bAppend ? OPEN_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile != INVALID_HANDLE_VALUE) {
            fnTakeFile(hFile, achPath, qwMs, bAppend);
            return true;
        }
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_EXISTS) {
            fnSayFileError(pchReason, "The log could not create", achPath, dwError);
            return false;
        }
        if (fnHasCounter(qwMs)) {
            ++gstOut.m_nCounter;
        } else {
            ++nSuffix;
        }
    }
    std::snprintf(pchReason, kLogReasonChars, "The log found no free file name after %lu tries.",
                  static_cast<unsigned long>(kNameTries));
    return false;
}

// A write that takes less than all it was given, without an error, met a
// full disk.
bool fnWriteHeld(char *pchReason)
{
    DWORD dwWritten = 0;
    if (gstOut.m_dwHeld == 0) {
        return true;
    }
    const BOOL bDone = WriteFile(gstOut.m_hFile, gstOut.m_abyHeld, gstOut.m_dwHeld, &dwWritten, NULL);
    if (!bDone || dwWritten != gstOut.m_dwHeld) {
        fnSayFileError(pchReason, "The log has stopped: it could not write to", gstOut.m_achPath,
                       bDone ? ERROR_DISK_FULL : GetLastError());
        return false;
    }
    gstOut.m_dwHeld = 0;
    gstOut.m_bUnflushed = true;
    return true;
}

void fnFlushIfDue()
{
    if (gstOut.m_bUnflushed && GetTickCount() - gstOut.m_dwFlushedAt >= kFlushMs) {
        FlushFileBuffers(gstOut.m_hFile);
        gstOut.m_bUnflushed = false;
        gstOut.m_dwFlushedAt = GetTickCount();
    }
}

void fnCloseFile()
{
    if (gstOut.m_hFile != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(gstOut.m_hFile);
        CloseHandle(gstOut.m_hFile);
        gstOut.m_hFile = INVALID_HANDLE_VALUE;
    }
}

bool fnHold(const BYTE *pby, DWORD cb, char *pchReason)
{
    while (cb > 0) {
        if (gstOut.m_dwHeld == kWriteBytes && !fnWriteHeld(pchReason)) {
            return false;
        }
        const DWORD cbRoom = kWriteBytes - gstOut.m_dwHeld;
        const DWORD cbPart = cb < cbRoom ? cb : cbRoom;
        std::memcpy(gstOut.m_abyHeld + gstOut.m_dwHeld, pby, cbPart);
        gstOut.m_dwHeld += cbPart;
        gstOut.m_qwFileBytes += cbPart;
        pby += cbPart;
        cb -= cbPart;
    }
    return true;
}

bool fnNextFile(ULONGLONG qwMs, char *pchReason)
{
    if (!fnWriteHeld(pchReason)) {
        return false;
    }
    fnCloseFile();
    ++gstOut.m_nCounter;
    return fnOpenFile(qwMs, false, pchReason);
}

// A block of the file's bytes, cut where rotation asks for a new file.
bool fnWriteBlock(const BYTE *pby, DWORD cb, ULONGLONG qwMs, char *pchReason)
{
    while (cb > 0) {
        const DWORD cbPart = fnLogCut(gstOut.m_stSet, gstOut.m_qwFileBytes, gstOut.m_qwFileMs, qwMs,
                                      reinterpret_cast<const char *>(pby), cb);
        if (!fnHold(pby, cbPart, pchReason)) {
            return false;
        }
        pby += cbPart;
        cb -= cbPart;
        if (cb > 0 && !fnNextFile(qwMs, pchReason)) {
            return false;
        }
    }
    return true;
}

// The formatted lines waiting in the writer.
bool fnWriteLines(ULONGLONG qwMs, char *pchReason)
{
    const DWORD cb = gstWriter.m_dwOut;
    gstWriter.m_dwOut = 0;
    return fnWriteBlock(reinterpret_cast<const BYTE *>(gstWriter.m_achOut), cb, qwMs, pchReason);
}

// ----------------------------------------------------------- records

bool fnFeed(LogDir nDir, const LogRecord &stRec, const BYTE *pby, char *pchReason)
{
    for (DWORD dwDone = 0; dwDone < stRec.m_dwLen;) {
        dwDone += fnLogFeed(gstWriter, nDir, pby + dwDone, stRec.m_dwLen - dwDone, stRec.m_qwMs);
        if (!fnWriteLines(stRec.m_qwMs, pchReason)) {
            return false;
        }
    }
    return true;
}

// An empty writer always has room for a marker.
bool fnMark(LogMark nMark, const char *pszDetail, ULONGLONG qwMs, char *pchReason)
{
    while (!fnLogMark(gstWriter, nMark, pszDetail, qwMs)) {
        if (!fnWriteLines(qwMs, pchReason)) {
            return false;
        }
    }
    return fnWriteLines(qwMs, pchReason);
}

bool fnReceived(const LogRecord &stRec, const BYTE *pby, char *pchReason)
{
    const bool bConsole = stRec.m_nArg != 0;
    if (bConsole != gstOut.m_bConsole) {
        gstOut.m_bConsole = bConsole;
        fnLogConsole(gstWriter, bConsole);
    }
    if (gstOut.m_stSet.m_nFormat == kLogRaw) {
        return fnWriteBlock(pby, stRec.m_dwLen, stRec.m_qwMs, pchReason);
    }
    return fnFeed(kLogReceived, stRec, pby, pchReason);
}

bool fnHandle(const LogRecord &stRec, BYTE *pby, char *pchReason)
{
    switch (stRec.m_nKind) {
    case kLogRecReceived:
        return fnReceived(stRec, pby, pchReason);
    case kLogRecSent:
        return fnFeed(kLogSent, stRec, pby, pchReason);
    default:
        pby[stRec.m_dwLen] = '\0';
        return fnMark(static_cast<LogMark>(stRec.m_nArg), reinterpret_cast<const char *>(pby), stRec.m_qwMs,
                      pchReason);
    }
}

// As many records as the batch holds, under one lock: the receive thread
// waits for it less often. Returns the batch's bytes used.
DWORD fnTakeBatch()
{
    LogRecord stRec;
    DWORD dwUsed = 0;
    EnterCriticalSection(&gstLog.m_cs);
    while (kBatchBytes - dwUsed >= sizeof stRec + kRecordBytes + 1 &&
           fnRingTake(gstLog.m_stRing, stRec, gstOut.m_abyBatch + dwUsed + sizeof stRec, kRecordBytes)) {
        std::memcpy(gstOut.m_abyBatch + dwUsed, &stRec, sizeof stRec);
        dwUsed += sizeof stRec + stRec.m_dwLen + 1;
    }
    LeaveCriticalSection(&gstLog.m_cs);
    return dwUsed;
}

bool fnHandleBatch(DWORD dwUsed, char *pchReason)
{
    for (DWORD dwAt = 0; dwAt < dwUsed;) {
        LogRecord stRec;
        std::memcpy(&stRec, gstOut.m_abyBatch + dwAt, sizeof stRec);
        if (!fnHandle(stRec, gstOut.m_abyBatch + dwAt + sizeof stRec, pchReason)) {
            return false;
        }
        dwAt += sizeof stRec + stRec.m_dwLen + 1;
    }
    return true;
}

bool fnOverrun()
{
    EnterCriticalSection(&gstLog.m_cs);
    const bool bOverrun = gstLog.m_bOverrun;
    LeaveCriticalSection(&gstLog.m_cs);
    return bOverrun;
}

// The records so far, the lines whose pause has passed, and the gathered
// bytes to the file.
bool fnServe(char *pchReason)
{
    for (DWORD dwUsed; (dwUsed = fnTakeBatch()) != 0;) {
        if (!fnHandleBatch(dwUsed, pchReason)) {
            return false;
        }
    }
    const ULONGLONG qwNow = fnWallClockMs();
    if (fnLogTick(gstWriter, qwNow) && !fnWriteLines(qwNow, pchReason)) {
        return false;
    }
    if (!fnWriteHeld(pchReason)) {
        return false;
    }
    fnFlushIfDue();
    fnShowProgress();
    return true;
}

// The ring's records have all been taken: the file ends with them and the
// marker.
bool fnEndOverrun(char *pchReason)
{
    const ULONGLONG qwNow = fnWallClockMs();
    if (fnMark(kLogMarkStopped, "the disk fell behind the port: what came after this is not logged", qwNow,
               pchReason) &&
        fnWriteHeld(pchReason)) {
        std::snprintf(
            pchReason, kLogReasonChars,
            "The log has stopped: the disk fell more than %lu MiB behind the port. What came before "
            "the stop is in %s.",
            static_cast<unsigned long>(kRingBytes >> 20), gstOut.m_achPath);
    }
    return false;
}

bool fnRun(char *pchReason)
{
    while (gstLog.m_bStop == 0) {
        WaitForSingleObject(gstLog.m_hWake, kTickMs);
        // Seen before the records are taken: once it is set nothing more
        // comes in, so this pass takes all there is.
        const bool bOverrun = fnOverrun();
        if (!fnServe(pchReason)) {
            return false;
        }
        if (bOverrun) {
            return fnEndOverrun(pchReason);
        }
    }
    return fnServe(pchReason) && fnMark(kLogMarkStopped, nullptr, fnWallClockMs(), pchReason) &&
           fnWriteHeld(pchReason);
}

// A log that stops by itself takes nothing more at once; the UI thread
// collects the reason.
DWORD WINAPI fnLogThreadProc(LPVOID)
{
    char achReason[kLogReasonChars] = {};
    const bool bClean = fnRun(achReason);
    fnCloseFile();
    if (!bClean) {
        EnterCriticalSection(&gstLog.m_cs);
        InterlockedExchange(&gstLog.m_bAccepting, 0);
        lstrcpynA(gstLog.m_achReason, achReason, kLogReasonChars);
        InterlockedExchange(&gstLog.m_nState, kLogStopped);
        LeaveCriticalSection(&gstLog.m_cs);
    }
    return 0;
}

// ----------------------------------------------------------- hand-over

// Under the lock. A record that does not fit ends the log's intake: the
// thread writes what it holds and stops (fnEndOverrun).
void fnPutLocked(LogRecordKind nKind, BYTE nArg, ULONGLONG qwMs, const BYTE *pby, DWORD cb)
{
    if (gstLog.m_bAccepting == 0) {
        return;
    }
    const LogRecord stRec = {cb, static_cast<std::uint8_t>(nKind), nArg, 0, qwMs};
    if (!fnRingPut(gstLog.m_stRing, stRec, pby)) {
        gstLog.m_bOverrun = true;
        InterlockedExchange(&gstLog.m_bAccepting, 0);
        SetEvent(gstLog.m_hWake);
    }
}

void fnPutBlock(LogRecordKind nKind, BYTE nArg, ULONGLONG qwMs, const BYTE *pby, DWORD cb)
{
    EnterCriticalSection(&gstLog.m_cs);
    for (DWORD dwDone = 0; dwDone < cb; dwDone += kRecordBytes) {
        fnPutLocked(nKind, nArg, qwMs, pby + dwDone, cb - dwDone < kRecordBytes ? cb - dwDone : kRecordBytes);
    }
    LeaveCriticalSection(&gstLog.m_cs);
}

void fnPutMark(LogMark nMark, const char *pszDetail, ULONGLONG qwMs)
{
    const DWORD cb = pszDetail != nullptr ? lstrlenA(pszDetail) : 0;
    EnterCriticalSection(&gstLog.m_cs);
    fnPutLocked(kLogRecMark, static_cast<BYTE>(nMark), qwMs, reinterpret_cast<const BYTE *>(pszDetail),
                cb < kLogDetailChars ? cb : kLogDetailChars);
    LeaveCriticalSection(&gstLog.m_cs);
}

// Control sequences are removed when the terminal acts on them.
BYTE fnConsoleViewOn()
{
    const TermOptBlock &st = gstTermOpt.m_stCur;
    return st.m_bConsole == 1 && st.m_nDisplay == 0 ? 1 : 0;
}

// The writer and the ring start afresh; the start marker goes in first.
void fnResetRun(const char *pszDetail, ULONGLONG qwNow)
{
    gstOut.m_bConsole = fnConsoleViewOn() != 0;
    fnLogStart(gstWriter, gstOut.m_stSet, gstOut.m_bConsole, qwNow);
    gstOut.m_dwHeld = 0;
    gstOut.m_bUnflushed = false;
    gstOut.m_dwFlushedAt = GetTickCount();
    EnterCriticalSection(&gstLog.m_cs);
    fnRingInit(gstLog.m_stRing, gabyRing, sizeof gabyRing);
    gstLog.m_bOverrun = false;
    gstLog.m_achReason[0] = '\0';
    InterlockedExchange(&gstLog.m_bStop, 0);
    InterlockedExchange(&gstLog.m_bAccepting, 1);
    // Before the thread starts, which may stop by itself at once.
    InterlockedExchange(&gstLog.m_nState, kLogOn);
    LeaveCriticalSection(&gstLog.m_cs);
    fnPutMark(kLogMarkStarted, pszDetail, qwNow);
}

bool fnStartThread(char *pchReason)
{
    gstLog.m_hWake = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (gstLog.m_hWake != NULL) {
        gstLog.m_hThread = CreateThread(NULL, 0, fnLogThreadProc, NULL, 0, NULL);
    }
    if (gstLog.m_hThread != NULL) {
        return true;
    }
    InterlockedExchange(&gstLog.m_bAccepting, 0);
    InterlockedExchange(&gstLog.m_nState, kLogIdle);
    if (gstLog.m_hWake != NULL) {
        CloseHandle(gstLog.m_hWake);
        gstLog.m_hWake = NULL;
    }
    std::snprintf(pchReason, kLogReasonChars, "Windows could not start the log's thread (error %lu).",
                  static_cast<unsigned long>(GetLastError()));
    return false;
}

} // namespace

BOOL fnLogBegin(const char *pszPort, const char *pszDetail, char (&achReason)[kLogReasonChars])
{
    achReason[0] = '\0';
    gstOut.m_stSet = gstLogSet;
    gstOut.m_hFile = INVALID_HANDLE_VALUE;
    gstOut.m_nCounter = 1;
    gstOut.m_dwFiles = 0;
    fnLogSetPort(pszPort);
    const ULONGLONG qwNow = fnWallClockMs();
    fnFindBase();
    if (!fnOpenFile(qwNow, gstOut.m_stSet.m_bAppend != 0, achReason)) {
        return FALSE;
    }
    fnResetRun(pszDetail, qwNow);
    if (!fnStartThread(achReason)) {
        fnCloseFile();
        return FALSE;
    }
    return TRUE;
}

void fnLogEnd(char (&achReason)[kLogReasonChars])
{
    achReason[0] = '\0';
    if (gstLog.m_nState == kLogIdle) {
        return;
    }
    EnterCriticalSection(&gstLog.m_cs);
    InterlockedExchange(&gstLog.m_bAccepting, 0);
    LeaveCriticalSection(&gstLog.m_cs);
    InterlockedExchange(&gstLog.m_bStop, 1);
    SetEvent(gstLog.m_hWake);
    WaitForSingleObject(gstLog.m_hThread, INFINITE);
    CloseHandle(gstLog.m_hThread);
    CloseHandle(gstLog.m_hWake);
    gstLog.m_hThread = NULL;
    gstLog.m_hWake = NULL;
    lstrcpynA(achReason, gstLog.m_achReason, kLogReasonChars);
    InterlockedExchange(&gstLog.m_nState, kLogIdle);
}

BOOL fnLogRunning()
{
    return gstLog.m_nState == kLogOn ? TRUE : FALSE;
}

BOOL fnLogBroken()
{
    return gstLog.m_nState == kLogStopped ? TRUE : FALSE;
}

void fnLogReceived(const BYTE *pby, DWORD dwCount)
{
    if (gstLog.m_bAccepting == 0 || dwCount == 0) {
        return;
    }
    fnPutBlock(kLogRecReceived, fnConsoleViewOn(), fnWallClockMs(), pby, dwCount);
}

void fnLogSent(const BYTE *pby, DWORD dwCount)
{
    if (gstLog.m_bAccepting == 0 || dwCount == 0) {
        return;
    }
    fnPutBlock(kLogRecSent, 0, fnWallClockMs(), pby, dwCount);
}

void fnLogEvent(LogMark nMark, const char *pszDetail)
{
    if (gstLog.m_bAccepting == 0) {
        return;
    }
    fnPutMark(nMark, pszDetail, fnWallClockMs());
}

void fnLogSetPort(const char *pszPort)
{
    EnterCriticalSection(&gstLog.m_cs);
    lstrcpynA(gstLog.m_achPort, pszPort, sizeof gstLog.m_achPort);
    LeaveCriticalSection(&gstLog.m_cs);
}

void fnLogProgressOf(LogProgress &st)
{
    EnterCriticalSection(&gstLog.m_cs);
    st = gstLog.m_stProgress;
    LeaveCriticalSection(&gstLog.m_cs);
}
