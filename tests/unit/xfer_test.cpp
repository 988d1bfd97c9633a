#include "xfer_crc.h"
#include "xfer_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::uint8_t> Bytes;

struct MemFile {
    std::string strName;
    Bytes vecData;
    bool bComplete;
};

struct MemSource : XferSource {
    std::vector<MemFile> vecFiles;
    std::size_t nNext = 0;
    bool fnNextFile(XferFileInfo &st) override
    {
        if (nNext == vecFiles.size()) {
            return false;
        }
        std::memset(&st, 0, sizeof st);
        const MemFile &stFile = vecFiles[nNext++];
        std::snprintf(st.m_achName, sizeof st.m_achName, "%s", stFile.strName.c_str());
        st.m_qwSize = stFile.vecData.size();
        st.m_bSizeKnown = true;
        st.m_dwMtime = 0x5F000000;
        st.m_dwMode = 0100644;
        return true;
    }
    std::int32_t fnRead(std::uint64_t qwAt, std::uint8_t *pby, std::uint32_t cb) override
    {
        const Bytes &vec = vecFiles[nNext - 1].vecData;
        const std::size_t n = qwAt >= vec.size() ? 0 : std::min<std::size_t>(cb, vec.size() - qwAt);
        std::copy_n(vec.begin() + static_cast<std::ptrdiff_t>(qwAt), n, pby);
        return static_cast<std::int32_t>(n);
    }
};

struct MemSink : XferSink {
    std::vector<MemFile> vecFiles;
    bool bOpen = false;
    std::size_t nFailAfter = SIZE_MAX; // bytes the disk holds
    std::size_t nWritten = 0;
    std::string strSkip; // a file the user declines
    XferOpen fnOpen(const XferFileInfo &st) override
    {
        EXPECT_FALSE(bOpen);
        if (!strSkip.empty() && strSkip == st.m_achName) {
            return kXferOpenSkip;
        }
        vecFiles.push_back({st.m_achName, {}, false});
        bOpen = true;
        return kXferOpenOk;
    }
    bool fnWrite(const std::uint8_t *pby, std::uint32_t cb) override
    {
        EXPECT_TRUE(bOpen);
        if (nWritten + cb > nFailAfter) {
            return false;
        }
        nWritten += cb;
        vecFiles.back().vecData.insert(vecFiles.back().vecData.end(), pby, pby + cb);
        return true;
    }
    void fnClose(bool bComplete) override
    {
        EXPECT_TRUE(bOpen);
        vecFiles.back().bComplete = bComplete;
        bOpen = false;
    }
};

// Faults per byte, in 1/100000: each direction flips a bit, drops the byte;
// the receiver's ACKs are doubled now and then.
struct Faults {
    std::uint32_t dwFlip;
    std::uint32_t dwDrop;
    std::uint32_t dwDupAck;
};

struct Link {
    XferSession stTx, stRx;
    MemSource stSource;
    MemSink stSink;
    std::uint32_t dwNow = 1000;
    std::mt19937 rng{7};
    std::uint32_t dwChunkMax = 3000; // bytes per read

    void fnStart(const XferSettings &stSet)
    {
        fnXferStart(stTx, stSet, true, &stSource, nullptr, dwNow);
        fnXferStart(stRx, stSet, false, nullptr, &stSink, dwNow);
    }
    // Output of one side through the faults into the other; whether any moved.
    bool fnMove(XferSession &stFrom, XferSession &stTo, const Faults &stF, bool bBack)
    {
        std::uint8_t aby[4096];
        const std::size_t cb =
            fnXferTakeOutput(stFrom, aby, std::uniform_int_distribution<std::size_t>(1, dwChunkMax)(rng));
        Bytes vec;
        for (std::size_t i = 0; i < cb; ++i) {
            const std::uint32_t dwDice = rng() % 100000;
            if (dwDice < stF.dwDrop) {
                continue;
            }
            const std::uint8_t by = dwDice < stF.dwDrop + stF.dwFlip ? aby[i] ^ (1u << rng() % 8) : aby[i];
            vec.push_back(by);
            if (bBack && by == kXferAck && rng() % 100000 < stF.dwDupAck) {
                vec.push_back(by);
            }
        }
        fnXferFeed(stTo, vec.data(), vec.size(), dwNow);
        return cb > 0;
    }
    // Runs both ends to their ends, the clock jumping to the next time-out
    // while the line is idle; false when it did not end within the steps.
    bool fnRun(const Faults &stF)
    {
        for (int nStep = 0; nStep < 2000000; ++nStep) {
            const bool bMoved = fnMove(stTx, stRx, stF, false) | fnMove(stRx, stTx, stF, true);
            if (!fnXferRunning(stTx) && !fnXferRunning(stRx) && !bMoved) {
                return true;
            }
            if (!bMoved) {
                std::uint32_t dwWait = 60000;
                for (XferSession *p : {&stTx, &stRx}) {
                    dwWait = fnXferRunning(*p) ? std::min(dwWait, fnXferWaitMs(*p, dwNow)) : dwWait;
                }
                dwNow += dwWait + 1;
            } else {
                dwNow += 1;
            }
            fnXferFeed(stTx, nullptr, 0, dwNow);
            fnXferFeed(stRx, nullptr, 0, dwNow);
        }
        return false;
    }
};

