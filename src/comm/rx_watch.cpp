#include "rx_watch.h"

#include <cstring>

#include "worker_sync.h"

namespace {

static_assert(kCeRxOver == CE_RXOVER && kCeOverrun == CE_OVERRUN && kCeRxParity == CE_RXPARITY &&
                  kCeFrame == CE_FRAME && kCeBreak == CE_BREAK && kEvBreak == EV_BREAK && kEvErr == EV_ERR,
              "the counters read the Windows values");

struct RxWatchRecord {
    CRITICAL_SECTION m_cs;
    volatile LONG m_bRunning;
    RxChecker m_stChecker;
    DWORD m_dwStartTick; // while running
    DWORD m_dwElapsedMs; // of the runs before
    LineErrorCounts m_stLine;
    RxWatchRecord() : m_bRunning(0), m_stChecker(), m_dwStartTick(0), m_dwElapsedMs(0), m_stLine()
    {
        InitializeCriticalSection(&m_cs);
    }
};

RxWatchRecord gstRxWatch;

} // namespace

void fnRxWatchFeed(const BYTE *pby, DWORD dwCount)
{
    if (gstRxWatch.m_bRunning == 0 || dwCount == 0) {
        return;
    }
    EnterCriticalSection(&gstRxWatch.m_cs);
    if (gstRxWatch.m_bRunning != 0) {
        fnRxCheckFeed(gstRxWatch.m_stChecker, pby, dwCount);
    }
    LeaveCriticalSection(&gstRxWatch.m_cs);
}

BOOL fnRxCheckStart(RxStreamKind nKind, const BYTE *pbyPattern, DWORD dwLen)
{
    EnterCriticalSection(&gstRxWatch.m_cs);
    const bool bOk = fnRxCheckInit(gstRxWatch.m_stChecker, nKind, pbyPattern, dwLen);
    gstRxWatch.m_dwElapsedMs = 0;
    gstRxWatch.m_dwStartTick = GetTickCount();
    gstRxWatch.m_bRunning = bOk ? 1 : 0;
    LeaveCriticalSection(&gstRxWatch.m_cs);
    return bOk ? TRUE : FALSE;
}

void fnRxCheckStop()
{
    EnterCriticalSection(&gstRxWatch.m_cs);
    if (gstRxWatch.m_bRunning != 0) {
        fnRxCheckSettle(gstRxWatch.m_stChecker);
        gstRxWatch.m_dwElapsedMs += GetTickCount() - gstRxWatch.m_dwStartTick;
        gstRxWatch.m_bRunning = 0;
    }
    LeaveCriticalSection(&gstRxWatch.m_cs);
}

BOOL fnRxCheckRunning()
{
    return gstRxWatch.m_bRunning != 0 ? TRUE : FALSE;
}

void fnRxCheckClear()
{
    EnterCriticalSection(&gstRxWatch.m_cs);
    fnRxCheckReset(gstRxWatch.m_stChecker);
    gstRxWatch.m_dwElapsedMs = 0;
    gstRxWatch.m_dwStartTick = GetTickCount();
    std::memset(&gstRxWatch.m_stLine, 0, sizeof gstRxWatch.m_stLine);
    LeaveCriticalSection(&gstRxWatch.m_cs);
}

void fnRxWatchSnapshot(RxWatchSnapshot &st)
{
    EnterCriticalSection(&gstRxWatch.m_cs);
    st.m_stCounts = gstRxWatch.m_stChecker.m_stCounts;
    st.m_dwElapsedMs = gstRxWatch.m_dwElapsedMs;
    if (gstRxWatch.m_bRunning != 0) {
        st.m_dwElapsedMs += GetTickCount() - gstRxWatch.m_dwStartTick;
    }
    st.m_stLine = gstRxWatch.m_stLine;
    LeaveCriticalSection(&gstRxWatch.m_cs);
}

void fnLineErrorsClear()
{
    EnterCriticalSection(&gstRxWatch.m_cs);
    std::memset(&gstRxWatch.m_stLine, 0, sizeof gstRxWatch.m_stLine);
    LeaveCriticalSection(&gstRxWatch.m_cs);
}

// ClearCommError also releases a port that stops on errors (fAbortOnError).
void fnLineErrorsPoll(DWORD dwSession, DWORD dwEvents)
{
    DWORD dwErrors = 0;
    HANDLE hComm;
    if (fnPortEnter(dwSession, &hComm)) {
        if (!ClearCommError(hComm, &dwErrors, NULL)) {
            dwErrors = 0;
        }
        fnPortLeave();
    }
    if (dwErrors == 0 && (dwEvents & kLineErrorEvents) == 0) {
        return;
    }
    EnterCriticalSection(&gstRxWatch.m_cs);
    fnCountLineErrors(gstRxWatch.m_stLine, dwErrors, dwEvents);
    LeaveCriticalSection(&gstRxWatch.m_cs);
}
