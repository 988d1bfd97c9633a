// Arbitrary received bytes for the receive check, against a pattern or a
// sequence chosen by the first byte: counts stay consistent (every byte ends
// checked, inserted or not checked), a PRBS never locks on the all-zero state,
// nothing is read or written out of bounds, and how the bytes are split into
// reads never changes the result.
#include "rx_check.h"
#include "fuzz_require.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 3 || cbData > 65536) {
        return 0;
    }
    const RxStreamKind nKind = static_cast<RxStreamKind>(pbyData[0] % 4);
    // The pattern is the input's own start, 1 to 64 bytes, so the fuzzer can
    // make received bytes that follow it.
    const std::uint32_t dwWanted = 1u + pbyData[1] % 64u;
    const std::uint32_t dwLen = dwWanted <= cbData - 2 ? dwWanted : static_cast<std::uint32_t>(cbData - 2);
    const std::uint8_t *pbyPattern = pbyData + 2;
    const std::uint8_t *pby = pbyData + 2;
    const std::size_t cb = cbData - 2;

    static RxChecker stWhole;
    static RxChecker stSplit;
    Require(fnRxCheckInit(stWhole, nKind, pbyPattern, dwLen));
    Require(fnRxCheckInit(stSplit, nKind, pbyPattern, dwLen));
    fnRxCheckFeed(stWhole, pby, cb);
    for (std::size_t i = 0, cbStep = 1; i < cb; i += cbStep, cbStep = cbStep % 13 + 1) {
        fnRxCheckFeed(stSplit, pby + i, cbStep < cb - i ? cbStep : cb - i);
    }
    fnRxCheckSettle(stWhole);
    fnRxCheckSettle(stSplit);
    const RxCheckCounts &st = stWhole.m_stCounts;
    Require(std::memcmp(&st, &stSplit.m_stCounts, sizeof st) == 0);
    Require(st.m_qwReceived == cb);
    Require(st.m_qwChecked + st.m_qwInserted + st.m_qwUnchecked == st.m_qwReceived);
    Require(nKind == kStreamPattern || stWhole.m_nState != kRxLocked ||
            stWhole.m_stPos.m_stGen.m_dwState != 0);
    Require(st.m_qwBytesInError <= st.m_qwChecked);
    Require(st.m_qwBitsInError >= st.m_qwBytesInError && st.m_qwBitsInError <= 8 * st.m_qwBytesInError);
    Require(stWhole.m_nState != kRxDoubt);

    char achReport[512];
    fnFormatRxCheckReport(achReport, sizeof achReport, "fuzz", st, static_cast<std::uint32_t>(cb));
    Require(std::strlen(achReport) < sizeof achReport);
    return 0;
}
