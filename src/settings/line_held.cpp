#include "line_held.h"

#include <cstdio>

namespace {

const char *const kapszParity[] = {"None", "Odd", "Even", "Mark", "Space"};
const char *const kapszStopBits[] = {"1", "1.5", "2"};
const std::size_t kcchValue = 24;
const std::size_t kcchPart = 64;

// A value the tables do not name shows as its number.
void fnValueText(char *pchOut, ZDWORD dwValue, const char *const *ppszNames, ZDWORD dwNames)
{
    if (ppszNames != nullptr && dwValue < dwNames) {
        std::snprintf(pchOut, kcchValue, "%s", ppszNames[dwValue]);
    } else {
        std::snprintf(pchOut, kcchValue, "%lu", static_cast<unsigned long>(dwValue));
    }
}

void fnPartText(char *pchOut, ZDWORD dwAsked, ZDWORD dwHeld, const char *const *ppszNames, ZDWORD dwNames)
{
    char achAsked[kcchValue];
    char achHeld[kcchValue];
    fnValueText(achAsked, dwAsked, ppszNames, dwNames);
    if (dwAsked == dwHeld) {
        std::snprintf(pchOut, kcchPart, "%s", achAsked);
        return;
    }
    fnValueText(achHeld, dwHeld, ppszNames, dwNames);
    std::snprintf(pchOut, kcchPart, "%s asked, %s set", achAsked, achHeld);
}

} // namespace

bool fnLineDiffers(const LineFormat &stAsked, const LineFormat &stHeld)
{
    return stAsked.m_dwBaud != stHeld.m_dwBaud || stAsked.m_byByteSize != stHeld.m_byByteSize ||
           stAsked.m_byParity != stHeld.m_byParity || stAsked.m_byStopBits != stHeld.m_byStopBits;
}

void fnFormatHeldSummary(char *pchOut, std::size_t cchOut, const char *pszShortName,
                         const LineFormat &stAsked, const LineFormat &stHeld)
{
    char aachPart[4][kcchPart];
    fnPartText(aachPart[0], stAsked.m_dwBaud, stHeld.m_dwBaud, nullptr, 0);
    fnPartText(aachPart[1], stAsked.m_byByteSize, stHeld.m_byByteSize, nullptr, 0);
    fnPartText(aachPart[2], stAsked.m_byParity, stHeld.m_byParity, kapszParity, 5);
    fnPartText(aachPart[3], stAsked.m_byStopBits, stHeld.m_byStopBits, kapszStopBits, 3);
    std::snprintf(pchOut, cchOut, "%s, %s, %s, %s, %s", pszShortName, aachPart[0], aachPart[1], aachPart[2],
                  aachPart[3]);
}

void fnFormatWaitingSummary(char *pchOut, std::size_t cchOut, const char *pszShortName)
{
    std::snprintf(pchOut, cchOut, "%s: waiting for the device", pszShortName);
}
