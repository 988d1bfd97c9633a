#include "csi_tail.h"

#include "csi_fields.h"

#include <cstring>

const CsiTailDef kastCsiTail[kCsiTailCount] = {
    {"HIST", 0, 1, 0},
    {"CONS", 0, 1, 0},
    {"TIME", 0, 1, 0},
    {"BKSP", 0, 1, 0},
    {"CENT", 0, 2, 0},
    {"ROPN", 0, 1, 0},
    {"PRBS", 0, 3, 0},
    {"RXCK", 0, 3, 0},
    {"PCHK", 0, 1, 0},
    {"LFMT", kLogText, kLogRaw, kLogText},
    {"LSTM", kLogStampDateTime, kLogStampSeconds, kLogStampDateTime},
    {"LDIR", kLogReceivedOnly, kLogBothDirections, kLogReceivedOnly},
    {"LPAU", kLogPauseMsMin, kLogPauseMsMax, kLogPauseMsDefault},
    {"LAPP", 0, 1, 0},
    {"LROT", kLogRotateOff, kLogRotateMidnight, kLogRotateOff},
    {"LRSZ", kLogRotateBytesMin, kLogRotateBytesMax, kLogRotateBytesDefault},
    {"LOPN", 0, 1, 0},
    {"PFMT", 1, 7, 7},
    {"PAXS", 0, 1, 0},
    {"PYFX", 0, 1, 0},
    {"PSPS", 1, 3600, 10},
    {"PSPL", 10, 1048576, 1000},
    {"PYNL", 0, 0xFFFFFFFFu, 0},
    {"PYNH", 0, 0xFFFFFFFFu, 0},
    {"PYXL", 0, 0xFFFFFFFFu, 0},
    {"PYXH", 0, 0xFFFFFFFFu, 0x40590000u}, // 100.0
    {"CSIZ", 0, 1, 0},
    {"XPRO", 0, 3, 0},
    {"XBLK", 0, 2, 1},
    {"ZESC", 0, 1, 0},
    {"ZC32", 0, 1, 1},
    {"XWAI", 1, kXferFirstWaitMax, 60},
    {"ZAUT", 0, 1, 0},
};

namespace {

const ZBYTE kabyMagic[4] = {'Z', 'X', 'T', 'B'};
const ZDWORD kdwTailVersion = 1;
const ZDWORD kdwHeaderSize = 16;
const ZDWORD kdwEntrySize = 12; // tag, length, one 32-bit value
const ZBYTE kabyPatternTag[4] = {'L', 'N', 'A', 'M'};

ZDWORD fnCrc32(const ZBYTE *pby, ZDWORD dwCount)
{
    ZDWORD dwCrc = 0xFFFFFFFFu;
    for (ZDWORD i = 0; i < dwCount; ++i) {
        dwCrc ^= pby[i];
        for (int nBit = 0; nBit < 8; ++nBit) {
            dwCrc = (dwCrc >> 1) ^ (0xEDB88320u & (0u - (dwCrc & 1u)));
        }
    }
    return ~dwCrc;
}

ZDWORD fnDwordAt(const ZBYTE *pby)
{
    ZDWORD dwPos = 0;
    ZDWORD dw = 0;
    fnGetDword(pby, &dwPos, &dw);
    return dw;
}

bool fnHasMagic(const ZBYTE *pbyImage, ZDWORD dwValid)
{
    return dwValid >= kCsiFieldsEnd + sizeof kabyMagic &&
           std::memcmp(pbyImage + kCsiFieldsEnd, kabyMagic, sizeof kabyMagic) == 0;
}

int fnFindTag(const ZBYTE *pbyTag)
{
    for (int i = 0; i < kCsiTailCount; ++i) {
        if (std::memcmp(pbyTag, kastCsiTail[i].m_achTag, 4) == 0) {
            return i;
        }
    }
    return -1;
}

// A pattern this version cannot hold keeps the one it had.
void fnReadPattern(const ZBYTE *pbyText, ZDWORD dwLen, CsiTailData &st)
{
    if (dwLen > 0 && dwLen < sizeof st.m_achLogPattern && std::memchr(pbyText, 0, dwLen) == nullptr) {
        std::memset(st.m_achLogPattern, 0, sizeof st.m_achLogPattern);
        std::memcpy(st.m_achLogPattern, pbyText, dwLen);
    }
}

// One entry at pby with dwLeft entry bytes left; its size, or 0 when it is
// damaged. A known number must hold one value (its length is checked before
// the value is read); a value out of this version's range comes from a later
// version that widened it, so the setting keeps what it had.
ZDWORD fnReadEntry(const ZBYTE *pby, ZDWORD dwLeft, CsiTailData &st)
{
    if (dwLeft < 8) {
        return 0;
    }
    const ZDWORD dwLen = fnDwordAt(pby + 4);
    if (dwLen > dwLeft - 8) {
        return 0;
    }
    if (std::memcmp(pby, kabyPatternTag, sizeof kabyPatternTag) == 0) {
        fnReadPattern(pby + 8, dwLen, st);
        return 8 + dwLen;
    }
    const int nField = fnFindTag(pby);
    if (nField >= 0) {
        if (dwLen != 4) {
            return 0;
        }
        const ZDWORD dwValue = fnDwordAt(pby + 8);
        const CsiTailDef &stDef = kastCsiTail[nField];
        if (dwValue >= stDef.m_dwMin && dwValue <= stDef.m_dwMax) {
            st.m_adwValue[nField] = dwValue;
        }
    }
    return 8 + dwLen;
}

// The pattern's characters up to its terminator, or all the record holds.
ZDWORD fnPatternLen(const CsiTailData &st)
{
    const void *pvEnd = std::memchr(st.m_achLogPattern, 0, sizeof st.m_achLogPattern);
    return pvEnd != nullptr ? static_cast<ZDWORD>(static_cast<const char *>(pvEnd) - st.m_achLogPattern)
                            : static_cast<ZDWORD>(sizeof st.m_achLogPattern);
}

bool fnIsDefault(const CsiTailData &st)
{
    const CsiTailData stDefault = fnDefaultTail();
    return std::memcmp(st.m_adwValue, stDefault.m_adwValue, sizeof st.m_adwValue) == 0 &&
           fnPatternLen(st) == fnPatternLen(stDefault) &&
           std::memcmp(st.m_achLogPattern, stDefault.m_achLogPattern, fnPatternLen(st)) == 0;
}

} // namespace