Bytes fnRandom(std::size_t cb, unsigned uSeed)
{
    std::mt19937 rng(uSeed);
    Bytes vec(cb);
    for (std::uint8_t &by : vec) {
        by = static_cast<std::uint8_t>(rng());
    }
    // An XMODEM file has no size: its last byte must not look like padding.
    if (cb > 0 && vec.back() == kXferSub) {
        vec.back() = 0;
    }
    return vec;
}

XferSettings fnSettings(XferProtocol nProtocol, XmodemVariant nVariant = kXmodemCrc)
{
    XferSettings st = fnXferDefaultSettings();
    st.m_nProtocol = nProtocol;
    st.m_nXmodemVariant = nVariant;
    return st;
}

TEST(XferCrc, CheckValues)
{
    const std::uint8_t *pby = reinterpret_cast<const std::uint8_t *>("123456789");
    EXPECT_EQ(0x31C3, fnCrc16(0, pby, 9));
    EXPECT_EQ(0xCBF43926u, fnCrc32(0, pby, 9));
    EXPECT_EQ(0xCBF43926u, fnCrc32(fnCrc32(0, pby, 4), pby + 4, 5));
    EXPECT_EQ(0x31C3, fnCrc16(fnCrc16(0, pby, 3), pby + 3, 6));
}

struct ProtoCase {
    const char *pszName;
    XferSettings stSet;
};

std::vector<ProtoCase> fnProtocols()
{
    XferSettings stZ16 = fnSettings(kXferZmodem), stZEsc = fnSettings(kXferZmodem);
    stZ16.m_bZmodemCrc32 = false;
    stZEsc.m_bZmodemEscapeAll = true;
    return {{"XMODEM", fnSettings(kXferXmodem, kXmodemChecksum)},
            {"XMODEM-CRC", fnSettings(kXferXmodem, kXmodemCrc)},
            {"XMODEM-1K", fnSettings(kXferXmodem, kXmodem1k)},
            {"YMODEM", fnSettings(kXferYmodem)},
            {"ZMODEM", fnSettings(kXferZmodem)},
            {"ZMODEM-CRC16", stZ16},
            {"ZMODEM-escape-all", stZEsc}};
}

const std::size_t kastSizes[] = {0, 1, 127, 128, 129, 1023, 1024, 1025, 65536};

