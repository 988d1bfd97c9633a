// The text of the terminal's history and console view: a bounded history of
// finished lines plus the last screenful, where a console's cursor moves and
// erases act. Bytes go in through fnScreenFeed; the view reads the kept
// lines it paints through fnScreenLineText.
//
// The view's text is the kept lines joined by CR LF, each line led by the
// local time its first received byte arrived when a stamp was given.
#ifndef ZEVRIK_CONSOLE_SCREEN_H
#define ZEVRIK_CONSOLE_SCREEN_H

#include <cstdint>

#include "vt_parser.h"

// A line longer than this goes on in the next one.
const int kRowChars = 480;
// The last screenful: the lines a cursor can reach.
const int kLiveRows = 24;
// The history keeps up to this much text and this many lines before the
// screenful, whichever limit comes first.
const std::uint32_t kHistoryChars = 1u << 20;
const std::uint32_t kHistoryLines = 65536;
// "hh:mm:ss.mmm "
const int kStampChars = 13;
// The most text one line takes in the view, with its CR LF and stamp.
const int kLineTextMax = 2 + kStampChars + kRowChars;
// A block fed without a time: its lines are not stamped.
const std::int32_t kNoStamp = -1;

struct ScreenRow {
    char m_ach[kRowChars];
    std::uint16_t m_nLen;
    std::int32_t m_nStamp; // milliseconds after midnight, or kNoStamp
};

struct HistoryLine {
    std::uint32_t m_dwStart; // where its text starts in the ring
    std::uint16_t m_nLen;
    std::int32_t m_nStamp;
};

struct ConsoleScreen {
    bool m_bConsole;         // control sequences acted on, else shown as text
    std::uint32_t m_dwLimit; // history characters kept
    char m_achRing[kHistoryChars];
    HistoryLine m_astLine[kHistoryLines];
    std::uint64_t m_qwFirst;   // number of the oldest kept line
    std::uint64_t m_qwHistEnd; // number of the screenful's first line
    std::uint32_t m_dwRingEnd; // ring position after the newest line
    std::uint32_t m_dwRingUsed;
    ScreenRow m_astRow[kLiveRows];
    int m_nTop; // the slot of the screenful's first line
    int m_nRows;
    int m_nRow, m_nCol;
    int m_nSavedRow, m_nSavedCol;
    VtParser m_stVt;
    bool m_bCrHeld; // text mode: a CR waiting to see whether an LF follows
};

// Empty screen. bConsole: act on control sequences; dwLimit: history text
// kept, at most kHistoryChars.
void fnScreenReset(ConsoleScreen &st, bool bConsole, std::uint32_t dwLimit);

// Adds received or echoed bytes; nStamp is the time of day in milliseconds
// given to lines that get their first character here, or kNoStamp.
void fnScreenFeed(ConsoleScreen &st, const std::uint8_t *pby, std::uint32_t dwCount, std::int32_t nStamp);

// Kept lines, the screenful included.
std::uint32_t fnScreenLines(const ConsoleScreen &st);

// The text of kept line dwIndex (0 the oldest) with its stamp, without a
// line end: at most kLineTextMax characters, no terminator.
std::uint32_t fnScreenLineText(ConsoleScreen &st, std::uint32_t dwIndex, char *pch);

// A place in the view's text: a kept line and a character of it.
struct ScreenPos {
    std::uint32_t m_dwLine;
    std::uint32_t m_dwCol;
};

// The view's text from one place to the other, in either order, lines
// joined by CR LF; places past a line's end or the last line count as
// there. Writes at most dwRoom characters (none when pch is null) and
// returns how many it wrote, or the whole length when pch is null.
std::uint32_t fnScreenText(ConsoleScreen &st, ScreenPos stFrom, ScreenPos stTo, char *pch,
                           std::uint32_t dwRoom);

#endif
