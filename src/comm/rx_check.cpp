#include "rx_check.h"

#include <cstdio>
#include <cstring>

namespace {

struct PrbsDef {
    std::uint8_t byOrder;
    std::uint8_t byTap;
    std::uint8_t byInvert;
};

// Bit order reversed: the register holds the newest bit lowest, the line
// sends the oldest first.
struct ReversedBytes {
    std::uint8_t m_aby[256];
    constexpr ReversedBytes() : m_aby()
    {
        for (unsigned u = 0; u < 256; ++u) {
            unsigned uRev = 0;
            for (unsigned uBit = 0; uBit < 8; ++uBit) {
                uRev |= ((u >> uBit) & 1u) << (7 - uBit);
            }
            m_aby[u] = static_cast<std::uint8_t>(uRev);
        }
    }
};

constexpr ReversedBytes kReversed;

// Indexed by RxStreamKind; the pattern row is never used.
const PrbsDef kastPrbs[4] = {{0, 0, 0}, {7, 6, 0}, {15, 14, 1}, {23, 18, 1}};

std::uint32_t fnSeedBytes(const RxChecker &stCk)
{
    return stCk.m_nKind == kStreamPattern ? 0 : (stCk.m_stPos.m_stGen.m_byOrder + 7u) / 8u;
}

std::uint32_t fnLockBytes(const RxChecker &stCk)
{
    return fnSeedBytes(stCk) + kRxConfirm;
}

// Bytes after which the expected stream repeats: 2^n - 1 for a PRBS.
std::uint32_t fnPeriod(const RxChecker &stCk)
{
    return stCk.m_nKind == kStreamPattern ? stCk.m_dwPatternLen : stCk.m_stPos.m_stGen.m_dwMask;
}

std::uint8_t fnNextExpected(const RxChecker &stCk, RxStreamPos &stPos)
{
    if (stCk.m_nKind != kStreamPattern) {
        return fnPrbsNextByte(stPos.m_stGen);
    }
    const std::uint8_t by = stCk.m_abyPattern[stPos.m_dwPhase];
    stPos.m_dwPhase = stPos.m_dwPhase + 1 == stCk.m_dwPatternLen ? 0 : stPos.m_dwPhase + 1;
    return by;
}

void fnSkipExpected(const RxChecker &stCk, RxStreamPos &stPos, std::uint32_t dwCount)
{
    if (stCk.m_nKind == kStreamPattern) {
        stPos.m_dwPhase = static_cast<std::uint32_t>((stPos.m_dwPhase + dwCount) % stCk.m_dwPatternLen);
        return;
    }
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        fnPrbsNextByte(stPos.m_stGen);
    }
}

int fnBitCount(std::uint8_t by)
{
    int n = 0;
    for (; by != 0; by = static_cast<std::uint8_t>(by & (by - 1))) {
        ++n;
    }
    return n;
}

void fnCountCompare(RxCheckCounts &st, std::uint8_t byGot, std::uint8_t byWanted)
{
    ++st.m_qwChecked;
    if (byGot != byWanted) {
        ++st.m_qwBytesInError;
        st.m_qwBitsInError +=
            static_cast<std::uint64_t>(fnBitCount(static_cast<std::uint8_t>(byGot ^ byWanted)));
    }
}

// Bytes from stFrom on to stTo in the sequence (less than a period), or
// false when a PRBS-23 is further than kRxSlipReach.
bool fnDistance(const RxChecker &stCk, RxStreamPos stFrom, const RxStreamPos &stTo, std::uint32_t &dwOut)
{
    if (stCk.m_nKind == kStreamPattern) {
        dwOut = (stTo.m_dwPhase + stCk.m_dwPatternLen - stFrom.m_dwPhase) % stCk.m_dwPatternLen;
        return true;
    }
    const std::uint32_t dwPeriod = fnPeriod(stCk);
    const std::uint32_t dwReach = dwPeriod < kRxSlipReach ? dwPeriod : kRxSlipReach;
    for (std::uint32_t i = 0; i < dwReach; ++i) {
        if (stFrom.m_stGen.m_dwState == stTo.m_stGen.m_dwState) {
            dwOut = i;
            return true;
        }
        fnPrbsNextByte(stFrom.m_stGen);
    }
    return false;
}

