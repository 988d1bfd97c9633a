// Arbitrary bytes from the far end for an XMODEM or YMODEM receiver or
// sender (the first byte chooses): nothing is read or written out of
// bounds, a receiver never writes past a YMODEM header's size, the sink's
// calls come in order, and without more input the engine ends.
#include "fuzz_xfer_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 3 || cbData > 65536) {
        return 0;
    }
    static const XmodemVariant kanVariant[3] = {kXmodemChecksum, kXmodemCrc, kXmodem1k};
    XferSettings stSet = fnXferDefaultSettings();
    stSet.m_nProtocol = (pbyData[0] & 1) != 0 ? kXferYmodem : kXferXmodem;
    stSet.m_nXmodemVariant = kanVariant[(pbyData[0] >> 1 & 3) % 3];
    const bool bSend = (pbyData[0] & 8) != 0;
    static XferSession st;
    FuzzSource stSource;
    stSource.dwSize = pbyData[1] * 37u;
    FuzzSink stSink;
    stSink.bTruncates = true;
    fnXferStart(st, stSet, bSend, &stSource, &stSink, 0xFFFF0000u); // the tick wraps on the way
    fnFuzzRun(st, pbyData + 3, cbData - 3, pbyData[2], 0xFFFF0000u, 400);
    Require(!stSink.bOpen);
    return 0;
}