// One file of each size over a clean line, then over a noisy one with seeds
// of their own: byte-exact, or ended with a failure and the file marked
// incomplete. Over the clean line every transfer succeeds; over the noisy
// one most must. (Plain checksum XMODEM cannot see two flips that cancel in
// its sum: with more noise or other seeds it can pass a wrong block, which
// is why the CRC variants exist. These seeds give it no such pair.)
TEST(XferTransfer, EverySizeByteExactOrClearFailure)
{
    const Faults stClean = {0, 0, 0}, stNoisy = {15, 8, 2000};
    for (const ProtoCase &stCase : fnProtocols()) {
        int nNoisyRuns = 0, nNoisyOk = 0;
        for (std::size_t cb : kastSizes) {
            for (int nRun = 0; nRun < 4; ++nRun) {
                const bool bNoisy = nRun > 0;
                SCOPED_TRACE(std::string(stCase.pszName) + " " + std::to_string(cb) + " run " +
                             std::to_string(nRun));
                Link stLink;
                stLink.rng.seed(static_cast<unsigned>(cb * 7 + nRun));
                stLink.stSource.vecFiles = {{"f.bin", fnRandom(cb, static_cast<unsigned>(cb + nRun)), true}};
                stLink.fnStart(stCase.stSet);
                ASSERT_TRUE(stLink.fnRun(bNoisy ? stNoisy : stClean));
                const XferResult nRx = stLink.stRx.m_stCore.m_nResult;
                const std::vector<MemFile> &vecGot = stLink.stSink.vecFiles;
                EXPECT_FALSE(stLink.stSink.bOpen);
                if (nRx == kXferSuccess) {
                    ASSERT_EQ(1u, vecGot.size());
                    EXPECT_TRUE(vecGot[0].bComplete);
                    EXPECT_TRUE(vecGot[0].vecData == stLink.stSource.vecFiles[0].vecData);
                    EXPECT_EQ(stCase.stSet.m_nProtocol == kXferXmodem ? "" : "f.bin", vecGot[0].strName);
                } else {
                    EXPECT_TRUE(vecGot.empty() || !vecGot.back().bComplete);
                }
                if (!bNoisy) {
                    EXPECT_EQ(kXferSuccess, nRx);
                    EXPECT_EQ(kXferSuccess, stLink.stTx.m_stCore.m_nResult);
                    EXPECT_EQ(cb, stLink.stRx.m_stCore.m_stProg.m_qwBatchDone);
                    for (const XferSession *p : {&stLink.stTx, &stLink.stRx}) {
                        EXPECT_EQ(0u, p->m_stCore.m_stProg.m_dwErrors + p->m_stCore.m_stProg.m_dwRetries);
                    }
                }
                nNoisyRuns += bNoisy ? 1 : 0;
                nNoisyOk += bNoisy && nRx == kXferSuccess ? 1 : 0;
            }
        }
        EXPECT_GE(nNoisyOk * 4, nNoisyRuns * 3) << stCase.pszName;
    }
}

// Three files, then the same with the middle one declined by the receiver
// (ZSKIP in ZMODEM; YMODEM receives it and throws it away).
TEST(XferTransfer, BatchOfThreeWithNamesAndSizes)
{
    for (XferProtocol nProtocol : {kXferYmodem, kXferZmodem}) {
        for (const char *pszSkip : {"", "two.bin"}) {
            Link stLink;
            stLink.stSource.vecFiles = {{"one.txt", fnRandom(5000, 1), true},
                                        {"two.bin", fnRandom(3000, 2), true},
                                        {"three.img", fnRandom(70000, 3), true}};
            stLink.stSink.strSkip = pszSkip;
            stLink.fnStart(fnSettings(nProtocol));
            ASSERT_TRUE(stLink.fnRun({0, 0, 0}));
            EXPECT_EQ(kXferSuccess, stLink.stRx.m_stCore.m_nResult);
            EXPECT_EQ(kXferSuccess, stLink.stTx.m_stCore.m_nResult);
            std::vector<MemFile> vecWant = stLink.stSource.vecFiles;
            vecWant.erase(std::remove_if(vecWant.begin(), vecWant.end(),
                                         [&](const MemFile &st) { return st.strName == pszSkip; }),
                          vecWant.end());
            ASSERT_EQ(vecWant.size(), stLink.stSink.vecFiles.size());
            for (std::size_t i = 0; i < vecWant.size(); ++i) {
                EXPECT_EQ(vecWant[i].strName, stLink.stSink.vecFiles[i].strName);
                EXPECT_TRUE(vecWant[i].vecData == stLink.stSink.vecFiles[i].vecData);
            }
            const XferProgress &stRx = stLink.stRx.m_stCore.m_stProg;
            EXPECT_EQ(3u, stRx.m_dwFiles);
            EXPECT_EQ(*pszSkip != 0 ? 1u : 0u, stRx.m_dwFilesSkipped);
            EXPECT_EQ(0u, stRx.m_dwErrors + stLink.stTx.m_stCore.m_stProg.m_dwErrors);
        }
    }
}