// A re-lock after a fault: the sequence moved on by some distance while the
// stream gave the bytes let go since the fault; more distance is bytes lost,
// less is bytes inserted among those let go. It holds while the bytes let go
// and the slip stay within a period; otherwise the slip is not told.
void fnCountSlip(RxChecker &stCk, std::uint32_t dwWindow)
{
    stCk.m_bResync = false;
    RxCheckCounts &st = stCk.m_stCounts;
    const std::uint64_t qwLetGo = stCk.m_qwSinceFault;
    RxStreamPos stResumed = stCk.m_stFault;
    fnSkipExpected(stCk, stResumed, dwWindow);
    std::uint32_t dwMoved = 0;
    if (qwLetGo >= fnPeriod(stCk) || !fnDistance(stCk, stResumed, stCk.m_stPos, dwMoved)) {
        return;
    }
    if (dwMoved >= qwLetGo) {
        st.m_qwLost += dwMoved - qwLetGo;
    } else {
        st.m_qwInserted += qwLetGo - dwMoved;
        st.m_qwUnchecked -= qwLetGo - dwMoved;
    }
}

void fnLocked(RxChecker &stCk, std::uint32_t dwChecked)
{
    stCk.m_stCounts.m_qwChecked += dwChecked;
    if (stCk.m_bResync) {
        fnCountSlip(stCk, dwChecked);
    }
    if (stCk.m_bEverLocked) {
        ++stCk.m_stCounts.m_qwRelocks;
    }
    stCk.m_bEverLocked = true;
    stCk.m_nState = kRxLocked;
    stCk.m_dwHeld = 0;
}

// A sequence seeds itself from the first bytes held; the next ones must
// follow from that seed.
bool fnTryLockPrbs(RxChecker &stCk)
{
    PrbsGen stGen = stCk.m_stPos.m_stGen;
    const std::uint32_t dwSeed = fnSeedBytes(stCk);
    stGen.m_dwState = 0;
    for (std::uint32_t i = 0; i < dwSeed; ++i) {
        for (int nBit = 0; nBit < 8; ++nBit) {
            const std::uint32_t dwBit = ((stCk.m_abyHeld[i] >> nBit) ^ stGen.m_byInvert) & 1u;
            stGen.m_dwState = ((stGen.m_dwState << 1) | dwBit) & stGen.m_dwMask;
        }
    }
    // A stuck or floating line (all 0, or all 1 sent inverted) seeds the
    // all-zero state, which no PRBS holds and which would follow it forever.
    if (stGen.m_dwState == 0) {
        return false;
    }
    for (std::uint32_t i = dwSeed; i < dwSeed + kRxConfirm; ++i) {
        if (fnPrbsNextByte(stGen) != stCk.m_abyHeld[i]) {
            return false;
        }
    }
    stCk.m_stPos.m_stGen = stGen;
    return true;
}

// The first phase of the pattern that the held bytes follow.
bool fnTryLockPattern(RxChecker &stCk)
{
    const std::uint32_t dwLen = stCk.m_dwPatternLen;
    for (std::uint32_t dwPhase = 0; dwPhase < dwLen; ++dwPhase) {
        std::uint32_t i = 0;
        std::uint32_t dwAt = dwPhase;
        while (i < kRxConfirm && stCk.m_abyPattern[dwAt] == stCk.m_abyHeld[i]) {
            ++i;
            dwAt = dwAt + 1 == dwLen ? 0 : dwAt + 1;
        }
        if (i == kRxConfirm) {
            stCk.m_stPos.m_dwPhase = dwAt;
            return true;
        }
    }
    return false;
}

// Searching: the byte joins the held window; a window that gives no lock
// lets its oldest byte go unchecked.
void fnSearchByte(RxChecker &stCk, std::uint8_t by)
{
    const std::uint32_t dwNeed = fnLockBytes(stCk);
    stCk.m_abyHeld[stCk.m_dwHeld++] = by;
    if (stCk.m_dwHeld < dwNeed) {
        return;
    }
    const bool bLock = stCk.m_nKind == kStreamPattern ? fnTryLockPattern(stCk) : fnTryLockPrbs(stCk);
    if (bLock) {
        fnLocked(stCk, dwNeed);
        return;
    }
    std::memmove(stCk.m_abyHeld, stCk.m_abyHeld + 1, dwNeed - 1);
    stCk.m_dwHeld = dwNeed - 1;
    ++stCk.m_stCounts.m_qwUnchecked;
    stCk.m_qwSinceFault += stCk.m_bResync ? 1 : 0;
}

