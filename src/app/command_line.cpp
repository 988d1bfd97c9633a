#include "command_line.h"

namespace {

bool fnIsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

} // namespace

int fnFirstArgument(const char *pszLine, char *pchOut, std::size_t cchOut)
{
    if (cchOut == 0) {
        return kArgTooLong;
    }
    pchOut[0] = '\0';
    const char *pch = pszLine;
    while (fnIsBlank(*pch)) {
        ++pch;
    }
    if (*pch == '\0') {
        return kArgNone;
    }
    std::size_t nLen = 0;
    bool bQuoted = false;
    for (; *pch != '\0' && (bQuoted || !fnIsBlank(*pch)); ++pch) {
        if (*pch == '"') {
            bQuoted = !bQuoted;
            continue;
        }
        if (nLen + 1 >= cchOut) {
            pchOut[0] = '\0';
            return kArgTooLong;
        }
        pchOut[nLen++] = *pch;
    }
    pchOut[nLen] = '\0';
    return kArgFound;
}