CsiTailData::CsiTailData() : m_adwValue(), m_achLogPattern()
{
    for (int i = 0; i < kCsiTailCount; ++i) {
        m_adwValue[i] = kastCsiTail[i].m_dwDefault;
    }
    std::memcpy(m_achLogPattern, kLogPatternDefault, sizeof kLogPatternDefault);
}

CsiTailData fnDefaultTail()
{
    return CsiTailData();
}

bool fnReadTail(const ZBYTE *pbyImage, ZDWORD dwValid, CsiTailData &stOut)
{
    const ZDWORD dwEnd = dwValid < kCsiImageSize ? dwValid : kCsiImageSize;
    CsiTailData st = fnDefaultTail();
    if (fnHasMagic(pbyImage, dwEnd)) {
        if (dwEnd < kCsiFieldsEnd + kdwHeaderSize) {
            return false;
        }
        const ZBYTE *pbyHead = pbyImage + kCsiFieldsEnd;
        const ZDWORD dwSize = fnDwordAt(pbyHead + 8);
        const ZDWORD dwRoom = dwEnd - kCsiFieldsEnd - kdwHeaderSize;
        if (fnDwordAt(pbyHead + 4) < kdwTailVersion || dwSize > dwRoom ||
            fnCrc32(pbyHead + kdwHeaderSize, dwSize) != fnDwordAt(pbyHead + 12)) {
            return false;
        }
        for (ZDWORD dwPos = 0; dwPos < dwSize;) {
            const ZDWORD dwUsed = fnReadEntry(pbyHead + kdwHeaderSize + dwPos, dwSize - dwPos, st);
            if (dwUsed == 0) {
                return false;
            }
            dwPos += dwUsed;
        }
    }
    stOut = st;
    return true;
}

void fnWriteTail(ZBYTE *pbyImage, const CsiTailData &stTail)
{
    if (!fnHasMagic(pbyImage, kCsiImageSize) && fnIsDefault(stTail)) {
        return;
    }
    static_assert(kCsiFieldsEnd + kdwHeaderSize + kCsiTailCount * kdwEntrySize + 8 + kLogPatternChars <=
                      kCsiImageSize,
                  "the block fits the tail");
    const ZDWORD dwText = fnPatternLen(stTail);
    const ZDWORD dwSize = kCsiTailCount * kdwEntrySize + 8 + dwText;
    const ZDWORD dwLen = 4;
    ZDWORD dwPos = kCsiFieldsEnd + kdwHeaderSize;
    for (int i = 0; i < kCsiTailCount; ++i) {
        fnPutBytes(pbyImage, &dwPos, kastCsiTail[i].m_achTag, 4);
        fnPutDword(pbyImage, &dwPos, &dwLen);
        fnPutDword(pbyImage, &dwPos, &stTail.m_adwValue[i]);
    }
    fnPutBytes(pbyImage, &dwPos, kabyPatternTag, sizeof kabyPatternTag);
    fnPutDword(pbyImage, &dwPos, &dwText);
    fnPutBytes(pbyImage, &dwPos, stTail.m_achLogPattern, dwText);
    std::memset(pbyImage + dwPos, 0, kCsiImageSize - dwPos);
    const ZDWORD dwCrc = fnCrc32(pbyImage + kCsiFieldsEnd + kdwHeaderSize, dwSize);
    dwPos = kCsiFieldsEnd;
    fnPutBytes(pbyImage, &dwPos, kabyMagic, sizeof kabyMagic);
    fnPutDword(pbyImage, &dwPos, &kdwTailVersion);
    fnPutDword(pbyImage, &dwPos, &dwSize);
    fnPutDword(pbyImage, &dwPos, &dwCrc);
}