void fnFeedAll(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount);

int fnSlipOf(std::uint32_t dwIndex)
{
    return static_cast<int>(dwIndex) - static_cast<int>(kRxMaxSlip);
}

std::uint32_t fnIndexOf(int nSlip)
{
    return static_cast<std::uint32_t>(nSlip + static_cast<int>(kRxMaxSlip));
}

// Accounts the held bytes as the stream with nSlip bytes lost (> 0) or
// inserted (< 0) at the fault, and goes on locked behind them.
void fnSettleAs(RxChecker &stCk, int nSlip)
{
    RxCheckCounts &st = stCk.m_stCounts;
    const std::uint32_t dwFirst = nSlip < 0 ? static_cast<std::uint32_t>(-nSlip) : 0;
    for (std::uint32_t j = dwFirst; j < stCk.m_dwHeld; ++j) {
        fnCountCompare(st, stCk.m_abyHeld[j], stCk.m_abyAhead[static_cast<int>(j) + nSlip]);
    }
    if (nSlip > 0) {
        st.m_qwLost += static_cast<std::uint64_t>(nSlip);
    } else {
        st.m_qwInserted += dwFirst;
    }
    fnSkipExpected(stCk, stCk.m_stPos, static_cast<std::uint32_t>(static_cast<int>(stCk.m_dwHeld) + nSlip));
    stCk.m_dwHeld = 0;
    stCk.m_nState = kRxLocked;
}

void fnEnterDoubt(RxChecker &stCk)
{
    RxStreamPos stAhead = stCk.m_stPos;
    for (std::uint32_t i = 0; i < sizeof stCk.m_abyAhead; ++i) {
        stCk.m_abyAhead[i] = fnNextExpected(stCk, stAhead);
    }
    std::memset(stCk.m_adwRun, 0, sizeof stCk.m_adwRun);
    stCk.m_dwHeld = 0;
    stCk.m_nState = kRxDoubt;
}

// Slips in the order they are preferred: none, then the smallest.
int fnSlipByRank(std::uint32_t dwRank)
{
    const int nStep = static_cast<int>((dwRank + 1) / 2);
    return dwRank % 2 == 1 ? nStep : -nStep;
}

// The held bytes gave no slip: they go back to the search, unchecked unless
// the new lock takes them. The position is that of the fault.
void fnRelock(RxChecker &stCk)
{
    std::uint8_t abyHeld[kRxDoubtBytes];
    const std::uint32_t dwHeld = stCk.m_dwHeld;
    std::memcpy(abyHeld, stCk.m_abyHeld, dwHeld);
    stCk.m_dwHeld = 0;
    stCk.m_nState = kRxSearching;
    stCk.m_bResync = true;
    stCk.m_stFault = stCk.m_stPos;
    stCk.m_qwSinceFault = 0;
    fnFeedAll(stCk, abyHeld, dwHeld);
}

void fnDoubtByte(RxChecker &stCk, std::uint8_t by)
{
    const std::uint32_t j = stCk.m_dwHeld;
    stCk.m_abyHeld[stCk.m_dwHeld++] = by;
    for (std::uint32_t i = 0; i < 2 * kRxMaxSlip + 1; ++i) {
        const int nAt = static_cast<int>(j) + fnSlipOf(i);
        const bool bMatch =
            fnSlipOf(i) >= 0 ? stCk.m_abyAhead[nAt] == by : nAt >= 0 && stCk.m_abyAhead[nAt] == by;
        stCk.m_adwRun[i] = bMatch ? stCk.m_adwRun[i] + 1 : 0;
    }
    for (std::uint32_t dwRank = 0; dwRank < 2 * kRxMaxSlip + 1; ++dwRank) {
        const int nSlip = fnSlipByRank(dwRank);
        if (stCk.m_adwRun[fnIndexOf(nSlip)] >= kRxConfirm) {
            fnSettleAs(stCk, nSlip);
            return;
        }
    }
    if (stCk.m_dwHeld == kRxDoubtBytes) {
        fnRelock(stCk);
    }
}

