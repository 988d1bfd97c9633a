// Writes fuzz seeds for fuzz_xymodem and fuzz_zmodem: what each engine hears
// from its peer in a clean transfer between ours, behind the targets' three
// bytes (mode, size, clock), so that the fuzzers start deep in the protocol.
// Usage: xfer_seed DIR_XYMODEM DIR_ZMODEM
#include "fuzz_xfer_common.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::uint8_t> Bytes;

void fnWrite(const std::string &strPath, const Bytes &vecHead, const Bytes &vec)
{
    FILE *pf = std::fopen(strPath.c_str(), "wb");
    Require(pf != nullptr);
    std::fwrite(vecHead.data(), 1, vecHead.size(), pf);
    std::fwrite(vec.data(), 1, vec.size(), pf);
    std::fclose(pf);
}

// Runs a sender and a receiver on each other; returns what each one heard.
void fnRecord(const XferSettings &stSet, std::uint8_t bySize, Bytes &vecToRx, Bytes &vecToTx)
{
    static XferSession stTx, stRx;
    FuzzSource stSource;
    stSource.dwSize = bySize * 37u;
    FuzzSink stSink;
    std::uint32_t dwNow = 0;
    fnXferStart(stTx, stSet, true, &stSource, nullptr, dwNow);
    fnXferStart(stRx, stSet, false, nullptr, &stSink, dwNow);
    std::uint8_t aby[kXferOutMax];
    for (int n = 0; n < 100000 && (fnXferRunning(stTx) || fnXferRunning(stRx)); ++n) {
        std::size_t cb = fnXferTakeOutput(stTx, aby, sizeof aby);
        vecToRx.insert(vecToRx.end(), aby, aby + cb);
        fnXferFeed(stRx, aby, cb, dwNow);
        const std::size_t cbBack = fnXferTakeOutput(stRx, aby, sizeof aby);
        vecToTx.insert(vecToTx.end(), aby, aby + cbBack);
        fnXferFeed(stTx, aby, cbBack, dwNow);
        dwNow += cb + cbBack == 0 ? 150 : 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    Require(argc == 3);
    const char *apszName[] = {"xmodem", "xmodem-crc", "xmodem-1k", "ymodem"};
    for (int i = 0; i < 4; ++i) {
        XferSettings stSet = fnXferDefaultSettings();
        stSet.m_nProtocol = i == 3 ? kXferYmodem : kXferXmodem;
        stSet.m_nXmodemVariant = static_cast<XmodemVariant>(i % 3);
        Bytes vecToRx, vecToTx;
        fnRecord(stSet, 40, vecToRx, vecToTx);
        const std::uint8_t byMode = static_cast<std::uint8_t>((i == 3 ? 1 : 0) | (i % 3) << 1);
        fnWrite(std::string(argv[1]) + "/" + apszName[i] + "-recv", {byMode, 40, 0}, vecToRx);
        fnWrite(std::string(argv[1]) + "/" + apszName[i] + "-send",
                {static_cast<std::uint8_t>(byMode | 8), 40, 0}, vecToTx);
    }
    for (int i = 0; i < 4; ++i) {
        XferSettings stSet = fnXferDefaultSettings();
        stSet.m_nProtocol = kXferZmodem;
        stSet.m_bZmodemCrc32 = (i & 1) != 0;
        stSet.m_bZmodemEscapeAll = (i & 2) != 0;
        Bytes vecToRx, vecToTx;
        fnRecord(stSet, 25, vecToRx, vecToTx);
        const std::string strName = std::string(argv[2]) + "/zmodem-" + std::to_string(i);
        fnWrite(strName + "-recv", {static_cast<std::uint8_t>(i), 25, 0}, vecToRx);
        fnWrite(strName + "-send", {static_cast<std::uint8_t>(i | 4), 25, 0}, vecToTx);
    }
    return 0;
}
