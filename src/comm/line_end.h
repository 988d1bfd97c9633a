// Line-end translation of received bytes for the terminal's text mode.
#ifndef ZEVRIK_LINE_END_H
#define ZEVRIK_LINE_END_H

#include <cstdint>

// Translates dwCount bytes into pchOut (room for 2 * dwCount + 1 characters):
// CR and LF by their translation values, zero bytes dropped, the rest copied.
// Writes the terminator and returns the length before it.
int fnTranslateLineEnds(const std::uint8_t *pby, std::uint32_t dwCount, char *pchOut, std::uint32_t nCrTrans,
                        std::uint32_t nLfTrans);

#endif
