// plain_turnaround: the floor for ZEVRIK's XMODEM and YMODEM turnaround. It
// opens the port as ZEVRIK does (bench_port.h), prints {"ready":true}, then
// N times waits with an overlapped read for any byte from the far end (the
// receiver's ACK) and answers it with an overlapped write of one 1K block
// (1029 bytes, what a 1K sender writes next). The far end times each ACK to
// the block's first byte; this prints {"done":N} at the end.
//
//     plain_turnaround COM5 500
#include <windows.h>

#include "bench_port.h"

#include <cstdio>
#include <cstdlib>

namespace {

const DWORD kGiveUpMs = 10000;
const DWORD kBlockBytes = 1029;

bool Finish(HANDLE hPort, OVERLAPPED &ol, BOOL bStarted, DWORD &dwDone)
{
    if (!bStarted && GetLastError() != ERROR_IO_PENDING)
        return false;
    if (WaitForSingleObject(ol.hEvent, kGiveUpMs) != WAIT_OBJECT_0) {
        CancelIo(hPort);
        return false;
    }
    return GetOverlappedResult(hPort, &ol, &dwDone, FALSE) != FALSE;
}

// Reads until some bytes came, as the receive thread's reads do.
bool AwaitAck(HANDLE hPort, OVERLAPPED &olRead)
{
    static BYTE s_abyIn[4096];
    DWORD dwDone = 0;
    while (dwDone == 0) {
        ResetEvent(olRead.hEvent);
        if (!Finish(hPort, olRead, ReadFile(hPort, s_abyIn, sizeof s_abyIn, &dwDone, &olRead), dwDone))
            return false;
    }
    return true;
}

bool SendBlock(HANDLE hPort, OVERLAPPED &olWrite, int iBlock)
{
    static BYTE s_abyBlock[kBlockBytes];
    s_abyBlock[0] = 0x02;
    s_abyBlock[1] = static_cast<BYTE>(iBlock);
    s_abyBlock[2] = static_cast<BYTE>(255 - iBlock);
    DWORD dwDone = 0;
    ResetEvent(olWrite.hEvent);
    return Finish(hPort, olWrite, WriteFile(hPort, s_abyBlock, kBlockBytes, &dwDone, &olWrite), dwDone) &&
           dwDone == kBlockBytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain_turnaround COMn count\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    HANDLE hPort = OpenPort(argv[1]);
    if (hPort == INVALID_HANDLE_VALUE) {
        std::printf("{\"ready\":false,\"error\":%lu}\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    OVERLAPPED olWrite = {}, olRead = {};
    olWrite.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    olRead.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);
    int done = 0;
    for (; done < count; ++done) {
        if (!AwaitAck(hPort, olRead) || !SendBlock(hPort, olWrite, done + 1))
            break;
    }
    std::printf("{\"done\":%d}\n", done);
    std::fflush(stdout);
    CloseHandle(olWrite.hEvent);
    CloseHandle(olRead.hEvent);
    CloseHandle(hPort);
    return done == count ? 0 : 1;
}
