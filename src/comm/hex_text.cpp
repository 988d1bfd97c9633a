#include "hex_text.h"

namespace {

const char kachDigits[] = "0123456789ABCDEF";

// Value of one hexadecimal digit, or -1 for any other character.
int fnHexValue(char ch)
{
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

// The scan shared by fnCheckHexStr and fnHexStrToBuf; pbyOut may be null when
// only the verdict is wanted. Never looks at psz[dwLimit] or beyond, so a pair
// that would reach past the limit counts as not meeting the end in time.
int fnScanHex(const char *psz, std::uint8_t *pbyOut, std::uint32_t *pdwFound, std::uint32_t dwLimit)
{
    std::uint32_t dwPos = 0;
    std::uint32_t dwFound = 0;
    *pdwFound = 0;
    while (dwPos < dwLimit) {
        const char ch = psz[dwPos];
        if (ch == ' ') {
            ++dwPos;
        } else if (ch == '\0') {
            *pdwFound = dwFound;
            return dwFound == 0 ? kHexNothing : kHexOk;
        } else if (fnHexValue(ch) >= 0 && dwLimit - dwPos < 2) {
            break;
        } else if (fnIsHexPair(psz + dwPos)) {
            if (pbyOut != nullptr) {
                fnHexPairToByte(psz + dwPos, pbyOut + dwFound);
            }
            ++dwFound;
            dwPos += 2;
        } else {
            return kHexIllegal;
        }
    }
    return kHexTooLong;
}

} // namespace

int fnIsHexPair(const char *pch)
{
    return fnHexValue(pch[0]) >= 0 && fnHexValue(pch[1]) >= 0 ? 1 : 0;
}

int fnHexPairToByte(const char *pch, std::uint8_t *pbyOut)
{
    if (!fnIsHexPair(pch)) {
        return 0;
    }
    *pbyOut = static_cast<std::uint8_t>(fnHexValue(pch[0]) * 16 + fnHexValue(pch[1]));
    return 1;
}

int fnCheckHexStr(const char *psz, std::uint32_t dwLimit)
{
    std::uint32_t dwFound;
    return fnScanHex(psz, nullptr, &dwFound, dwLimit);
}

int fnHexStrToBuf(const char *psz, std::uint8_t *pbyOut, std::uint32_t *pdwCount, std::uint32_t dwLimit)
{
    return fnScanHex(psz, pbyOut, pdwCount, dwLimit);
}

void fnByteToHexStr(const std::uint8_t *pby, char *pchOut)
{
    pchOut[0] = kachDigits[*pby >> 4];
    pchOut[1] = kachDigits[*pby & 0x0F];
    pchOut[2] = '\0';
}

std::uint32_t fnBufToHexStr(const std::uint8_t *pby, char *pchOut, std::uint32_t dwCount)
{
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        fnByteToHexStr(pby + i, pchOut + 3 * i);
        pchOut[3 * i + 2] = ' ';
    }
    if (dwCount > 0) {
        pchOut[3 * dwCount] = '\0';
    }
    return dwCount;
}
