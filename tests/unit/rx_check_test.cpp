#include "line_errors.h"
#include "rx_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::uint8_t> Bytes;

struct PrbsCase {
    RxStreamKind nKind;
    std::uint32_t dwPeriod; // 2^n - 1: the byte sequence repeats after as many bytes
    std::uint32_t dwFactor; // a proper factor of the period, which must not repeat
    Bytes vecFirst;         // worked out bit by bit from the polynomial
};

TEST(Prbs, FirstBytesAndFullPeriod)
{
    const PrbsCase astCases[] = {
        {kStreamPrbs7, 127, 1, {0x40, 0x30, 0x14, 0x4F, 0x34, 0x57, 0xBE, 0x70}},
        {kStreamPrbs15, 32767, 151, {0xFF, 0xBF, 0xFF, 0xCF, 0xFF, 0xEB, 0xFF, 0xF0}},
        {kStreamPrbs23, 8388607, 47, {0xFF, 0xFF, 0x83, 0xFF, 0x0F, 0xC0, 0x3F, 0xF8}},
    };
    for (const PrbsCase &st : astCases) {
        PrbsGen stGen = fnPrbsStart(st.nKind);
        Bytes vec(8);
        fnPrbsFill(stGen, vec.data(), vec.size());
        EXPECT_EQ(st.vecFirst, vec) << st.nKind;
        const std::uint32_t dwStart = fnPrbsStart(st.nKind).m_dwState;
        std::uint32_t dwRepeats = 0;
        for (std::uint32_t i = 8; i < st.dwPeriod; ++i) {
            fnPrbsNextByte(stGen);
            dwRepeats += stGen.m_dwState == dwStart && i + 1 == st.dwPeriod / st.dwFactor ? 1 : 0;
        }
        EXPECT_EQ(st.dwFactor == 1 ? 1u : 0u, dwRepeats) << st.nKind;
        EXPECT_EQ(dwStart, stGen.m_dwState) << st.nKind;
    }
}

enum FaultKind { kNone, kFlip, kDrop, kInsert, kBurst, kStuck };

struct FaultCase {
    RxStreamKind nKind;
    FaultKind nFault;
    std::uint32_t dwAt;    // index in the sent stream of 3000 bytes (kStuck: the length)
    std::uint32_t dwCount; // kStuck: the byte
    std::uint64_t aqwWant[7];
};

const std::uint32_t kSent = 3000;
const char kPattern[] = "ZEVRIK loop test 0123456789";

Bytes fnSentStream(RxStreamKind nKind)
{
    Bytes vec(kSent);
    if (nKind == kStreamPattern) {
        for (std::uint32_t i = 0; i < kSent; ++i) {
            vec[i] = static_cast<std::uint8_t>(kPattern[(i + 7) % (sizeof kPattern - 1)]);
        }
        return vec;
    }
    PrbsGen stGen = fnPrbsStart(nKind);
    for (int i = 0; i < 1234; ++i) {
        fnPrbsNextByte(stGen); // any phase
    }
    fnPrbsFill(stGen, vec.data(), vec.size());
    return vec;
}

Bytes fnReceived(const FaultCase &st)
{
    if (st.nFault == kStuck) {
        return Bytes(st.dwAt, static_cast<std::uint8_t>(st.dwCount));
    }
    Bytes vec = fnSentStream(st.nKind);
    const std::uint32_t dwAt = st.dwAt;
    switch (st.nFault) {
    case kFlip:
        vec[dwAt] ^= static_cast<std::uint8_t>(st.dwCount);
        break;
    case kDrop:
        vec.erase(vec.begin() + dwAt, vec.begin() + dwAt + st.dwCount);
        break;
    case kInsert:
        vec.insert(vec.begin() + dwAt, st.dwCount, 0xA5);
        break;
    case kBurst:
        for (std::uint32_t i = dwAt; i < dwAt + st.dwCount; ++i) {
            vec[i] ^= 0xFF;
        }
        break;
    default:
        break;
    }
    return vec;
}

RxCheckCounts fnCheck(RxStreamKind nKind, const Bytes &vec, std::size_t cbChunk)
{
    RxChecker stCk;
    fnRxCheckInit(stCk, nKind, reinterpret_cast<const std::uint8_t *>(kPattern), sizeof kPattern - 1);
    for (std::size_t i = 0; i < vec.size(); i += cbChunk) {
        fnRxCheckFeed(stCk, vec.data() + i, std::min(cbChunk, vec.size() - i));
    }
    fnRxCheckSettle(stCk);
    return stCk.m_stCounts;
}