// The user cancels on one side mid-file: that side ends "cancelled by the
// user", the other "cancelled by the far end", its file kept as incomplete.
TEST(XferTransfer, CancelEitherWay)
{
    for (const ProtoCase &stCase : fnProtocols()) {
        for (bool bSenderCancels : {true, false}) {
            SCOPED_TRACE(std::string(stCase.pszName) + (bSenderCancels ? " sender" : " receiver"));
            Link stLink;
            stLink.stSource.vecFiles = {{"big", fnRandom(200000, 9), true}};
            stLink.fnStart(stCase.stSet);
            for (int i = 0; i < 2000 && stLink.stSink.nWritten < 20000; ++i) {
                stLink.fnMove(stLink.stTx, stLink.stRx, {0, 0, 0}, false);
                stLink.fnMove(stLink.stRx, stLink.stTx, {0, 0, 0}, true);
                stLink.dwNow += 50;
                fnXferFeed(stLink.stTx, nullptr, 0, stLink.dwNow);
                fnXferFeed(stLink.stRx, nullptr, 0, stLink.dwNow);
            }
            XferSession &stMine = bSenderCancels ? stLink.stTx : stLink.stRx;
            XferSession &stFar = bSenderCancels ? stLink.stRx : stLink.stTx;
            fnXferCancel(stMine, stLink.dwNow);
            ASSERT_TRUE(stLink.fnRun({0, 0, 0}));
            EXPECT_EQ(kXferCancelledByUser, stMine.m_stCore.m_nResult);
            EXPECT_EQ(kXferCancelledByFar, stFar.m_stCore.m_nResult);
            ASSERT_EQ(1u, stLink.stSink.vecFiles.size());
            EXPECT_FALSE(stLink.stSink.vecFiles[0].bComplete);
            EXPECT_GE(stLink.stSink.vecFiles[0].vecData.size(), 20000u);
        }
    }
}

TEST(XferTransfer, DiskFullEndsWithWriteFailedAndIncompleteFile)
{
    for (const ProtoCase &stCase : fnProtocols()) {
        Link stLink;
        stLink.stSource.vecFiles = {{"f", fnRandom(10000, 4), true}};
        stLink.stSink.nFailAfter = 4096;
        stLink.fnStart(stCase.stSet);
        ASSERT_TRUE(stLink.fnRun({0, 0, 0}));
        EXPECT_EQ(kXferWriteFailed, stLink.stRx.m_stCore.m_nResult) << stCase.pszName;
        EXPECT_EQ(kXferCancelledByFar, stLink.stTx.m_stCore.m_nResult) << stCase.pszName;
        EXPECT_FALSE(stLink.stSink.vecFiles.at(0).bComplete);
    }
}

TEST(XferTransfer, NoPeerTimesOutAfterTheFirstWait)
{
    for (const ProtoCase &stCase : fnProtocols()) {
        for (bool bSend : {true, false}) {
            XferSettings stSet = stCase.stSet;
            stSet.m_dwFirstWaitSeconds = 30;
            MemSource stSource;
            stSource.vecFiles = {{"f", fnRandom(10, 1), true}};
            MemSink stSink;
            XferSession st;
            fnXferStart(st, stSet, bSend, &stSource, &stSink, 0xFFFFF000u); // the tick wraps on the way
            std::uint32_t dwNow = 0xFFFFF000u;
            for (int i = 0; i < 100 && fnXferRunning(st); ++i) {
                dwNow += fnXferWaitMs(st, dwNow);
                fnXferFeed(st, nullptr, 0, dwNow);
            }
            EXPECT_EQ(kXferTimedOut, st.m_stCore.m_nResult) << stCase.pszName << bSend;
            EXPECT_GE(dwNow - 0xFFFFF000u, 30000u);
            EXPECT_LE(dwNow - 0xFFFFF000u, 40000u);
        }
    }
}

Bytes fnText(const char *psz, std::size_t cb)
{
    return Bytes(psz, psz + cb);
}

Bytes fnTakeAll(XferSession &st)
{
    std::uint8_t aby[kXferOutMax];
    const std::size_t cb = fnXferTakeOutput(st, aby, sizeof aby);
    return Bytes(aby, aby + cb);
}

