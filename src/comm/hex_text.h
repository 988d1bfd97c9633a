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
int fnHexPairToByte(const char *pch, std::uint8_t *pbyOut);
int fnCheckHexStr(const char *psz, std::uint32_t dwLimit);
int fnHexStrToBuf(const char *psz, std::uint8_t *pbyOut, std::uint32_t *pdwCount, std::uint32_t dwLimit);
void fnByteToHexStr(const std::uint8_t *pby, char *pchOut);
std::uint32_t fnBufToHexStr(const std::uint8_t *pby, char *pchOut, std::uint32_t dwCount);

#endif
