// What the transfer fuzz targets share: a file source and sink that check
// the engine's calls, and a run that feeds the input in chunks under a fake
// clock and then lets the engine time out to its end.
#ifndef ZEVRIK_FUZZ_XFER_COMMON_H
#define ZEVRIK_FUZZ_XFER_COMMON_H

#include "fuzz_require.h"
#include "xfer_session.h"

#include <cstring>

struct FuzzSource : XferSource {
    std::uint32_t dwFiles = 0;
    std::uint32_t dwSize = 0;
    bool fnNextFile(XferFileInfo &st) override
    {
        if (dwFiles == 2) {
            return false;
        }
        std::memset(&st, 0, sizeof st);
        std::memcpy(st.m_achName, dwFiles == 0 ? "a.bin" : "b\0\0\0\0", 6);
        st.m_qwSize = dwFiles == 0 ? dwSize : 3;
        st.m_bSizeKnown = true;
        ++dwFiles;
        return true;
    }
    std::int32_t fnRead(std::uint64_t qwAt, std::uint8_t *pby, std::uint32_t cb) override
    {
        const std::uint64_t qwSize = dwFiles == 1 ? dwSize : 3;
        Require(cb <= 1024);
        const std::uint32_t n =
            qwAt >= qwSize ? 0 : static_cast<std::uint32_t>(qwSize - qwAt < cb ? qwSize - qwAt : cb);
        std::memset(pby, 0x18, n); // every byte one that ZMODEM escapes
        return static_cast<std::int32_t>(n);
    }
};

struct FuzzSink : XferSink {
    bool bOpen = false;
    bool bTruncates = false; // XMODEM and YMODEM write no more than the header's size
    std::uint64_t qwWritten = 0;
    std::uint64_t qwLimit = 0; // the header's size, when given
    XferOpen fnOpen(const XferFileInfo &st) override
    {
        Require(!bOpen);
        Require(std::memchr(st.m_achName, 0, sizeof st.m_achName) != nullptr);
        bOpen = true;
        qwWritten = 0;
        qwLimit = st.m_bSizeKnown ? st.m_qwSize : ~0ull;
        return st.m_achName[0] == 's' ? kXferOpenSkip : kXferOpenOk;
    }
    bool fnWrite(const std::uint8_t *pby, std::uint32_t cb) override
    {
        Require(bOpen && cb > 0 && cb <= 1024);
        volatile std::uint8_t by = pby[cb - 1]; // inside what the engine handed over
        (void)by;
        qwWritten += cb;
        Require(!bTruncates || qwWritten <= qwLimit);
        return qwWritten < (1u << 20); // a disk that fills at 1 MiB
    }
    void fnClose(bool) override
    {
        Require(bOpen);
        bOpen = false;
    }
};

// Feeds pby in chunks whose sizes and clock steps byClock chooses (a few
// milliseconds, every 16th chunk up to 7 s, so that time-outs fall between
// bytes too), then only time: the engine must end within a bounded number
// of time-outs, and its output fit its buffer.
inline void fnFuzzRun(XferSession &st, const std::uint8_t *pby, std::size_t cb, std::uint8_t byClock,
                      std::uint32_t dwNow, std::uint32_t dwTimeOuts)
{
    static std::uint8_t abyOut[kXferOutMax + 1];
    std::uint32_t dwChunk = 0;
    for (std::size_t i = 0; i < cb; ++dwChunk) {
        const std::size_t cbWanted = 1 + (byClock * dwChunk + byClock / 4u) % 61u;
        const std::size_t cbChunk = cbWanted < cb - i ? cbWanted : cb - i;
        dwNow += dwChunk % 16 == 15 ? (byClock % 8u) * 1000u : 3u;
        fnXferFeed(st, pby + i, cbChunk, dwNow);
        Require(fnXferTakeOutput(st, abyOut, sizeof abyOut) <= kXferOutMax);
        i += cbChunk;
    }
    for (std::uint32_t n = 0; n < dwTimeOuts && fnXferRunning(st); ++n) {
        dwNow += fnXferWaitMs(st, dwNow);
        fnXferFeed(st, nullptr, 0, dwNow);
        Require(fnXferTakeOutput(st, abyOut, sizeof abyOut) <= kXferOutMax);
    }
    Require(!fnXferRunning(st));
    Require(!st.m_stCore.m_bFileOpen);
}

#endif