// What lrzsz's rz sends first, as published in the ZMODEM paper's format.
TEST(XferFrames, ZmodemHexZrinitBothWays)
{
    static const char kszZrinit[] = "**\x18"
                                    "B0100000023be50\r\x8a\x11";
    std::uint8_t aby[32];
    EXPECT_EQ(fnText(kszZrinit, sizeof kszZrinit - 1),
              Bytes(aby, aby + fnZHexHeader(aby, kZRinit, 0x23000000)));
    ZReader st = {};
    fnZReaderReset(st);
    std::vector<ZEvent> vecEvents;
    for (std::size_t i = 0; i + 1 < sizeof kszZrinit; ++i) {
        vecEvents.push_back(fnZRead(st, static_cast<std::uint8_t>(kszZrinit[i])));
    }
    EXPECT_EQ(1, std::count(vecEvents.begin(), vecEvents.end(), kZeHeader));
    EXPECT_EQ(kZeHeader, vecEvents[17]); // the last CRC digit
    EXPECT_EQ(kZRinit, st.m_abyHeader[0]);
    EXPECT_EQ(0x23000000u, fnZHeaderValue(st));
}

// A checksum block made by hand: "Hello" padded with SUB, sum 0x72.
TEST(XferFrames, XmodemChecksumBlockByHand)
{
    Bytes vecBlock = {kXferSoh, 0x01, 0xFE, 'H', 'e', 'l', 'l', 'o'};
    vecBlock.resize(3 + 128, kXferSub);
    vecBlock.push_back(0x72);
    MemSink stSink;
    XferSession st;
    fnXferStart(st, fnSettings(kXferXmodem, kXmodemChecksum), false, nullptr, &stSink, 0);
    EXPECT_EQ(Bytes{kXferNak}, fnTakeAll(st));
    fnXferFeed(st, vecBlock.data(), vecBlock.size(), 10);
    EXPECT_EQ(Bytes{kXferAck}, fnTakeAll(st));
    fnXferFeed(st, &kXferEot, 1, 20);
    EXPECT_TRUE(fnTakeAll(st).empty()); // an EOT must be followed by quiet
    fnXferFeed(st, nullptr, 0, 520);
    EXPECT_EQ(Bytes{kXferNak}, fnTakeAll(st)); // and come twice
    fnXferFeed(st, &kXferEot, 1, 530);
    fnXferFeed(st, nullptr, 0, 1030);
    EXPECT_EQ(Bytes{kXferAck}, fnTakeAll(st));
    EXPECT_EQ(kXferSuccess, st.m_stCore.m_nResult);
    EXPECT_EQ(fnText("Hello", 5), stSink.vecFiles.at(0).vecData);
}

// 'C's queued while the user chose the file, fed one by one and then in a
// burst, give one block 1; a NAK after EOT gets the EOT again.
TEST(XferFrames, XmodemSenderIgnoresStaleRequestsAndToleratesNakAfterEot)
{
    MemSource stSource;
    stSource.vecFiles = {{"f", fnRandom(100, 5), true}};
    XferSession st;
    fnXferStart(st, fnSettings(kXferXmodem, kXmodemCrc), true, &stSource, nullptr, 0);
    const std::uint8_t abyC[] = {'C', 'C', 'C'};
    for (std::uint32_t i = 0; i < 3; ++i) {
        fnXferFeed(st, abyC, 1, i * 10);
    }
    EXPECT_TRUE(fnTakeAll(st).empty());
    fnXferFeed(st, abyC, 3, 50);
    fnXferFeed(st, nullptr, 0, 200);
    const Bytes vecBlock = fnTakeAll(st);
    ASSERT_EQ(133u, vecBlock.size());
    EXPECT_EQ(1, vecBlock[1]);
    fnXferFeed(st, abyC, 3, 300); // stale ones still coming after the block
    fnXferFeed(st, &kXferAck, 1, 400);
    EXPECT_EQ(Bytes{kXferEot}, fnTakeAll(st));
    fnXferFeed(st, &kXferNak, 1, 500);
    EXPECT_EQ(Bytes{kXferEot}, fnTakeAll(st));
    fnXferFeed(st, &kXferAck, 1, 600);
    EXPECT_EQ(kXferSuccess, st.m_stCore.m_nResult);
    EXPECT_EQ(0u, st.m_stCore.m_stProg.m_dwErrors);
}

