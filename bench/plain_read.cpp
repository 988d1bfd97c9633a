// plain_read: the fastest this machine and Wine move bytes from a COM port
// into a program, as the yardstick for the terminal's receive display (512-byte
// reads) and for its file capture (1024-byte reads). It opens the port for
// overlapped I/O with the terminal's default time-outs, reads until the given
// number of bytes came, and prints one JSON line with the count, the time from
// the first byte to the last and an FNV-1a hash of everything read.
//
//     plain_read COM5 4194304 [read size, default 512, at most 4096]
//
// It prints {"ready":true} once the port is open, so the sender can start.
#include <windows.h>

#include "bench_port.h"

#include <cstdio>
#include <cstdlib>

namespace {

const DWORD kDefaultReadSize = 512;
const DWORD kMaxReadSize = 4096;
const DWORD kIdleGiveUpMs = 10000;

struct Count {
    unsigned long long bytes;
    unsigned long long reads;
    unsigned int hash;
    LARGE_INTEGER first;
    LARGE_INTEGER last;
};

void Account(Count& count, const BYTE* pbyData, DWORD dwLen)
{
    if (dwLen == 0) return;
    if (count.bytes == 0) QueryPerformanceCounter(&count.first);
    QueryPerformanceCounter(&count.last);
    for (DWORD i = 0; i < dwLen; ++i) {
        count.hash = (count.hash ^ pbyData[i]) * 16777619u;
    }
    count.bytes += dwLen;
    ++count.reads;
}

// One overlapped read; false when nothing came for kIdleGiveUpMs or the port failed.
bool ReadOnce(HANDLE hPort, OVERLAPPED& ol, DWORD dwReadSize, Count& count)
{
    BYTE abyBuf[kMaxReadSize];
    DWORD dwRead = 0;
    ResetEvent(ol.hEvent);
    if (!ReadFile(hPort, abyBuf, dwReadSize, &dwRead, &ol)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(ol.hEvent, kIdleGiveUpMs) != WAIT_OBJECT_0) {
            CancelIo(hPort);
            return false;
        }
        // Wine fails a read that its time-outs ended with ERROR_TIMEOUT, yet
        // counts the bytes it got.
        if (!GetOverlappedResult(hPort, &ol, &dwRead, FALSE) && GetLastError() != ERROR_TIMEOUT) return false;
    }
    Account(count, abyBuf, dwRead);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    DWORD dwReadSize = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : kDefaultReadSize;
    if (argc < 3 || argc > 4 || dwReadSize == 0 || dwReadSize > kMaxReadSize) {
        std::fprintf(stderr, "usage: plain_read COMn bytes [read size 1..4096]\n");
        return 2;
    }
    unsigned long long wanted = std::strtoull(argv[2], nullptr, 10);
    HANDLE hPort = OpenPort(argv[1]);
    if (hPort == INVALID_HANDLE_VALUE) {
        std::printf("{\"ready\":false,\"error\":%lu}\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    OVERLAPPED ol = {};
    ol.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);
    Count count = {0, 0, 2166136261u, {}, {}};
    while (count.bytes < wanted && ReadOnce(hPort, ol, dwReadSize, count)) {
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    double seconds = static_cast<double>(count.last.QuadPart - count.first.QuadPart) / static_cast<double>(freq.QuadPart);
    std::printf("{\"bytes\":%llu,\"reads\":%llu,\"seconds\":%.6f,\"fnv1a\":%u}\n", count.bytes, count.reads, seconds,
                count.hash);
    std::fflush(stdout);
    CloseHandle(ol.hEvent);
    CloseHandle(hPort);
    return count.bytes >= wanted ? 0 : 1;
}
