// Proves a virtual cable of the rig: opens both of its ends as COM ports the
// way ZEVRIK opens a port and passes random bytes both ways at once.
//
//   cable_test.exe COMa COMb [bytes-each-way [baud]]
//
// Exit code 0 only when every byte arrived, in order, at the other end.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kMaxBytes = 1024 * 1024;
const DWORD kChunk = 512;
const DWORD kStallMs = 10000;

struct End {
    const char *pszName;
    HANDLE hPort;
    unsigned char abyTx[kMaxBytes];
    unsigned char abyRx[kMaxBytes];
    DWORD dwSent;
    DWORD dwReceived;
    DWORD dwReads;
    DWORD dwError;
    char achError[128];
    End *pPeer;
};

End gstA;
End gstB;
DWORD gdwBytes = 64 * 1024;
DWORD gdwBaud = CBR_115200;

void FillRandom(unsigned char *pby, DWORD dwLen, unsigned int &uSeed) {
    for (DWORD i = 0; i < dwLen; ++i) {
        uSeed ^= uSeed << 13;
        uSeed ^= uSeed >> 17;
        uSeed ^= uSeed << 5;
        pby[i] = static_cast<unsigned char>(uSeed >> 24);
    }
}

void Fail(End &e, const char *pszStep) {
    e.dwError = GetLastError();
    std::snprintf(e.achError, sizeof(e.achError), "%s failed, error %lu", pszStep,
                  static_cast<unsigned long>(e.dwError));
    if (e.dwError == 0) {
        e.dwError = 1;
    }
}

bool OpenEnd(End &e) {
    char achPath[32];
    std::snprintf(achPath, sizeof(achPath), "\\\\.\\%s", e.pszName);
    e.hPort = CreateFileA(achPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, NULL);
    if (e.hPort == INVALID_HANDLE_VALUE) {
        Fail(e, "CreateFileA");
        return false;
    }
    DCB stDcb;
    std::memset(&stDcb, 0, sizeof(stDcb));
    stDcb.DCBlength = sizeof(stDcb);
    if (!GetCommState(e.hPort, &stDcb)) {
        Fail(e, "GetCommState");
        return false;
    }
    stDcb.BaudRate = gdwBaud;
    stDcb.ByteSize = 8;
    stDcb.Parity = NOPARITY;
    stDcb.StopBits = ONESTOPBIT;
    stDcb.fBinary = TRUE;
    stDcb.fParity = FALSE;
    stDcb.fOutxCtsFlow = FALSE;
    stDcb.fOutxDsrFlow = FALSE;
    stDcb.fOutX = FALSE;
    stDcb.fInX = FALSE;
    if (!SetCommState(e.hPort, &stDcb)) {
        Fail(e, "SetCommState");
        return false;
    }
    COMMTIMEOUTS stTo;
    std::memset(&stTo, 0, sizeof(stTo));
    stTo.ReadIntervalTimeout = 1;
    if (!SetCommTimeouts(e.hPort, &stTo)) {
        Fail(e, "SetCommTimeouts");
        return false;
    }
    return true;
}

// Keeps one write and one read outstanding on the end until all its bytes
// went out and all the peer's bytes came in.
struct Pump {
    End *pEnd;
    OVERLAPPED stWr;
    OVERLAPPED stRd;
    bool bWriting;
    bool bReading;
    DWORD dwLastProgress;
};

bool StartWrite(Pump &p) {
    End &e = *p.pEnd;
    DWORD dwLen = gdwBytes - e.dwSent < kChunk ? gdwBytes - e.dwSent : kChunk;
    ResetEvent(p.stWr.hEvent);
    DWORD dwDone = 0;
    if (WriteFile(e.hPort, e.abyTx + e.dwSent, dwLen, &dwDone, &p.stWr)) {
        e.dwSent += dwDone;
        p.dwLastProgress = GetTickCount();
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        Fail(e, "WriteFile");
        return false;
    }
    p.bWriting = true;
    return true;
}

bool StartRead(Pump &p) {
    End &e = *p.pEnd;
    DWORD dwLen = gdwBytes - e.dwReceived < kChunk ? gdwBytes - e.dwReceived : kChunk;
    ResetEvent(p.stRd.hEvent);
    DWORD dwDone = 0;
    if (ReadFile(e.hPort, e.abyRx + e.dwReceived, dwLen, &dwDone, &p.stRd)) {
        e.dwReceived += dwDone;
        ++e.dwReads;
        p.dwLastProgress = GetTickCount();
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        Fail(e, "ReadFile");
        return false;
    }
    p.bReading = true;
    return true;
}

bool Finish(Pump &p, OVERLAPPED &st, DWORD &dwCount, const char *pszStep) {
    DWORD dwDone = 0;
    if (!GetOverlappedResult(p.pEnd->hPort, &st, &dwDone, FALSE)) {
        Fail(*p.pEnd, pszStep);
        return false;
    }
    dwCount += dwDone;
    if (dwDone) {
        p.dwLastProgress = GetTickCount();
    }
    return true;
}