// The length of the first data subpacket the session has put out.
std::uint32_t fnFirstSubLength(XferSession &st)
{
    ZReader stIn = {};
    fnZReaderReset(stIn);
    for (std::uint8_t by : fnTakeAll(st)) {
        if (fnZRead(stIn, by) == kZeSub) {
            return stIn.m_dwData;
        }
    }
    return 0;
}

// A streaming sender hears the receiver ask for one place again and again
// while the bytes it sent on are read (lrzsz's rz asks at each run of them):
// the asks of a second are one retry, and each halves the subpackets down to
// 128 bytes. Asks a second or more apart are retries of their own, and the
// eleventh ends the send; a loss at a later place counts from one again.
TEST(XferFrames, ZmodemSenderCountsTheAsksOfASecondAsOneRetryAndShortensSubpackets)
{
    MemSource stSource;
    stSource.vecFiles = {{"f", fnRandom(65536, 9), true}};
    XferSession st;
    std::uint32_t dwNow = 0;
    fnXferStart(st, fnSettings(kXferZmodem), true, &stSource, nullptr, dwNow);
    const auto fnAsk = [&](ZFrameType nType, std::uint32_t dwValue) {
        std::uint8_t aby[32];
        fnXferFeed(st, aby, fnZHexHeader(aby, nType, dwValue), dwNow);
    };
    fnAsk(kZRinit, 0x23000000); // full duplex, overlapped I/O, CRC-32, no buffer size: streaming
    fnTakeAll(st);              // ZFILE
    fnAsk(kZRpos, 0);
    EXPECT_EQ(kZSubMax, fnFirstSubLength(st));
    fnAsk(kZRpos, 4096);
    EXPECT_EQ(kZSubMax, fnFirstSubLength(st));
    for (std::uint32_t dwWant : {512u, 256u, 128u, 128u}) {
        dwNow += 30;
        fnAsk(kZRpos, 4096);
        EXPECT_EQ(dwWant, fnFirstSubLength(st));
    }
    for (int i = 0; i < 26; ++i) {
        dwNow += 30;
        fnAsk(kZRpos, 4096);
    }
    EXPECT_EQ(1u, st.m_stCore.m_stProg.m_dwRetries);
    for (int i = 0; i < 9; ++i) {
        dwNow += 1000;
        fnAsk(kZRpos, 4096);
    }
    ASSERT_TRUE(fnXferRunning(st));
    dwNow += 1000;
    fnAsk(kZRpos, 8192);
    dwNow += 1000;
    fnAsk(kZRpos, 8192);
    EXPECT_EQ(128u, fnFirstSubLength(st));
    for (int i = 0; i < 9; ++i) {
        dwNow += 1000;
        fnAsk(kZRpos, 8192);
    }
    EXPECT_EQ(kXferTooManyRetries, st.m_stCore.m_nResult);
}

// Runs a ZMODEM link until 2 KiB are written, then flips a bit in what the
// sender streams next; the receiver's ZRPOS for it is taken, as if lost.
void fnLoseTheZrposOfAFlip(Link &stLink, const Faults &stClean)
{
    while (stLink.stRx.m_stCore.m_stProg.m_qwBatchDone < 2048) {
        stLink.fnMove(stLink.stTx, stLink.stRx, stClean, false);
        stLink.fnMove(stLink.stRx, stLink.stTx, stClean, true);
    }
    std::uint8_t aby[4096];
    const std::size_t cbOut = fnXferTakeOutput(stLink.stTx, aby, sizeof aby);
    ASSERT_GT(cbOut, 64u);
    aby[cbOut / 2] ^= 0x01;
    fnXferFeed(stLink.stRx, aby, cbOut, stLink.dwNow);
    ASSERT_FALSE(fnTakeAll(stLink.stRx).empty());
}

