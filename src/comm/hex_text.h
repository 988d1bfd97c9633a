// Hexadecimal text: checking and parsing typed hex into bytes, and formatting
// bytes as two upper-case digits each. Stateless; callable from any thread.
#ifndef ZEVRIK_HEX_TEXT_H
#define ZEVRIK_HEX_TEXT_H

#include <cstdint>

// Result codes of fnCheckHexStr and fnHexStrToBuf.
const int kHexOk = 0;
const int kHexTooLong = 1;
const int kHexIllegal = 2;
const int kHexNothing = 3;

int fnIsHexPair(const char *pch);
// 1 and the byte written, or 0 with *pbyOut untouched when pch is no pair.
int fnHexPairToByte(const char *pch, std::uint8_t *pbyOut);

// Blank-separated (or unseparated) digit pairs up to the terminator. At most
// dwLimit characters are examined, psz[dwLimit] never. fnHexStrToBuf stores
// the bytes as it goes (pbyOut needs room for dwLimit / 2 bytes); on codes 1
// and 2 stored bytes stay in pbyOut but *pdwCount is 0.
int fnCheckHexStr(const char *psz, std::uint32_t dwLimit);
int fnHexStrToBuf(const char *psz, std::uint8_t *pbyOut, std::uint32_t *pdwCount, std::uint32_t dwLimit);

// Two digits and the terminator (pchOut: 3 characters).
void fnByteToHexStr(const std::uint8_t *pby, char *pchOut);
// Two digits and a blank per byte, then the terminator (pchOut: 3 * dwCount + 1
// characters). A count of 0 writes nothing at all. Returns dwCount.
std::uint32_t fnBufToHexStr(const std::uint8_t *pby, char *pchOut, std::uint32_t dwCount);

#endif