// Received, checked, bytes in error, bits in error, lost, inserted, re-locks.
std::string fnShow(const std::uint64_t *pqw)
{
    return std::to_string(pqw[0]) + " rx " + std::to_string(pqw[1]) + " ok " + std::to_string(pqw[2]) +
           " errB " + std::to_string(pqw[3]) + " errb " + std::to_string(pqw[4]) + " lost " +
           std::to_string(pqw[5]) + " ins " + std::to_string(pqw[6]) + " relock";
}

std::string fnShow(const RxCheckCounts &st)
{
    const std::uint64_t aqw[7] = {st.m_qwReceived, st.m_qwChecked,  st.m_qwBytesInError, st.m_qwBitsInError,
                                  st.m_qwLost,     st.m_qwInserted, st.m_qwRelocks};
    return fnShow(aqw);
}

TEST(RxCheck, EachFaultCountedWhereverItFalls)
{
    const RxStreamKind P = kStreamPattern, S7 = kStreamPrbs7, S15 = kStreamPrbs15, S23 = kStreamPrbs23;
    const FaultCase astCases[] = {
        // received, checked, bytes in error, bits in error, lost, inserted, re-locks
        {P, kNone, 0, 0, {3000, 3000, 0, 0, 0, 0, 0}},
        {S7, kNone, 0, 0, {3000, 3000, 0, 0, 0, 0, 0}},
        {S15, kNone, 0, 0, {3000, 3000, 0, 0, 0, 0, 0}},
        {S23, kNone, 0, 0, {3000, 3000, 0, 0, 0, 0, 0}},
        // A fault inside the lock window costs those bytes their check.
        {S15, kFlip, 0, 0x08, {3000, 2999, 0, 0, 0, 0, 0}},
        {S15, kFlip, 10, 0x01, {3000, 3000, 1, 1, 0, 0, 0}},
        {S15, kFlip, 1500, 0x81, {3000, 3000, 1, 2, 0, 0, 0}},
        {S15, kFlip, 2997, 0x10, {3000, 3000, 1, 1, 0, 0, 0}},
        {S15, kDrop, 10, 3, {2997, 2997, 0, 0, 3, 0, 0}},
        {S15, kDrop, 1500, 3, {2997, 2997, 0, 0, 3, 0, 0}},
        {S15, kDrop, 2995, 3, {2997, 2997, 0, 0, 3, 0, 0}},
        {S15, kInsert, 10, 2, {3002, 3000, 0, 0, 0, 2, 0}},
        {S15, kInsert, 1500, 2, {3002, 3000, 0, 0, 0, 2, 0}},
        {S15, kInsert, 2997, 2, {3002, 3000, 0, 0, 0, 2, 0}},
        {S15, kDrop, 1500, 16, {2984, 2984, 0, 0, 16, 0, 0}},
        {S15, kInsert, 1500, 16, {3016, 3000, 0, 0, 0, 16, 0}},
        {S23, kBurst, 1500, 40, {3000, 3000, 40, 320, 0, 0, 0}},
        // Beyond what a slip explains: a gap, an insertion or a long burst
        // re-locks, and the distance in the sequence tells the slip.
        {S23, kDrop, 1500, 1000, {2000, 2000, 0, 0, 1000, 0, 1}},
        {S15, kDrop, 1500, 100, {2900, 2900, 0, 0, 100, 0, 1}},
        {S15, kInsert, 1500, 30, {3030, 3000, 0, 0, 0, 30, 1}},
        {S15, kBurst, 1500, 60, {3000, 2940, 0, 0, 0, 0, 1}},
        {S7, kBurst, 1500, 100, {3000, 2900, 0, 0, 0, 0, 1}},
        {P, kFlip, 8, 0x40, {3000, 3000, 1, 1, 0, 0, 0}},
        {P, kFlip, 1500, 0xFF, {3000, 3000, 1, 8, 0, 0, 0}},
        {P, kDrop, 1500, 3, {2997, 2997, 0, 0, 3, 0, 0}},
        {P, kInsert, 1500, 2, {3002, 3000, 0, 0, 0, 2, 0}},
        {P, kInsert, 2997, 2, {3002, 3000, 0, 0, 0, 2, 0}},
        // A stuck or floating line never locks (no PRBS holds the all-zero state).
        {S7, kStuck, 64, 0x00, {64, 0, 0, 0, 0, 0, 0}},
        {S15, kStuck, 64, 0xFF, {64, 0, 0, 0, 0, 0, 0}},
        {S23, kStuck, 64, 0xFF, {64, 0, 0, 0, 0, 0, 0}},
    };
    for (const FaultCase &st : astCases) {
        const Bytes vec = fnReceived(st);
        for (std::size_t cbChunk : {std::size_t{1}, std::size_t{7}, std::size_t{512}}) {
            const RxCheckCounts stGot = fnCheck(st.nKind, vec, cbChunk);
            EXPECT_EQ(fnShow(st.aqwWant), fnShow(stGot))
                << "kind " << st.nKind << " fault " << st.nFault << " at " << st.dwAt << " chunk " << cbChunk;
            // A byte neither checked nor inserted is not checked; the ratio
            // is a lower bound unless every byte was followed.
            const std::uint64_t qwUnfollowed = stGot.m_qwReceived - stGot.m_qwChecked - stGot.m_qwInserted;
            EXPECT_EQ(qwUnfollowed, stGot.m_qwUnchecked) << "kind " << st.nKind << " fault " << st.nFault;
            char achReport[512];
            fnFormatRxCheckReport(achReport, sizeof achReport, "-", stGot, 1000);
            const std::string strBer = std::strstr(achReport, "Bit error ratio: ") + 17;
            const bool bBound = stGot.m_qwChecked != 0 && (qwUnfollowed != 0 || st.aqwWant[6] != 0);
            EXPECT_EQ(bBound, strBer.compare(0, 3, ">= ") == 0)
                << "kind " << st.nKind << " fault " << st.nFault;
        }
    }
}

