// The line format the port was asked for beside the one its driver reports
// back, and the status summary texts built from them.
#ifndef ZEVRIK_LINE_HELD_H
#define ZEVRIK_LINE_HELD_H

#include "settings_data.h"

// Driver values as in a DCB: parity 0 None, 1 Odd, 2 Even, 3 Mark, 4 Space;
// stop bits 0 one, 1 one and a half, 2 two.
struct LineFormat {
    ZDWORD m_dwBaud;
    ZBYTE m_byByteSize;
    ZBYTE m_byParity;
    ZBYTE m_byStopBits;
};

bool fnLineDiffers(const LineFormat &stAsked, const LineFormat &stHeld);

// "COM3, 250000 asked, 230400 set, 8, None, 1": each part the driver holds
// differently names both values.
void fnFormatHeldSummary(char *pchOut, std::size_t cchOut, const char *pszShortName,
                         const LineFormat &stAsked, const LineFormat &stHeld);

// "COM3: waiting for the device".
void fnFormatWaitingSummary(char *pchOut, std::size_t cchOut, const char *pszShortName);

#endif