bool PumpOnce(Pump &p) {
    End &e = *p.pEnd;
    if (!p.bWriting && e.dwSent < gdwBytes && !StartWrite(p)) {
        return false;
    }
    if (!p.bReading && e.dwReceived < gdwBytes && !StartRead(p)) {
        return false;
    }
    HANDLE ahWait[2];
    DWORD dwCount = 0;
    if (p.bWriting) {
        ahWait[dwCount++] = p.stWr.hEvent;
    }
    if (p.bReading) {
        ahWait[dwCount++] = p.stRd.hEvent;
    }
    if (dwCount == 0) {
        return true;
    }
    DWORD dwWait = WaitForMultipleObjects(dwCount, ahWait, FALSE, 200);
    if (dwWait == WAIT_FAILED) {
        Fail(e, "WaitForMultipleObjects");
        return false;
    }
    if (p.bWriting && WaitForSingleObject(p.stWr.hEvent, 0) == WAIT_OBJECT_0) {
        p.bWriting = false;
        if (!Finish(p, p.stWr, e.dwSent, "WriteFile completion")) {
            return false;
        }
    }
    if (p.bReading && WaitForSingleObject(p.stRd.hEvent, 0) == WAIT_OBJECT_0) {
        p.bReading = false;
        ++e.dwReads;
        if (!Finish(p, p.stRd, e.dwReceived, "ReadFile completion")) {
            return false;
        }
    }
    return true;
}

Pump gastPump[2];

DWORD WINAPI PumpThread(LPVOID pv) {
    Pump &p = *static_cast<Pump *>(pv);
    End &e = *p.pEnd;
    p.stWr.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    p.stRd.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!p.stWr.hEvent || !p.stRd.hEvent) {
        Fail(e, "CreateEventA");
        return 1;
    }
    p.dwLastProgress = GetTickCount();
    while (e.dwSent < gdwBytes || e.dwReceived < gdwBytes || p.bWriting || p.bReading) {
        if (!PumpOnce(p)) {
            break;
        }
        if (GetTickCount() - p.dwLastProgress > kStallMs) {
            SetLastError(ERROR_TIMEOUT);
            Fail(e, "transfer (no progress for 10 s)");
            break;
        }
    }
    if (p.bWriting || p.bReading) {
        CancelIo(e.hPort);
    }
    CloseHandle(p.stWr.hEvent);
    CloseHandle(p.stRd.hEvent);
    return e.dwError;
}

bool Check(const End &e) {
    bool bOk = true;
    if (e.dwError) {
        std::printf("%s: %s\n", e.pszName, e.achError);
        bOk = false;
    }
    if (e.dwReceived != gdwBytes) {
        std::printf("%s: received %lu of %lu bytes\n", e.pszName, static_cast<unsigned long>(e.dwReceived),
                    static_cast<unsigned long>(gdwBytes));
        return false;
    }
    for (DWORD i = 0; i < gdwBytes; ++i) {
        if (e.abyRx[i] != e.pPeer->abyTx[i]) {
            std::printf("%s: byte %lu is %02X, %s sent %02X\n", e.pszName, static_cast<unsigned long>(i),
                        e.abyRx[i], e.pPeer->pszName, e.pPeer->abyTx[i]);
            return false;
        }
    }
    return bOk;
}

bool ParseArgs(int argc, char **argv) {
    if (argc < 3 || argc > 5) {
        return false;
    }
    gstA.pszName = argv[1];
    gstB.pszName = argv[2];
    if (argc >= 4) {
        gdwBytes = static_cast<DWORD>(std::strtoul(argv[3], NULL, 10));
    }
    if (argc >= 5) {
        gdwBaud = static_cast<DWORD>(std::strtoul(argv[4], NULL, 10));
    }
    return gdwBytes > 0 && gdwBytes <= kMaxBytes && gdwBaud > 0;
}

} // namespace

int main(int argc, char **argv) {
    if (!ParseArgs(argc, argv)) {
        std::printf("usage: cable_test COMa COMb [bytes-each-way (1..%lu) [baud]]\n",
                    static_cast<unsigned long>(kMaxBytes));
        return 2;
    }
    gstA.pPeer = &gstB;
    gstB.pPeer = &gstA;
    unsigned int uSeed = GetTickCount() | 1u;
    std::printf("seed %u, %lu bytes each way at %lu baud\n", uSeed, static_cast<unsigned long>(gdwBytes),
                static_cast<unsigned long>(gdwBaud));
    FillRandom(gstA.abyTx, gdwBytes, uSeed);
    FillRandom(gstB.abyTx, gdwBytes, uSeed);
    if (!OpenEnd(gstA) || !OpenEnd(gstB)) {
        Check(gstA);
        Check(gstB);
        return 1;
    }
    DWORD dwStart = GetTickCount();
    HANDLE ahThread[2];
    gastPump[0].pEnd = &gstA;
    gastPump[1].pEnd = &gstB;
    ahThread[0] = CreateThread(NULL, 0, PumpThread, &gastPump[0], 0, NULL);
    ahThread[1] = CreateThread(NULL, 0, PumpThread, &gastPump[1], 0, NULL);
    if (!ahThread[0] || !ahThread[1]) {
        std::printf("CreateThread failed, error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    WaitForMultipleObjects(2, ahThread, TRUE, INFINITE);
    DWORD dwMs = GetTickCount() - dwStart;
    CloseHandle(ahThread[0]);
    CloseHandle(ahThread[1]);
    CloseHandle(gstA.hPort);
    CloseHandle(gstB.hPort);
    bool bOk = Check(gstA) && Check(gstB);
    double dSec = dwMs ? dwMs / 1000.0 : 0.001;
    std::printf("%s -> %s: %lu bytes in %lu reads; %s -> %s: %lu bytes in %lu reads\n", gstA.pszName,
                gstB.pszName, static_cast<unsigned long>(gstB.dwReceived), static_cast<unsigned long>(gstB.dwReads),
                gstB.pszName, gstA.pszName, static_cast<unsigned long>(gstA.dwReceived),
                static_cast<unsigned long>(gstA.dwReads));
    std::printf("%lu ms, %.0f bytes/s each way\n", static_cast<unsigned long>(dwMs), gdwBytes / dSec);
    std::printf(bOk ? "cable OK: byte-identical both ways\n" : "cable FAILED\n");
    return bOk ? 0 : 1;
}