TEST(RxCheck, ResetKeepsTheStreamAndEmptyPatternIsRefused)
{
    RxChecker stCk;
    EXPECT_FALSE(fnRxCheckInit(stCk, kStreamPattern, nullptr, 0));
    const Bytes vec = fnSentStream(kStreamPrbs15);
    ASSERT_TRUE(fnRxCheckInit(stCk, kStreamPrbs15, nullptr, 0));
    fnRxCheckFeed(stCk, vec.data(), 100);
    fnRxCheckReset(stCk);
    fnRxCheckFeed(stCk, vec.data() + 500, 100);
    EXPECT_EQ("100 rx 100 ok 0 errB 0 errb 0 lost 0 ins 0 relock", fnShow(stCk.m_stCounts));
}

TEST(RxCheck, TextOfTheFigures)
{
    const struct {
        std::uint64_t qwErrors, qwBits;
        const char *psz;
    } astBer[] = {
        {0, 0, "-"}, {0, 80000, "< 1/80000"}, {1, 4166667, "2.4e-7"}, {3, 10, "3.0e-1"}, {5, 5, "1.0e0"}};
    for (const auto &st : astBer) {
        char ach[32];
        fnFormatBer(ach, sizeof ach, st.qwErrors, st.qwBits);
        EXPECT_STREQ(st.psz, ach);
    }
    RxCheckCounts stCounts = {12345678901ull, 1000, 1, 2, 3, 2, 0, 0};
    char achReport[512];
    fnFormatRxCheckReport(achReport, sizeof achReport, "PRBS-15", stCounts, 2500);
    EXPECT_NE(nullptr, std::strstr(achReport, "Bytes received: 12345678901\r\n"));
    EXPECT_NE(nullptr, std::strstr(achReport, "Elapsed: 2.5 s\r\nRate: 4938271560 bytes/s\r\n"));
    EXPECT_NE(nullptr, std::strstr(achReport, "Bit error ratio: 2.5e-4\r\n"));
    stCounts.m_qwUnchecked = 5;
    fnFormatRxCheckReport(achReport, sizeof achReport, "PRBS-15", stCounts, 2500);
    EXPECT_NE(nullptr, std::strstr(achReport, "Bytes not checked: 5\r\nBytes in error: 1\r\n"));
    EXPECT_NE(nullptr, std::strstr(achReport, "Bit error ratio: >= 2.5e-4\r\n"));
    char achShort[20];
    fnFormatRxCheckReport(achShort, sizeof achShort, "PRBS-15", stCounts, 2500);
    EXPECT_EQ(sizeof achShort - 1, std::strlen(achShort));
}

TEST(LineErrors, FlagsAndEventsCountOncePerKind)
{
    LineErrorCounts st = {};
    fnCountLineErrors(st, kCeFrame | kCeRxParity, kEvErr);
    fnCountLineErrors(st, kCeOverrun | kCeRxOver | kCeBreak, kEvBreak | kEvErr);
    fnCountLineErrors(st, 0, kEvErr | kEvBreak);
    fnCountLineErrors(st, 0, 0);
    char ach[200];
    fnFormatLineErrors(ach, sizeof ach, st);
    EXPECT_STREQ(
        "Framing errors: 1\r\nParity errors: 1\r\nOverruns: 1\r\nBuffer overflows: 1\r\nBreaks: 2\r\n"
        "Other line errors: 1\r\n",
        ach);
}

} // namespace
