#include "csi_tail.h"

#include "csi_image.h"

#include <cstring>

const CsiTailDef kastCsiTail[kCsiTailCount] = {
    {"HIST", 0, 1, 0}, {"CONS", 0, 1, 0},
    {"TIME", 0, 1, 0}, {"BKSP", 0, 1, 0},
    {"CENT", 0, 2, 0}, {"ROPN", 0, 1, 0},
    {"PRBS", 0, 3, 0}, {"RXCK", 0, 3, 0},
    {"PCHK", 0, 1, 0}, {"XPRO", 0, 3, 0},
    {"XBLK", 0, 2, 1}, {"ZESC", 0, 1, 0},
    {"ZC32", 0, 1, 1}, {"XWAI", 1, kXferFirstWaitMax, 60},
    {"ZAUT", 0, 1, 0},
};

namespace {

const ZBYTE kabyMagic[4] = {'Z', 'X', 'T', 'B'};
const ZDWORD kdwTailVersion = 1;
const ZDWORD kdwHeaderSize = 16;
const ZDWORD kdwEntrySize = 12; // tag, length, one 32-bit value

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

// One entry at pby with dwLeft entry bytes left; its size, or 0 when it is
// damaged. A known tag must hold one value (its length is checked before the
// value is read); a value out of this version's range comes from a later
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

} // namespace

CsiTailData fnDefaultTail()
{
    CsiTailData st = {};
    for (int i = 0; i < kCsiTailCount; ++i) {
        st.m_adwValue[i] = kastCsiTail[i].m_dwDefault;
    }
    return st;
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
    const CsiTailData stDefault = fnDefaultTail();
    if (!fnHasMagic(pbyImage, kCsiImageSize) && std::memcmp(&stTail, &stDefault, sizeof stTail) == 0) {
        return;
    }
    static_assert(kCsiFieldsEnd + kdwHeaderSize + kCsiTailCount * kdwEntrySize <= kCsiImageSize,
                  "the block fits the tail");
    const ZDWORD dwSize = kCsiTailCount * kdwEntrySize;
    const ZDWORD dwLen = 4;
    ZDWORD dwPos = kCsiFieldsEnd + kdwHeaderSize;
    for (int i = 0; i < kCsiTailCount; ++i) {
        fnPutBytes(pbyImage, &dwPos, kastCsiTail[i].m_achTag, 4);
        fnPutDword(pbyImage, &dwPos, &dwLen);
        fnPutDword(pbyImage, &dwPos, &stTail.m_adwValue[i]);
    }
    std::memset(pbyImage + dwPos, 0, kCsiImageSize - dwPos);
    const ZDWORD dwCrc = fnCrc32(pbyImage + kCsiFieldsEnd + kdwHeaderSize, dwSize);
    dwPos = kCsiFieldsEnd;
    fnPutBytes(pbyImage, &dwPos, kabyMagic, sizeof kabyMagic);
    fnPutDword(pbyImage, &dwPos, &kdwTailVersion);
    fnPutDword(pbyImage, &dwPos, &dwSize);
    fnPutDword(pbyImage, &dwPos, &dwCrc);
}
