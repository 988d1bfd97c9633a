#include "xfer_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

XferOutcome Outcome(const char *pszProtocol, bool bSend, XferResult nResult, std::uint32_t dwFiles,
                    std::uint64_t qwBytes, std::uint32_t dwMs)
{
    XferOutcome st = {};
    st.m_pszProtocol = pszProtocol;
    st.m_bSend = bSend;
    st.m_nResult = nResult;
    st.m_dwFiles = dwFiles;
    st.m_qwBytes = qwBytes;
    st.m_dwMs = dwMs;
    return st;
}

XferOutcome Cut(XferOutcome st, const char *pszName, std::uint64_t qwDone, std::uint64_t qwSize)
{
    st.m_bCut = true;
    std::snprintf(st.m_achCutName, sizeof st.m_achCutName, "%s", pszName);
    st.m_qwCutDone = qwDone;
    st.m_qwCutSize = qwSize;
    return st;
}

std::string Report(const XferOutcome &st)
{
    char ach[1024];
    fnXferReportText(st, ach, sizeof ach);
    return ach;
}

// The end message: a failure is never worded as success, a receive that
// ended early names the file it kept and what it holds, and the files that
// came whole before it are counted apart from it.
TEST(XferReport, EndMessages)
{
    XferOutcome stPortLost = Outcome("YMODEM", false, kXferSuccess, 1, 10, 500);
    stPortLost.m_pszGlueReason = "the port closed or its device was lost";
    XferOutcome stRenamed = Outcome("ZMODEM", false, kXferSuccess, 3, 3, 20);
    stRenamed.m_dwRenamed = 2;
    std::snprintf(stRenamed.m_achRenamedFrom, kXferNameMax, "%s", "fw.bin");
    std::snprintf(stRenamed.m_achRenamedTo, kXferNameMax, "%s", "fw (1).bin");
    XferOutcome stSkipped = Outcome("ZMODEM", true, kXferSuccess, 1, 1, 5);
    stSkipped.m_dwSkipped = 1;
    const struct {
        XferOutcome stOut;
        const char *pszWant;
    } astCases[] = {
        {Outcome("XMODEM", true, kXferSuccess, 1, 204800, 14200),
         "XMODEM send complete: 1 file, 204800 bytes in 14.20 s (14.0 KB/s)."},
        {Outcome("ZMODEM", false, kXferSuccess, 0, 0, 0),
         "ZMODEM receive complete: 0 files, 0 bytes in 0.00 s (-)."},
        {Cut(Outcome("ZMODEM", false, kXferCancelledByFar, 2, 300, 900), "big.bin", 65536, 0),
         "ZMODEM receive failed: cancelled by the far end.\r\nbig.bin is incomplete: it holds 65536 "
         "bytes.\r\n"
         "2 earlier files, 300 bytes, came whole."},
        {Cut(Outcome("XMODEM", false, kXferWriteFailed, 0, 0, 10), "x.bin", 1, 0),
         "XMODEM receive failed: the file could not be written (disk full?).\r\nx.bin is incomplete: it "
         "holds 1 byte."},
        {Outcome("YMODEM", false, kXferTimedOut, 0, 0, 0),
         "YMODEM receive failed: time-out waiting for the sender.\r\nNo file was received."},
        {Cut(Outcome("YMODEM", true, kXferTooManyRetries, 1, 5, 10), "b.bin", 2048, 10000),
         "YMODEM send failed: too many retries.\r\nb.bin stopped after 2048 of 10000 bytes.\r\n"
         "1 earlier file, 5 bytes, went whole."},
        {Outcome("XMODEM", true, kXferTimedOut, 0, 0, 0),
         "XMODEM send failed: time-out waiting for the receiver."},
        {stPortLost, "YMODEM receive failed: the port closed or its device was lost.\r\n"
                     "1 earlier file, 10 bytes, came whole."},
        {stRenamed, "ZMODEM receive complete: 3 files, 3 bytes in 0.02 s (0.1 KB/s).\r\n"
                    "fw.bin was saved as fw (1).bin: a file of that name was there. So were 1 more file."},
        {stSkipped, "ZMODEM send complete: 1 file, 1 byte in 0.00 s (0.1 KB/s).\r\n"
                    "1 file was skipped by the receiver."},
    };
    for (const auto &stCase : astCases) {
        EXPECT_EQ(stCase.pszWant, Report(stCase.stOut));
    }
}

TEST(XferReport, MessageStaysInsideItsBuffer)
{
    const XferOutcome st = Cut(Outcome("ZMODEM", false, kXferCancelledByUser, 9, 9, 9), "name.bin", 9, 0);
    char ach[24];
    std::memset(ach, 'x', sizeof ach);
    fnXferReportText(st, ach, 16);
    EXPECT_STREQ("ZMODEM receive ", ach);
    EXPECT_EQ('x', ach[16]);
    fnXferReportText(st, ach, 0);
    EXPECT_EQ('Z', ach[0]);
}

TEST(XferReport, DialogFigures)
{
    char ach[32];
    const struct {
        std::uint64_t qwLeft, qwDone;
        std::uint32_t dwMs;
        const char *pszRate, *pszLeft;
    } astCases[] = {
        {100, 0, 0, "-", "-"},                // nothing moved yet
        {100, 999, 1000, "0.9 KB/s", "0:01"}, // rounded up, never 0:00 with bytes left
        {0, 1024, 1000, "1.0 KB/s", "0:00"},
        {59 * 1024, 1024, 1000, "1.0 KB/s", "0:59"},
        {3661ull * 11520, 11520, 1000, "11.2 KB/s", "1:01:01"},
        {4000000000ull, 4000000000ull, 4000000000u, "0.9 KB/s", "1111:06:40"},
    };
    for (const auto &stCase : astCases) {
        fnXferRateText(stCase.qwDone, stCase.dwMs, ach, sizeof ach);
        EXPECT_STREQ(stCase.pszRate, ach) << stCase.qwDone;
        fnXferTimeLeftText(stCase.qwLeft, stCase.qwDone, stCase.dwMs, ach, sizeof ach);
        EXPECT_STREQ(stCase.pszLeft, ach) << stCase.qwLeft;
    }
    fnXferBytesText(12, 0, false, ach, sizeof ach);
    EXPECT_STREQ("12", ach);
    fnXferBytesText(5000000000ull, 6000000000ull, true, ach, sizeof ach);
    EXPECT_STREQ("5000000000 of 6000000000", ach);
}

} // namespace
