// plain_roundtrip: the floor for ZEVRIK's latency figures. It opens the port
// as ZEVRIK does (bench_port.h), prints {"ready":true}, then N times writes
// one byte with an overlapped write and waits, with an overlapped read, for
// the byte the far end echoes; it prints one JSON line with each round trip
// in microseconds.
//
//     plain_roundtrip COM5 500
#include <windows.h>

#include "bench_port.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const DWORD kGiveUpMs = 5000;

// One overlapped operation waited for; false on failure or time-out.
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

// Writes `by` and reads bytes until it comes back; false when it does not.
bool RoundTrip(HANDLE hPort, OVERLAPPED &olWrite, OVERLAPPED &olRead, BYTE by)
{
    DWORD dwDone = 0;
    ResetEvent(olWrite.hEvent);
    if (!Finish(hPort, olWrite, WriteFile(hPort, &by, 1, &dwDone, &olWrite), dwDone) || dwDone != 1)
        return false;
    for (;;) {
        BYTE byIn = 0;
        ResetEvent(olRead.hEvent);
        if (!Finish(hPort, olRead, ReadFile(hPort, &byIn, 1, &dwDone, &olRead), dwDone))
            return false;
        if (dwDone == 1 && byIn == by)
            return true;
    }
}

long long Microseconds(const LARGE_INTEGER &from, const LARGE_INTEGER &to, const LARGE_INTEGER &freq)
{
    return (to.QuadPart - from.QuadPart) * 1000000 / freq.QuadPart;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain_roundtrip COMn count\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    HANDLE hPort = OpenPort(argv[1]);
    if (hPort == INVALID_HANDLE_VALUE) {
        std::printf("{\"ready\":false,\"error\":%lu}\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    // Reads wait for the byte rather than return at once.
    COMMTIMEOUTS timeouts = {0, 0, kGiveUpMs, 0, 0};
    SetCommTimeouts(hPort, &timeouts);
    OVERLAPPED olWrite = {}, olRead = {};
    olWrite.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    olRead.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);
    LARGE_INTEGER freq, from, to;
    QueryPerformanceFrequency(&freq);
    std::string list;
    int done = 0;
    for (; done < count; ++done) {
        QueryPerformanceCounter(&from);
        if (!RoundTrip(hPort, olWrite, olRead, static_cast<BYTE>('a' + done % 26)))
            break;
        QueryPerformanceCounter(&to);
        list += (done ? "," : "") + std::to_string(Microseconds(from, to, freq));
    }
    std::printf("{\"done\":%d,\"us\":[%s]}\n", done, list.c_str());
    std::fflush(stdout);
    CloseHandle(olWrite.hEvent);
    CloseHandle(olRead.hEvent);
    CloseHandle(hPort);
    return done == count ? 0 : 1;
}
