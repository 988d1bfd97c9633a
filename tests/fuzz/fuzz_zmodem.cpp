// Arbitrary bytes from the far end for a ZMODEM receiver or sender (the
// first byte chooses, and the options): nothing is read or written out of
// bounds, the sink's calls come in order, and without more input the engine
// ends. The same bytes go through the auto-start detector, which must find
// the ZRQINIT start exactly where a plain search does.
#include "fuzz_xfer_common.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 3 || cbData > 65536) {
        return 0;
    }
    XferSettings stSet = fnXferDefaultSettings();
    stSet.m_nProtocol = kXferZmodem;
    stSet.m_bZmodemCrc32 = (pbyData[0] & 1) != 0;
    stSet.m_bZmodemEscapeAll = (pbyData[0] & 2) != 0;
    const bool bSend = (pbyData[0] & 4) != 0;
    static XferSession st;
    FuzzSource stSource;
    stSource.dwSize = pbyData[1] * 61u;
    FuzzSink stSink;
    fnXferStart(st, stSet, bSend, &stSource, &stSink, 0);
    fnFuzzRun(st, pbyData + 3, cbData - 3, pbyData[2], 0, 2000);
    Require(!stSink.bOpen);

    static const std::uint8_t kabyStart[] = {'*', 0x18, 'B', '0', '0'};
    const std::uint8_t *pbyEnd = pbyData + cbData;
    const std::uint8_t *pbyFound = std::search(pbyData, pbyEnd, kabyStart, kabyStart + sizeof kabyStart);
    ZAutoStart stAuto = {};
    std::size_t cbUsed = 0, cbAt = 0;
    bool bSeen = false;
    for (std::size_t cbStep = 1; cbAt < cbData && !bSeen; cbAt += cbStep, cbStep = cbStep % 7 + 1) {
        const std::size_t cb = std::min(cbStep, cbData - cbAt);
        bSeen = fnZAutoStartFeed(stAuto, pbyData + cbAt, cb, &cbUsed);
        if (bSeen) {
            Require(cbUsed >= 1 && cbUsed <= cb);
            Require(pbyData + cbAt + cbUsed == pbyFound + sizeof kabyStart);
        }
    }
    Require(bSeen == (pbyFound != pbyEnd));
    return 0;
}
