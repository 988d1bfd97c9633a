#include "cominfo_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Signed decimal (so 4294967295 shows as -1), or hex with 2, 4 or 8 digits.
enum InfoKind { kInfoDec, kInfoHex2, kInfoHex4, kInfoHex8 };

// A member: its bytes in the structure and, for the DCB flag word, its bits.
struct InfoField {
    const char *pszName;
    InfoKind eKind;
    unsigned char byOffset;
    unsigned char bySize;
    unsigned char byShift;
    unsigned char byBits;
};

const InfoField kastDcbFields[kDcbInfoLines] = {
    {"DCBLength", kInfoDec, 0, 4, 0, 32},
    {"BaudRate", kInfoDec, 4, 4, 0, 32},
    {"fBinary", kInfoDec, 8, 4, 0, 1},
    {"fParity", kInfoDec, 8, 4, 1, 1},
    {"fOutxCtsFlow", kInfoDec, 8, 4, 2, 1},
    {"fOutxDsrFlow", kInfoDec, 8, 4, 3, 1},
    {"fDtrControl", kInfoDec, 8, 4, 4, 2},
    {"fDsrSensitivity", kInfoDec, 8, 4, 6, 1},
    {"fTXContinueOnXoff", kInfoDec, 8, 4, 7, 1},
    {"fOutX", kInfoDec, 8, 4, 8, 1},
    {"fInX", kInfoDec, 8, 4, 9, 1},
    {"fErrorChar", kInfoDec, 8, 4, 10, 1},
    {"fNull", kInfoDec, 8, 4, 11, 1},
    {"fRtsControl", kInfoDec, 8, 4, 12, 2},
    {"fAbortOnError", kInfoDec, 8, 4, 14, 1},
    {"fDummy2", kInfoDec, 8, 4, 15, 17},
    {"wReserved", kInfoDec, 12, 2, 0, 16},
    {"XonLim", kInfoDec, 14, 2, 0, 16},
    {"XoffLim", kInfoDec, 16, 2, 0, 16},
    {"ByteSize", kInfoDec, 18, 1, 0, 8},
    {"Parity", kInfoDec, 19, 1, 0, 8},
    {"StopBits", kInfoDec, 20, 1, 0, 8},
    {"XonChar", kInfoHex2, 21, 1, 0, 8},
    {"XoffChar", kInfoHex2, 22, 1, 0, 8},
    {"ErrorChar", kInfoHex2, 23, 1, 0, 8},
    {"EofChar", kInfoHex2, 24, 1, 0, 8},
    {"EvtChar", kInfoHex2, 25, 1, 0, 8},
    {"wReserved1", kInfoHex4, 26, 2, 0, 16},
};

const InfoField kastTimeoutsFields[kTimeoutsInfoLines] = {
    {"ReadIntervalTimeout", kInfoDec, 0, 4, 0, 32},
    {"ReadTotalTimeoutMultiplier", kInfoDec, 4, 4, 0, 32},
    {"ReadTotalTimeoutConstant", kInfoDec, 8, 4, 0, 32},
    {"WriteTotalTimeoutMultiplier", kInfoDec, 12, 4, 0, 32},
    {"WriteTotalTimeoutConstant", kInfoDec, 16, 4, 0, 32},
};

const InfoField kastCommPropFields[kCommPropInfoLines] = {
    {"wPacketLength", kInfoDec, 0, 2, 0, 16},         {"wPacketVersion", kInfoDec, 2, 2, 0, 16},
    {"dwServiceMask", kInfoHex8, 4, 4, 0, 32},        {"dwReserved1", kInfoDec, 8, 4, 0, 32},
    {"dwMaxTxQueue", kInfoDec, 12, 4, 0, 32},         {"dwMaxRxQueue", kInfoDec, 16, 4, 0, 32},
    {"dwMaxBaud", kInfoHex8, 20, 4, 0, 32},           {"dwProvSubType", kInfoHex8, 24, 4, 0, 32},
    {"dwProvCapabilities", kInfoHex8, 28, 4, 0, 32},  {"dwSettableParams", kInfoHex8, 32, 4, 0, 32},
    {"dwSettableBaud", kInfoHex8, 36, 4, 0, 32},      {"wSettableData", kInfoHex4, 40, 2, 0, 16},
    {"wSettableStopParity", kInfoHex4, 42, 2, 0, 16}, {"dwCurrentTxQueue", kInfoDec, 44, 4, 0, 32},
    {"dwCurrentRxQueue", kInfoDec, 48, 4, 0, 32},     {"dwProvSpec1", kInfoDec, 52, 4, 0, 32},
    {"dwProvSpec2", kInfoDec, 56, 4, 0, 32},          {"wcProvChar", kInfoDec, 60, 2, 0, 16},
};