// The run of bytes that follow the stream from the checker's position on;
// the position moves past them.
std::size_t fnMatchingRun(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount)
{
    std::size_t i = 0;
    if (stCk.m_nKind == kStreamPattern) {
        std::uint32_t dwPhase = stCk.m_stPos.m_dwPhase;
        for (; i < cbCount && stCk.m_abyPattern[dwPhase] == pby[i]; ++i) {
            dwPhase = dwPhase + 1 == stCk.m_dwPatternLen ? 0 : dwPhase + 1;
        }
        stCk.m_stPos.m_dwPhase = dwPhase;
        return i;
    }
    PrbsGen stGen = stCk.m_stPos.m_stGen;
    for (; i < cbCount; ++i) {
        const std::uint32_t dwBefore = stGen.m_dwState;
        if (fnPrbsNextByte(stGen) != pby[i]) {
            stGen.m_dwState = dwBefore;
            break;
        }
    }
    stCk.m_stPos.m_stGen = stGen;
    return i;
}

// Locked: the fast path; the first mismatch starts a doubt window.
std::size_t fnLockedBytes(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount)
{
    std::size_t i = fnMatchingRun(stCk, pby, cbCount);
    stCk.m_stCounts.m_qwChecked += i;
    if (i < cbCount) {
        fnEnterDoubt(stCk);
        fnDoubtByte(stCk, pby[i]);
        ++i;
    }
    return i;
}

void fnFeedAll(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount)
{
    std::size_t i = 0;
    while (i < cbCount) {
        switch (stCk.m_nState) {
        case kRxLocked:
            i += fnLockedBytes(stCk, pby + i, cbCount - i);
            break;
        case kRxDoubt:
            fnDoubtByte(stCk, pby[i++]);
            break;
        default:
            fnSearchByte(stCk, pby[i++]);
            break;
        }
    }
}

void fnAppendText(char *pchOut, std::size_t cchOut, const char *psz)
{
    const std::size_t cchHave = std::strlen(pchOut);
    if (cchHave + 1 < cchOut) {
        std::snprintf(pchOut + cchHave, cchOut - cchHave, "%s", psz);
    }
}

// Decimal digits without the C library's 64-bit format, which differs
// between the runtimes this is built for.
void fnU64ToText(char *pchOut, std::size_t cchOut, std::uint64_t qw)
{
    char achRev[21];
    int n = 0;
    do {
        achRev[n++] = static_cast<char>('0' + qw % 10);
        qw /= 10;
    } while (qw != 0);
    std::size_t i = 0;
    for (; n > 0 && i + 1 < cchOut; ++i) {
        pchOut[i] = achRev[--n];
    }
    if (cchOut > 0) {
        pchOut[i] = '\0';
    }
}

void fnAppendLine(char *pchOut, std::size_t cchOut, const char *pszName, std::uint64_t qw,
                  const char *pszUnit)
{
    char achNumber[24];
    fnU64ToText(achNumber, sizeof achNumber, qw);
    fnAppendText(pchOut, cchOut, pszName);
    fnAppendText(pchOut, cchOut, achNumber);
    fnAppendText(pchOut, cchOut, pszUnit);
    fnAppendText(pchOut, cchOut, "\r\n");
}

// The bit error ratio only bounds the truth from below once bytes went
// unchecked or the checker lost its place.
bool fnBerIsLowerBound(const RxCheckCounts &st)
{
    return st.m_qwUnchecked != 0 || st.m_qwRelocks != 0;
}

} // namespace

PrbsGen fnPrbsStart(RxStreamKind nKind)
{
    const PrbsDef &stDef = kastPrbs[nKind >= kStreamPrbs7 && nKind <= kStreamPrbs23 ? nKind : kStreamPrbs7];
    PrbsGen st = {};
    st.m_byOrder = stDef.byOrder;
    st.m_byTap = stDef.byTap;
    st.m_byInvert = stDef.byInvert;
    st.m_dwMask = (1u << stDef.byOrder) - 1u;
    st.m_dwState = st.m_dwMask;
    return st;
}

