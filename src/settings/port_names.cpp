#include "port_names.h"

#include <cstdio>

namespace {

bool fnIsComPrefix(const char *pch)
{
    return (pch[0] == 'C' || pch[0] == 'c') && (pch[1] == 'O' || pch[1] == 'o') &&
           (pch[2] == 'M' || pch[2] == 'm');
}

} // namespace

int fnPortIndexOfName(const char *pchName, std::size_t cchName)
{
    std::size_t cch = 0;
    while (cch < cchName && pchName[cch] != '\0') {
        ++cch;
    }
    if (cch < 4 || cch > 6 || !fnIsComPrefix(pchName) || pchName[3] == '0') {
        return -1;
    }
    int nNumber = 0;
    for (std::size_t i = 3; i < cch; ++i) {
        if (pchName[i] < '0' || pchName[i] > '9') {
            return -1;
        }
        nNumber = nNumber * 10 + (pchName[i] - '0');
    }
    return nNumber <= kPortCount ? nNumber - 1 : -1;
}

void fnMarkNamedPorts(const char *pchList, std::size_t cchList, PortPresence &stPresence)
{
    std::size_t nPos = 0;
    while (nPos < cchList && pchList[nPos] != '\0') {
        std::size_t nEnd = nPos;
        while (nEnd < cchList && pchList[nEnd] != '\0') {
            ++nEnd;
        }
        const int nIndex = fnPortIndexOfName(pchList + nPos, nEnd - nPos);
        if (nIndex >= 0) {
            stPresence.m_abPresent[nIndex] = true;
        }
        nPos = nEnd + 1;
    }
}

void fnFormatPortItem(char *pchOut, std::size_t cchOut, const char *pszName, bool bPresent)
{
    std::snprintf(pchOut, cchOut, bPresent ? "%s (present)" : "%s", pszName);
}
