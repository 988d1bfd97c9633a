// Cost of the log's work per MiB on its own thread, beside the plain read
// loop of the receive thread (built and run by bench/log_format; native,
// optimised, no sanitisers).
//
// The plain loop reads a 16 MiB stream of numbered lines from a pipe in
// 512-byte reads and touches every byte. The hand-over is what the receive
// thread adds: each read put into the ring as a record, and taken out again
// by the log's thread. The formats turn the reads into lines: text with the
// view off, text with the console view on (the stream then holds colour
// sequences), and hex. Best of three each, interleaved.
#include "log_format.h"
#include "log_ring.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::size_t kMiB = 1u << 20;
const std::size_t kStreamMiB = 16;
const std::size_t kRead = 512;

LogWriter gstWriter;
std::uint8_t gabyRing[4u << 20];

double fnMsPerMiB(std::chrono::steady_clock::time_point tStart, std::size_t cb)
{
    const double dMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
    return dMs / (static_cast<double>(cb) / kMiB);
}

std::vector<std::uint8_t> fnLines(bool bColour)
{
    std::vector<std::uint8_t> vec;
    char ach[64];
    for (unsigned n = 0; vec.size() < kStreamMiB * kMiB; ++n) {
        const int cch = std::snprintf(ach, sizeof ach, bColour ? "\033[3%um%014u\033[0m\r\n" : "%014u\r\n",
                                      bColour ? n % 8 : n, n);
        vec.insert(vec.end(), ach, ach + cch);
    }
    vec.resize(kStreamMiB * kMiB);
    return vec;
}

double fnReadLoop(const std::vector<std::uint8_t> &vec, unsigned *puSum)
{
    int aiPipe[2];
    if (pipe(aiPipe) != 0) {
        return -1;
    }
    std::thread stWriter([&] {
        for (std::size_t i = 0; i < vec.size();) {
            const ssize_t n = write(aiPipe[1], vec.data() + i, vec.size() - i);
            i += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        close(aiPipe[1]);
    });
    std::uint8_t aby[kRead];
    const auto tStart = std::chrono::steady_clock::now();
    for (ssize_t n; (n = read(aiPipe[0], aby, sizeof aby)) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
            *puSum += aby[i];
        }
    }
    const double dMs = fnMsPerMiB(tStart, vec.size());
    stWriter.join();
    close(aiPipe[0]);
    return dMs;
}

// Every read put as a record and taken out again, as the two threads do.
double fnHandOver(const std::vector<std::uint8_t> &vec, unsigned *puSum)
{
    static LogRing stRing;
    fnRingInit(stRing, gabyRing, sizeof gabyRing);
    std::uint8_t aby[4096];
    const auto tStart = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < vec.size(); i += kRead) {
        const LogRecord stRec = {static_cast<std::uint32_t>(kRead), kLogRecReceived, 0, 0, i};
        fnRingPut(stRing, stRec, vec.data() + i);
        LogRecord stOut;
        fnRingTake(stRing, stOut, aby, sizeof aby);
        *puSum += aby[0];
    }
    return fnMsPerMiB(tStart, vec.size());
}

// The log's thread: each read fed at its own time, the lines taken away.
double fnFormat(const std::vector<std::uint8_t> &vec, LogFormat nFormat, bool bConsole, std::size_t *pcbOut)
{
    LogSettings stSet = fnLogDefaults();
    stSet.m_nFormat = nFormat;
    const std::uint64_t qwStart = 1700000000000ull;
    fnLogStart(gstWriter, stSet, bConsole, qwStart);
    *pcbOut = 0;
    const auto tStart = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < vec.size(); i += kRead) {
        const std::uint64_t qwMs = qwStart + i / 92;
        for (std::uint32_t dwDone = 0; dwDone < kRead;) {
            dwDone += fnLogFeed(gstWriter, kLogReceived, vec.data() + i + dwDone,
                                static_cast<std::uint32_t>(kRead) - dwDone, qwMs);
            *pcbOut += gstWriter.m_dwOut;
            gstWriter.m_dwOut = 0;
        }
        fnLogTick(gstWriter, qwMs);
    }
    return fnMsPerMiB(tStart, vec.size());
}

void fnRow(const char *pszWhat, double dMsPerMiB, std::size_t cbOut)
{
    std::printf("%-44s %8.2f ms/MiB %7.2f ns/byte", pszWhat, dMsPerMiB, dMsPerMiB * 1e6 / kMiB);
    if (cbOut != 0) {
        std::printf("  (%.2f bytes written per byte)", static_cast<double>(cbOut) / (kStreamMiB * kMiB));
    }
    std::printf("\n");
}

} // namespace

int main()
{
    const std::vector<std::uint8_t> vecPlain = fnLines(false);
    const std::vector<std::uint8_t> vecColour = fnLines(true);
    unsigned uSum = 0;
    std::size_t acbOut[3] = {};
    double adMs[6] = {1e30, 1e30, 1e30, 1e30, 1e30, 1e30};
    for (int i = 0; i < 3; ++i) {
        adMs[0] = std::min(adMs[0], fnReadLoop(vecPlain, &uSum));
        adMs[1] = std::min(adMs[1], fnHandOver(vecPlain, &uSum));
        adMs[2] = std::min(adMs[2], fnFormat(vecPlain, kLogText, false, &acbOut[0]));
        adMs[3] = std::min(adMs[3], fnFormat(vecColour, kLogText, true, &acbOut[1]));
        adMs[4] = std::min(adMs[4], fnFormat(vecPlain, kLogHex, false, &acbOut[2]));
    }
    std::printf("log, %zu MiB of 16-byte numbered lines, %zu-byte reads (checksum %u)\n", kStreamMiB, kRead,
                uSum);
    fnRow("plain read loop (pipe), the floor", adMs[0], 0);
    fnRow("hand-over: ring put and take (receive side)", adMs[1], 0);
    fnRow("text, view off (log's thread)", adMs[2], acbOut[0]);
    fnRow("text, console view, colour sequences", adMs[3], acbOut[1]);
    fnRow("hex (log's thread)", adMs[4], acbOut[2]);
    return 0;
}