std::uint8_t fnPrbsNextByte(PrbsGen &stGen)
{
    // With both taps 8 or more bits back, the next 8 bits all come from bits
    // already in the register: one step gives the byte, newest bit lowest.
    if (stGen.m_byTap >= 8) {
        const std::uint32_t dwNew =
            ((stGen.m_dwState >> (stGen.m_byOrder - 8)) ^ (stGen.m_dwState >> (stGen.m_byTap - 8))) & 0xFFu;
        stGen.m_dwState = ((stGen.m_dwState << 8) | dwNew) & stGen.m_dwMask;
        return static_cast<std::uint8_t>(kReversed.m_aby[dwNew] ^ (stGen.m_byInvert != 0 ? 0xFFu : 0u));
    }
    std::uint32_t dwState = stGen.m_dwState;
    std::uint32_t dwByte = 0;
    const int nHigh = stGen.m_byOrder - 1;
    const int nTap = stGen.m_byTap - 1;
    for (int nBit = 0; nBit < 8; ++nBit) {
        const std::uint32_t dwNew = ((dwState >> nHigh) ^ (dwState >> nTap)) & 1u;
        dwState = ((dwState << 1) | dwNew) & stGen.m_dwMask;
        dwByte |= (dwNew ^ stGen.m_byInvert) << nBit;
    }
    stGen.m_dwState = dwState;
    return static_cast<std::uint8_t>(dwByte);
}

void fnPrbsFill(PrbsGen &stGen, std::uint8_t *pbyOut, std::size_t cbCount)
{
    for (std::size_t i = 0; i < cbCount; ++i) {
        pbyOut[i] = fnPrbsNextByte(stGen);
    }
}

void fnPrbsPacket(PrbsGen &stGen, RxStreamKind nKind, std::uint8_t *pbyOut, std::size_t cbCount)
{
    const PrbsGen stStart = fnPrbsStart(nKind);
    if (stGen.m_byOrder != stStart.m_byOrder) {
        stGen = stStart;
    }
    fnPrbsFill(stGen, pbyOut, cbCount);
}

bool fnRxCheckInit(RxChecker &stCk, RxStreamKind nKind, const std::uint8_t *pbyPattern, std::uint32_t dwLen)
{
    std::memset(&stCk, 0, sizeof stCk);
    stCk.m_nKind = nKind;
    if (nKind == kStreamPattern) {
        if (pbyPattern == nullptr || dwLen == 0 || dwLen > kRxPatternMax) {
            return false;
        }
        std::memcpy(stCk.m_abyPattern, pbyPattern, dwLen);
        stCk.m_dwPatternLen = dwLen;
    } else {
        stCk.m_stPos.m_stGen = fnPrbsStart(nKind);
    }
    return true;
}

void fnRxCheckReset(RxChecker &stCk)
{
    std::memset(&stCk.m_stCounts, 0, sizeof stCk.m_stCounts);
    stCk.m_nState = kRxSearching;
    stCk.m_bEverLocked = false;
    stCk.m_bResync = false;
    stCk.m_dwHeld = 0;
}

void fnRxCheckFeed(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount)
{
    stCk.m_stCounts.m_qwReceived += cbCount;
    if (stCk.m_nKind == kStreamPattern && stCk.m_dwPatternLen == 0) {
        return;
    }
    fnFeedAll(stCk, pby, cbCount);
}

void fnRxCheckSettle(RxChecker &stCk)
{
    if (stCk.m_nState == kRxSearching) {
        stCk.m_stCounts.m_qwUnchecked += stCk.m_dwHeld;
        stCk.m_dwHeld = 0;
        return;
    }
    if (stCk.m_nState != kRxDoubt) {
        return;
    }
    int nBest = 0;
    for (std::uint32_t dwRank = 1; dwRank < 2 * kRxMaxSlip + 1; ++dwRank) {
        const int nSlip = fnSlipByRank(dwRank);
        if (stCk.m_adwRun[fnIndexOf(nSlip)] > stCk.m_adwRun[fnIndexOf(nBest)]) {
            nBest = nSlip;
        }
    }
    if (nBest < 0 && static_cast<std::uint32_t>(-nBest) > stCk.m_dwHeld) {
        nBest = 0;
    }
    fnSettleAs(stCk, nBest);
}

