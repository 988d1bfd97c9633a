// Arbitrary reads, ticks and markers for the text and hex log: every call
// that has room takes something, the output is whole lines within their
// bound with no control character but TAB, and in a text log
// the reads fed byte by byte give the same lines as fed whole.
#include "fuzz_require.h"
#include "log_format.h"

#include <cstring>
#include <string>

namespace {

LogWriter gstLog;

std::string fnDrain()
{
    std::string str(gstLog.m_achOut, gstLog.m_dwOut);
    gstLog.m_dwOut = 0;
    return str;
}

void fnFeed(LogDir nDir, const std::uint8_t *pby, std::uint32_t dwCount, std::uint64_t qwMs,
            std::string &strOut)
{
    while (dwCount > 0) {
        const std::uint32_t dwTaken = fnLogFeed(gstLog, nDir, pby, dwCount, qwMs);
        Require(dwTaken > 0 && dwTaken <= dwCount);
        strOut += fnDrain();
        pby += dwTaken;
        dwCount -= dwTaken;
    }
}

// Steps of a flag byte (kind, direction, time step) and, for a read, a
// length byte and its bytes. bSplit feeds reads a byte at a time.
std::string fnRun(const LogSettings &stSet, bool bConsole, const std::uint8_t *pby, std::size_t cb,
                  bool bSplit)
{
    std::uint64_t qwMs = 1700000000000;
    fnLogStart(gstLog, stSet, bConsole, qwMs);
    std::string strOut;
    for (std::size_t n = 0; n + 1 < cb;) {
        const std::uint8_t byFlags = pby[n++];
        qwMs += (byFlags >> 3) * 97u;
        const LogDir nDir = byFlags & 4 ? kLogSent : kLogReceived;
        if ((byFlags & 3) == 1) {
            Require(fnLogTick(gstLog, qwMs));
        } else if ((byFlags & 3) == 2) {
            Require(fnLogMark(gstLog, static_cast<LogMark>(pby[n++] % kLogMarkCount), "COM3 9600", qwMs));
        } else {
            const std::uint32_t dwLen =
                pby[n] * 4u < cb - n - 1 ? pby[n] * 4u : static_cast<std::uint32_t>(cb - n - 1);
            for (std::uint32_t i = 0; i < dwLen; i += bSplit ? 1 : dwLen) {
                fnFeed(nDir, pby + n + 1 + i, bSplit ? 1 : dwLen, qwMs, strOut);
            }
            n += 1 + dwLen;
        }
        strOut += fnDrain();
    }
    return strOut;
}

void fnCheckLines(const std::string &strOut)
{
    std::size_t nStart = 0;
    for (std::size_t n = strOut.find('\n'); n != std::string::npos; n = strOut.find('\n', nStart)) {
        Require(n > nStart && strOut[n - 1] == '\r' && n + 1 - nStart <= kLogLineMax);
        for (std::size_t i = nStart; i + 1 < n; ++i) {
            const std::uint8_t by = static_cast<std::uint8_t>(strOut[i]);
            Require(by >= 0x20 || by == '\t');
        }
        nStart = n + 1;
    }
    Require(nStart == strOut.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 1 || cbData > 8192) {
        return 0;
    }
    LogSettings stSet = fnLogDefaults();
    stSet.m_nFormat = pbyData[0] & 1 ? kLogHex : kLogText;
    stSet.m_nStamp = (pbyData[0] >> 1) % 3;
    stSet.m_nDirs = (pbyData[0] >> 3) & 1;
    const bool bConsole = (pbyData[0] >> 4) & 1;
    const std::string strWhole = fnRun(stSet, bConsole, pbyData + 1, cbData - 1, false);
    fnCheckLines(strWhole);
    if (stSet.m_nFormat == kLogText) {
        Require(strWhole == fnRun(stSet, bConsole, pbyData + 1, cbData - 1, true));
    }
    return 0;
}