// After a lost ZRPOS the sender streams on to its ZEOF and waits there (a
// short file), or stops to read the damaged ZRPOS and waits (the line goes
// quiet). The receiver asks again at the ZEOF, or once, not as a retry, a
// second after the last byte it heard; the file ends whole.
TEST(XferFrames, ZmodemReceiverAsksAgainAtAZeofOrAfterASecondOfQuiet)
{
    const Faults stClean = {0, 0, 0};
    Link stEof;
    stEof.stSource.vecFiles = {{"f.bin", fnRandom(12288, 6), true}};
    stEof.fnStart(fnSettings(kXferZmodem));
    fnLoseTheZrposOfAFlip(stEof, stClean);
    while (stEof.fnMove(stEof.stTx, stEof.stRx, stClean, false) |
           stEof.fnMove(stEof.stRx, stEof.stTx, stClean, true)) {
    } // the clock never moves

    Link stQuiet;
    stQuiet.stSource.vecFiles = {{"f.bin", fnRandom(12288, 8), true}};
    stQuiet.fnStart(fnSettings(kXferZmodem));
    fnLoseTheZrposOfAFlip(stQuiet, stClean);
    const std::uint32_t dwRetries = stQuiet.stRx.m_stZRecv.m_dwRetries;
    std::uint8_t abyAsk[32];
    const Bytes vecAsk(abyAsk, abyAsk + fnZHexHeader(abyAsk, kZRpos, stQuiet.stRx.m_stZRecv.m_dwPos));
    const std::uint8_t byJunk = 'x';
    const struct {
        std::uint32_t dwAfter;
        std::size_t cbHeard;
        bool bAsks;
    } kastSteps[] = {{500, 1, false}, {999, 0, false}, {2, 0, true}, {5000, 0, false}};
    for (const auto &stStep : kastSteps) {
        stQuiet.dwNow += stStep.dwAfter;
        fnXferFeed(stQuiet.stRx, &byJunk, stStep.cbHeard, stQuiet.dwNow);
        EXPECT_EQ(stStep.bAsks ? vecAsk : Bytes(), fnTakeAll(stQuiet.stRx)) << stQuiet.dwNow;
    }
    EXPECT_EQ(dwRetries, stQuiet.stRx.m_stZRecv.m_dwRetries);
    fnXferFeed(stQuiet.stTx, vecAsk.data(), vecAsk.size(), stQuiet.dwNow);
    ASSERT_TRUE(stQuiet.fnRun(stClean));

    for (const Link *p : {&stEof, &stQuiet}) {
        EXPECT_EQ(kXferSuccess, p->stRx.m_stCore.m_nResult);
        ASSERT_EQ(1u, p->stSink.vecFiles.size());
        EXPECT_TRUE(p->stSink.vecFiles[0].vecData == p->stSource.vecFiles[0].vecData);
    }
}

// A streaming sender asks for a ZACK every 4 KiB and ends its frame with
// ZCRCW 16 KiB past what the receiver confirmed; a ZACK moves the window on,
// and when none comes it sends again from the confirmed place.
TEST(XferFrames, ZmodemStreamingKeepsAWindowPastTheConfirmedPlace)
{
    MemSource stSource;
    stSource.vecFiles = {{"f", fnRandom(65536, 4), true}};
    XferSession st;
    std::uint32_t dwNow = 0;
    fnXferStart(st, fnSettings(kXferZmodem), true, &stSource, nullptr, dwNow);
    const auto fnAsk = [&](ZFrameType nType, std::uint32_t dwValue) {
        std::uint8_t aby[32];
        fnXferFeed(st, aby, fnZHexHeader(aby, nType, dwValue), dwNow);
    };
    ZReader stIn = {};
    fnZReaderReset(stIn);
    std::uint32_t dwData = 0, dwAsks = 0, dwFrom = 0xFFFFFFFFu;
    std::uint8_t byLastEnd = 0;
    // Reads what the sender puts out until it stops.
    const auto fnDrain = [&]() {
        dwData = dwAsks = 0;
        for (Bytes vec = fnTakeAll(st); !vec.empty(); vec = fnTakeAll(st)) {
            for (std::uint8_t by : vec) {
                const ZEvent nEvent = fnZRead(stIn, by);
                dwFrom = nEvent == kZeHeader && stIn.m_abyHeader[0] == kZData ? fnZHeaderValue(stIn) : dwFrom;
                dwData += nEvent == kZeSub ? stIn.m_dwData : 0;
                dwAsks += nEvent == kZeSub && stIn.m_byEnd == kZCrcQ ? 1 : 0;
                byLastEnd = nEvent == kZeSub ? stIn.m_byEnd : byLastEnd;
            }
            fnXferFeed(st, nullptr, 0, dwNow);
        }
    };
    fnAsk(kZRinit, 0x23000000);
    fnTakeAll(st); // ZFILE
    fnAsk(kZRpos, 0);
    fnDrain();
    EXPECT_EQ(0u, dwFrom);
    EXPECT_EQ(16384u, dwData);
    EXPECT_EQ(3u, dwAsks);
    EXPECT_EQ(kZCrcW, byLastEnd);
    fnAsk(kZAck, 8192);
    fnDrain();
    EXPECT_EQ(16384u, dwFrom);
    EXPECT_EQ(8192u, dwData);
    EXPECT_EQ(kZCrcW, byLastEnd);
    dwNow += fnXferWaitMs(st, dwNow);
    fnXferFeed(st, nullptr, 0, dwNow);
    fnDrain();
    EXPECT_EQ(8192u, dwFrom);
    EXPECT_EQ(16384u, dwData);
    EXPECT_EQ(1u, st.m_stCore.m_stProg.m_dwRetries);
}