void fnFormatBer(char *pchOut, std::size_t cchOut, std::uint64_t qwBitErrors, std::uint64_t qwBitsChecked)
{
    if (cchOut == 0) {
        return;
    }
    pchOut[0] = '\0';
    if (qwBitsChecked == 0) {
        fnAppendText(pchOut, cchOut, "-");
        return;
    }
    if (qwBitErrors == 0) {
        char achBits[24];
        fnU64ToText(achBits, sizeof achBits, qwBitsChecked);
        fnAppendText(pchOut, cchOut, "< 1/");
        fnAppendText(pchOut, cchOut, achBits);
        return;
    }
    // "%.1e" gives "2.4e-07" or "2.4e-007" by runtime: the exponent is
    // rewritten without its sign padding and leading zeros.
    char achRaw[32];
    std::snprintf(achRaw, sizeof achRaw, "%.1e",
                  static_cast<double>(qwBitErrors) / static_cast<double>(qwBitsChecked));
    char *pchE = std::strchr(achRaw, 'e');
    if (pchE == nullptr) {
        fnAppendText(pchOut, cchOut, achRaw);
        return;
    }
    const char chSign = pchE[1];
    const char *pchDigits = pchE + 2;
    while (*pchDigits == '0' && pchDigits[1] != '\0') {
        ++pchDigits;
    }
    char achText[40];
    std::snprintf(achText, sizeof achText, "%.*se%s%s", static_cast<int>(pchE - achRaw), achRaw,
                  chSign == '-' ? "-" : "", pchDigits);
    fnAppendText(pchOut, cchOut, achText);
}

void fnFormatRxCheckReport(char *pchOut, std::size_t cchOut, const char *pszStream, const RxCheckCounts &st,
                           std::uint32_t dwElapsedMs)
{
    if (cchOut == 0) {
        return;
    }
    pchOut[0] = '\0';
    fnAppendText(pchOut, cchOut, "Expected stream: ");
    fnAppendText(pchOut, cchOut, pszStream);
    fnAppendText(pchOut, cchOut, "\r\n");
    fnAppendLine(pchOut, cchOut, "Bytes received: ", st.m_qwReceived, "");
    fnAppendLine(pchOut, cchOut, "Bytes checked: ", st.m_qwChecked, "");
    fnAppendLine(pchOut, cchOut, "Bytes not checked: ", st.m_qwUnchecked, "");
    fnAppendLine(pchOut, cchOut, "Bytes in error: ", st.m_qwBytesInError, "");
    fnAppendLine(pchOut, cchOut, "Bits in error: ", st.m_qwBitsInError, "");
    fnAppendLine(pchOut, cchOut, "Bytes lost: ", st.m_qwLost, "");
    fnAppendLine(pchOut, cchOut, "Bytes inserted: ", st.m_qwInserted, "");
    fnAppendLine(pchOut, cchOut, "Re-locks: ", st.m_qwRelocks, "");
    char achLine[64];
    std::snprintf(achLine, sizeof achLine, "Elapsed: %u.%u s\r\n", static_cast<unsigned>(dwElapsedMs / 1000),
                  static_cast<unsigned>(dwElapsedMs % 1000 / 100));
    fnAppendText(pchOut, cchOut, achLine);
    const std::uint64_t qwRate = dwElapsedMs == 0 ? 0 : st.m_qwReceived * 1000u / dwElapsedMs;
    fnAppendLine(pchOut, cchOut, "Rate: ", qwRate, " bytes/s");
    char achBer[48];
    fnFormatBer(achBer, sizeof achBer, st.m_qwBitsInError, st.m_qwChecked * 8u);
    fnAppendText(pchOut, cchOut, "Bit error ratio: ");
    if (st.m_qwChecked != 0 && fnBerIsLowerBound(st)) {
        // "< 1/N" would claim a clean line.
        fnAppendText(pchOut, cchOut, ">= ");
        if (st.m_qwBitsInError == 0) {
            std::snprintf(achBer, sizeof achBer, "0");
        }
    }
    fnAppendText(pchOut, cchOut, achBer);
    fnAppendText(pchOut, cchOut, "\r\n");
}
