// Arbitrary reads, ticks and markers for the text and hex log: a call with
// room always takes something, the output is whole lines within their bound
// with no control character but TAB, and in a text log the reads fed a byte
// at a time give the same lines as fed whole.
#include "fuzz_require.h"
#include "log_format.h"

#include <string>

namespace {

LogWriter gstLog;

// Steps of a flag byte (kind, direction, time step), then a marker's kind or
// a read's length (in fours) and bytes.
std::string fnRun(const LogSettings &stSet, bool bConsole, const std::uint8_t *pby, std::size_t cb,
                  bool bSplit)
{
    std::uint64_t qwMs = 1700000000000;
    fnLogStart(gstLog, stSet, bConsole, qwMs);
    std::string strOut;
    for (std::size_t n = 0; n + 1 < cb;) {
        const std::uint8_t byFlags = pby[n++];
        qwMs += (byFlags >> 3) * 97u;
        if ((byFlags & 3) == 1) {
            Require(fnLogTick(gstLog, qwMs));
        } else if ((byFlags & 3) == 2) {
            Require(fnLogMark(gstLog, static_cast<LogMark>(pby[n++] % kLogMarkCount), "COM3 9600", qwMs));
        }
        std::uint32_t dwLen = (byFlags & 3) == 0 ? pby[n] * 4u : 0;
        dwLen = dwLen < cb - n - 1 ? dwLen : static_cast<std::uint32_t>(cb - n - 1);
        for (std::uint32_t i = 0; i < dwLen;) {
            const std::uint32_t dwTaken = fnLogFeed(gstLog, byFlags & 4 ? kLogSent : kLogReceived,
                                                    pby + n + 1 + i, bSplit ? 1 : dwLen - i, qwMs);
            Require(dwTaken > 0 && i + dwTaken <= dwLen);
            i += dwTaken;
            strOut.append(gstLog.m_achOut, gstLog.m_dwOut);
            gstLog.m_dwOut = 0;
        }
        n += (byFlags & 3) == 0 ? 1 + dwLen : 0;
        strOut.append(gstLog.m_achOut, gstLog.m_dwOut);
        gstLog.m_dwOut = 0;
    }
    return strOut;
}

void fnCheckLines(const std::string &strOut)
{
    std::size_t nStart = 0;
    for (std::size_t n = strOut.find('\n'); n != std::string::npos; n = strOut.find('\n', nStart)) {
        Require(n > nStart && strOut[n - 1] == '\r' && n + 1 - nStart <= kLogLineMax);
        for (std::size_t i = nStart; i + 1 < n; ++i) {
            Require(static_cast<std::uint8_t>(strOut[i]) >= 0x20 || strOut[i] == '\t');
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
    Require(stSet.m_nFormat == kLogHex || strWhole == fnRun(stSet, bConsole, pbyData + 1, cbData - 1, true));
    return 0;
}
