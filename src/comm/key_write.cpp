#include "key_write.h"

#include "log_file.h"
#include "settings.h"
#include "worker_sync.h"

namespace {

// A few bytes leave at once unless flow control holds them back; longer
// than this, the key is reported as not sent rather than hang the window.
const DWORD kKeyWriteMs = 500;

// The operation is over when this returns, so its record may go.
BOOL fnWaitWrite(DWORD dwSession, OVERLAPPED &stOL, DWORD dwCount, DWORD *pdwError)
{
    if (WaitForSingleObject(stOL.hEvent, kKeyWriteMs) != WAIT_OBJECT_0) {
        fnFinishIo(dwSession, &stOL);
    }
    DWORD dwDone = 0;
    const PortResult nResult = fnPortResult(dwSession, &stOL, &dwDone, pdwError);
    if (nResult == kPortClosed) {
        *pdwError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (nResult == kPortDone && dwDone != dwCount) {
        *pdwError = ERROR_TIMEOUT;
    }
    return nResult == kPortDone && dwDone == dwCount;
}

} // namespace

BOOL fnWriteKeys(const BYTE *pby, DWORD dwCount, DWORD *pdwError)
{
    const DWORD dwSession = gstCommx.m_dwSession;
    OVERLAPPED stOL = {};
    stOL.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (stOL.hEvent == NULL) {
        *pdwError = GetLastError();
        return FALSE;
    }
    HANDLE hComm;
    BOOL bSent = FALSE;
    *pdwError = ERROR_INVALID_HANDLE;
    if (fnPortEnter(dwSession, &hComm)) {
        DWORD dwDone = 0;
        const BOOL bDone = WriteFile(hComm, pby, dwCount, &dwDone, &stOL);
        const DWORD dwError = bDone ? 0 : GetLastError();
        fnPortLeave();
        if (bDone || dwError == ERROR_IO_PENDING) {
            bSent = fnWaitWrite(dwSession, stOL, dwCount, pdwError);
        } else {
            *pdwError = dwError;
        }
    }
    CloseHandle(stOL.hEvent);
    if (bSent) {
        fnLogSent(pby, dwCount);
    }
    return bSent;
}