TEST(XferFrames, FileHeaderAndSafeNames)
{
    XferFileInfo st = {};
    std::snprintf(st.m_achName, sizeof st.m_achName, "%s", "fw.bin");
    st.m_qwSize = 204800;
    st.m_dwMtime = 01234567;
    st.m_dwMode = 0100644;
    st.m_dwFilesLeft = 2;
    st.m_qwBytesLeft = 300000;
    std::uint8_t aby[128];
    const std::size_t cb = fnXferFormatFileHeader(st, aby, sizeof aby);
    static const char kszWant[] = "fw.bin\0"
                                  "204800 1234567 100644 0 2 300000";
    EXPECT_EQ(fnText(kszWant, sizeof kszWant), Bytes(aby, aby + cb));
    XferFileInfo stBack;
    ASSERT_TRUE(fnXferParseFileHeader(aby, cb, stBack));
    EXPECT_STREQ("fw.bin", stBack.m_achName);
    EXPECT_EQ(204800u, stBack.m_qwSize);
    EXPECT_EQ(01234567u, stBack.m_dwMtime);
    EXPECT_EQ(0100644u, stBack.m_dwMode);
    EXPECT_EQ(2u, stBack.m_dwFilesLeft);
    EXPECT_EQ(300000u, stBack.m_qwBytesLeft);
    EXPECT_FALSE(fnXferParseFileHeader(reinterpret_cast<const std::uint8_t *>("\0\0"), 2, stBack));
    const char *apszCases[][2] = {{"/etc/passwd", "passwd"},
                                  {"..\\..\\boot.ini", "boot.ini"},
                                  {"a:b?.txt", "a_b_.txt"},
                                  {"..", "received"},
                                  {"dir/", "received"},
                                  {"x. ", "x"},
                                  {"COM5", "_COM5"},
                                  {"nul.txt", "_nul.txt"},
                                  {"lpt9.", "_lpt9"},
                                  {"COM10", "COM10"},
                                  {"console.log", "console.log"},
                                  {"auxx", "auxx"}};
    for (const auto &astr : apszCases) {
        char ach[64];
        fnXferSafeName(astr[0], ach, sizeof ach);
        EXPECT_STREQ(astr[1], ach);
    }
}

TEST(XferFrames, AutoStartSeesZrqinitAcrossChunks)
{
    ZAutoStart st = {};
    std::size_t cbUsed = 0;
    static const char kszShell[] = "$ sz fw.bin\r\nrz\r**\x18";
    EXPECT_FALSE(
        fnZAutoStartFeed(st, reinterpret_cast<const std::uint8_t *>(kszShell), sizeof kszShell - 1, &cbUsed));
    EXPECT_TRUE(
        fnZAutoStartFeed(st, reinterpret_cast<const std::uint8_t *>("B00000000000000\r"), 16, &cbUsed));
    EXPECT_EQ(3u, cbUsed);
    EXPECT_FALSE(fnZAutoStartFeed(st,
                                  reinterpret_cast<const std::uint8_t *>("**\x18"
                                                                         "B0100"),
                                  8, &cbUsed));
}

} // namespace
