// The COM Information texts: one "name=value \r\n" line per member of the
// port's DCB, COMMTIMEOUTS and COMMPROP, read from the structures' bytes as
// 32-bit Windows lays them out. Free of <windows.h> so it is unit-tested
// natively; cominfo_dialog feeds it the records of gstCommx.
#ifndef ZEVRIK_COMINFO_TEXT_H
#define ZEVRIK_COMINFO_TEXT_H

#include <cstddef>

#include "settings_data.h"

const std::size_t kDcbBytes = 28;
const std::size_t kTimeoutsBytes = 20;
const std::size_t kCommPropBytes = 62; // up to and with wcProvChar[0]

const int kDcbInfoLines = 28;
const int kTimeoutsInfoLines = 5;
const int kCommPropInfoLines = 18;

// Longest line with its terminator: "WriteTotalTimeoutMultiplier=-2147483648 \r\n".
const std::size_t kInfoLineMax = 43;

// Where a text goes: its line slots (consecutive, cchLine characters each, one
// per member) and the whole text.
struct InfoTarget {
    char *pchLines;
    std::size_t cchLine;
    char *pchText;
    std::size_t cchText;
};

// Each empties the text, formats every member into its slot and appends it.
// A line that would not fit whole into its slot or into the rest of the text
// is left out, never cut. Returns the number of lines appended.
int fnDcbInfoText(const ZBYTE *pbyDcb, const InfoTarget &stTarget);
int fnTimeoutsInfoText(const ZBYTE *pbyTimeouts, const InfoTarget &stTarget);
int fnCommPropInfoText(const ZBYTE *pbyCommProp, const InfoTarget &stTarget);

#endif
