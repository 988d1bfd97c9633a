// Tries to open each path given (\\.\COMn, Z:\dev\ttyS0, ...) for reading and
// writing, as a program under the rig might, and reports each result.
//
//   guard_probe.exe PATH...
//
// Wine opens a COM name whose device is missing as a bare device object, with
// no line behind it; only a handle on which GetCommState succeeds reached a
// real line.  The exit code is the number of paths that reached one.

#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
    int nOpened = 0;
    for (int i = 1; i < argc; ++i) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            std::printf("refused %s error %lu\n", argv[i], static_cast<unsigned long>(GetLastError()));
            continue;
        }
        DCB stDcb;
        ZeroMemory(&stDcb, sizeof(stDcb));
        stDcb.DCBlength = sizeof(stDcb);
        BOOL bLine = GetCommState(h, &stDcb);
        DWORD dwError = GetLastError();
        CloseHandle(h);
        if (!bLine) {
            std::printf("no line behind %s (GetCommState error %lu)\n", argv[i],
                        static_cast<unsigned long>(dwError));
            continue;
        }
        std::printf("OPENED %s at %lu baud\n", argv[i], static_cast<unsigned long>(stDcb.BaudRate));
        ++nOpened;
    }
    return nOpened;
}
