#include "echo.h"

#include <cstring>

#include "window_records.h"
#include "worker_sync.h"

namespace {

// The pane may post a second key before the receive thread has shown the
// first, so the bytes queue up here and the receive thread takes them all at
// once. Both sides run under the hand-over lock: the bytes, the count and the
// event handle change together, and the event is never signalled after its
// run has withdrawn (and then closed) it.
struct EchoQueue {
    BYTE m_aby[kEchoPendingBytes];
    DWORD m_dwCount;
};

EchoQueue gstEchoQueue;

} // namespace

DWORD fnPostEcho(const BYTE *pby, DWORD dwCount)
{
    fnHandOverEnter();
    const DWORD dwRoom = kEchoPendingBytes - gstEchoQueue.m_dwCount;
    const DWORD dwTaken = dwCount < dwRoom ? dwCount : dwRoom;
    std::memcpy(gstEchoQueue.m_aby + gstEchoQueue.m_dwCount, pby, dwTaken);
    gstEchoQueue.m_dwCount += dwTaken;
    if (dwTaken > 0 && gstTerminal.m_hEchoEvent != NULL) {
        SetEvent(gstTerminal.m_hEchoEvent);
    }
    fnHandOverLeave();
    return dwTaken;
}

BOOL fnEchoPublish(DWORD dwSession, HANDLE hEvent)
{
    fnHandOverEnter();
    const BOOL bLive = fnSessionLive(dwSession);
    if (bLive) {
        gstTerminal.m_hEchoEvent = hEvent;
        if (gstEchoQueue.m_dwCount > 0) {
            SetEvent(hEvent);
        }
    }
    fnHandOverLeave();
    return bLive;
}

DWORD fnEchoTake(HANDLE hEvent, BYTE *pbyOut, DWORD cbOut)
{
    DWORD dwCount = 0;
    fnHandOverEnter();
    if (gstTerminal.m_hEchoEvent == hEvent) {
        dwCount = gstEchoQueue.m_dwCount < cbOut ? gstEchoQueue.m_dwCount : cbOut;
        std::memcpy(pbyOut, gstEchoQueue.m_aby, dwCount);
        std::memmove(gstEchoQueue.m_aby, gstEchoQueue.m_aby + dwCount, gstEchoQueue.m_dwCount - dwCount);
        gstEchoQueue.m_dwCount -= dwCount;
    }
    if (gstEchoQueue.m_dwCount == 0 || gstTerminal.m_hEchoEvent != hEvent) {
        ResetEvent(hEvent);
    }
    fnHandOverLeave();
    return dwCount;
}

void fnEchoWithdraw(HANDLE hEvent)
{
    fnHandOverEnter();
    if (gstTerminal.m_hEchoEvent == hEvent) {
        gstTerminal.m_hEchoEvent = NULL;
        gstEchoQueue.m_dwCount = 0;
    }
    fnHandOverLeave();
}

void fnEchoDisconnect()
{
    fnHandOverEnter();
    gstTerminal.m_hEchoEvent = NULL;
    gstEchoQueue.m_dwCount = 0;
    fnHandOverLeave();
}