// Little-endian bytes widened without sign, then the member's bits.
ZDWORD fnFieldValue(const ZBYTE *pbyStruct, const InfoField &stField)
{
    ZDWORD dwValue = 0;
    for (int i = stField.bySize - 1; i >= 0; --i) {
        dwValue = (dwValue << 8) | pbyStruct[stField.byOffset + i];
    }
    dwValue >>= stField.byShift;
    if (stField.byBits < 32) {
        dwValue &= (ZDWORD(1) << stField.byBits) - 1;
    }
    return dwValue;
}

int fnFormatLine(char *pchLine, std::size_t cchLine, const InfoField &stField, ZDWORD dwValue)
{
    const unsigned int uValue = dwValue;
    switch (stField.eKind) {
    case kInfoHex2:
        return std::snprintf(pchLine, cchLine, "%s=0x%02X \r\n", stField.pszName, uValue);
    case kInfoHex4:
        return std::snprintf(pchLine, cchLine, "%s=0x%04X \r\n", stField.pszName, uValue);
    case kInfoHex8:
        return std::snprintf(pchLine, cchLine, "%s=0x%08X \r\n", stField.pszName, uValue);
    case kInfoDec:
        break;
    }
    std::int32_t iValue;
    std::memcpy(&iValue, &dwValue, sizeof iValue);
    return std::snprintf(pchLine, cchLine, "%s=%ld \r\n", stField.pszName, static_cast<long>(iValue));
}

// A line is formatted aside and copied into its slot and the text only whole.
int fnBuildInfoText(const ZBYTE *pbyStruct, const InfoField *pstFields, int nFields,
                    const InfoTarget &stTarget)
{
    if (stTarget.cchText == 0) {
        return 0;
    }
    stTarget.pchText[0] = '\0';
    std::size_t cchUsed = 0;
    int nAppended = 0;
    for (int i = 0; i < nFields; ++i) {
        char achLine[64];
        const int iLen =
            fnFormatLine(achLine, sizeof achLine, pstFields[i], fnFieldValue(pbyStruct, pstFields[i]));
        char *pchSlot = stTarget.pchLines + i * stTarget.cchLine;
        if (iLen < 0 || static_cast<std::size_t>(iLen) >= stTarget.cchLine ||
            cchUsed + iLen >= stTarget.cchText) {
            if (stTarget.cchLine > 0) {
                pchSlot[0] = '\0';
            }
            continue;
        }
        std::memcpy(pchSlot, achLine, iLen + 1);
        std::memcpy(stTarget.pchText + cchUsed, achLine, iLen + 1);
        cchUsed += iLen;
        ++nAppended;
    }
    return nAppended;
}

} // namespace

int fnDcbInfoText(const ZBYTE *pbyDcb, const InfoTarget &stTarget)
{
    return fnBuildInfoText(pbyDcb, kastDcbFields, kDcbInfoLines, stTarget);
}

int fnTimeoutsInfoText(const ZBYTE *pbyTimeouts, const InfoTarget &stTarget)
{
    return fnBuildInfoText(pbyTimeouts, kastTimeoutsFields, kTimeoutsInfoLines, stTarget);
}

int fnCommPropInfoText(const ZBYTE *pbyCommProp, const InfoTarget &stTarget)
{
    return fnBuildInfoText(pbyCommProp, kastCommPropFields, kCommPropInfoLines, stTarget);
}
