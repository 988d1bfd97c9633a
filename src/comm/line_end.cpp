#include "line_end.h"

namespace {

const char kCr = '\r';
const char kLf = '\n';

// Writes the line end chosen by a translation value (0 CR LF, 1 chOne, 2 the
// byte itself, other nothing); returns the number of characters written.
int fnPutLineEnd(char *pchOut, std::uint32_t nTrans, char chOne, char chSelf)
{
    switch (nTrans) {
    case 0:
        pchOut[0] = kCr;
        pchOut[1] = kLf;
        return 2;
    case 1:
        pchOut[0] = chOne;
        return 1;
    case 2:
        pchOut[0] = chSelf;
        return 1;
    default:
        return 0;
    }
}

} // namespace

int fnTranslateLineEnds(const std::uint8_t *pby, std::uint32_t dwCount, char *pchOut, std::uint32_t nCrTrans,
                        std::uint32_t nLfTrans)
{
    int iLen = 0;
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        const char ch = static_cast<char>(pby[i]);
        if (ch == kCr) {
            iLen += fnPutLineEnd(pchOut + iLen, nCrTrans, kLf, kCr);
        } else if (ch == kLf) {
            iLen += fnPutLineEnd(pchOut + iLen, nLfTrans, kCr, kLf);
        } else if (ch != '\0') {
            pchOut[iLen++] = ch;
        }
    }
    pchOut[iLen] = '\0';
    return iLen;
}
