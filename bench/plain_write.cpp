// plain_write: the fastest this machine and Wine move a file out through a
// COM port in 512-byte overlapped writes with one outstanding, as the
// yardstick for ZEVRIK's file transmission. It opens the port as ZEVRIK
// does (overlapped, default time-outs, driver queues of 2048 and 1024
// bytes), prints {"ready":true}, sends the whole file and prints one JSON
// line with the count, the time from the first write to the last completion
// and the number of writes.
//
//     plain_write COM5 Z:\path\to\file
#include <windows.h>

#include "bench_port.h"

#include <cstdio>
#include <vector>

namespace {

const DWORD kChunk = 512;
const DWORD kWriteGiveUpMs = 10000;

bool ReadWholeFile(const char* pszName, std::vector<BYTE>& data)
{
    HANDLE hFile = CreateFileA(pszName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD dwSize = GetFileSize(hFile, nullptr);
    data.resize(dwSize);
    DWORD dwRead = 0;
    bool bOk = dwSize == 0 || (ReadFile(hFile, data.data(), dwSize, &dwRead, nullptr) && dwRead == dwSize);
    CloseHandle(hFile);
    return bOk;
}

// One overlapped write of a chunk, waited for; the bytes it took, 0 on failure.
DWORD WriteOnce(HANDLE hPort, OVERLAPPED& ol, const BYTE* pby, DWORD dwLen)
{
    DWORD dwWritten = 0;
    ResetEvent(ol.hEvent);
    if (WriteFile(hPort, pby, dwLen, &dwWritten, &ol)) return dwWritten;
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    if (WaitForSingleObject(ol.hEvent, kWriteGiveUpMs) != WAIT_OBJECT_0) {
        CancelIo(hPort);
        return 0;
    }
    if (!GetOverlappedResult(hPort, &ol, &dwWritten, FALSE)) return 0;
    return dwWritten;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain_write COMn file\n");
        return 2;
    }
    std::vector<BYTE> data;
    if (!ReadWholeFile(argv[2], data)) {
        std::printf("{\"ready\":false,\"error\":\"file\"}\n");
        return 1;
    }
    HANDLE hPort = OpenPort(argv[1]);
    if (hPort == INVALID_HANDLE_VALUE) {
        std::printf("{\"ready\":false,\"error\":%lu}\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    OVERLAPPED ol = {};
    ol.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);
    LARGE_INTEGER first, last, freq;
    QueryPerformanceCounter(&first);
    size_t sent = 0;
    unsigned long long writes = 0;
    while (sent < data.size()) {
        DWORD dwLen = static_cast<DWORD>(data.size() - sent < kChunk ? data.size() - sent : kChunk);
        DWORD dwWritten = WriteOnce(hPort, ol, data.data() + sent, dwLen);
        if (dwWritten == 0) break;
        sent += dwWritten;
        ++writes;
    }
    QueryPerformanceCounter(&last);
    QueryPerformanceFrequency(&freq);
    double seconds = static_cast<double>(last.QuadPart - first.QuadPart) / static_cast<double>(freq.QuadPart);
    std::printf("{\"bytes\":%llu,\"writes\":%llu,\"seconds\":%.6f}\n", static_cast<unsigned long long>(sent), writes,
                seconds);
    std::fflush(stdout);
    CloseHandle(ol.hEvent);
    CloseHandle(hPort);
    return sent == data.size() ? 0 : 1;
}
