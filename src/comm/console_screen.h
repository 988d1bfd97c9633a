// The text of the terminal's history and console view: a bounded history of
// finished lines plus the screen, where a console's cursor moves and erases
// act. Bytes go in through fnScreenFeed; the view reads the kept lines it
// paints through fnScreenLineText.
//
// Every line has a number that stays with it while it is kept; the oldest
// kept line is fnScreenFirst. The view's text is the kept lines joined by
// CR LF, each line led by the local time its first received byte arrived
// when a stamp was given.
//
// In console mode the screen is a VT100-class terminal of fnScreenSize
// columns and rows (80 x 24 until set), with automatic margins and the
// VT100's deferred wrap, scroll regions and origin mode; the answers to the
// far end's reports wait in the screen until fnScreenTakeReply. In text mode
// lines are kRowChars wide and nothing is answered.
#ifndef ZEVRIK_CONSOLE_SCREEN_H
#define ZEVRIK_CONSOLE_SCREEN_H

#include <cstdint>

#include "vt_parser.h"

// A line longer than this goes on in the next one; the most columns a
// console screen can have.
const int kRowChars = 480;
// The most rows a console screen can have: a window as high as a 2160-pixel
// display in a 14-pixel font. Each costs a row of kRowChars.
const int kLiveRows = 160;
// The size of a console screen until set, and of text mode's screen: what
// the vt100 entry of the far end assumes.
const int kDefaultCols = 80;
const int kDefaultRows = 24;
// The smallest screen that follows a window's size: a shell's prompt and a
// command still fit.
const int kMinFitCols = 20;
const int kMinFitRows = 5;
// The history keeps up to this much text and this many lines before the
// screen, whichever limit comes first.
const std::uint32_t kHistoryChars = 1u << 20;
const std::uint32_t kHistoryLines = 65536;
// "hh:mm:ss.mmm "
const int kStampChars = 13;
// The most text one line takes in the view, with its CR LF and stamp.
const int kLineTextMax = 2 + kStampChars + kRowChars;
// A block fed without a time: its lines are not stamped.
const std::int32_t kNoStamp = -1;
// Answers not yet taken; an answer that does not fit whole is dropped.
const int kReplyChars = 256;

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
    std::uint64_t m_qwHistEnd; // number of the screen's first line
    std::uint32_t m_dwRingEnd; // ring position after the newest line
    std::uint32_t m_dwRingUsed;
    ScreenRow m_astRow[kLiveRows];
    std::uint8_t m_abySlot[kLiveRows]; // the row slot of each screen row
    int m_nCols, m_nHeight;            // the screen's size
    // Screen rows in use, from the top: the rows below hold nothing yet and
    // are not lines of the view.
    int m_nRows;
    int m_nRow, m_nCol;
    bool m_bWrapNext; // the last column printed: the next character wraps first
    bool m_bAutoWrap, m_bOrigin, m_bInsert;
    int m_nMarginTop, m_nMarginBottom; // the scroll region, rows counted from 0
    int m_nSavedRow, m_nSavedCol;
    bool m_bSavedOrigin;
    VtParser m_stVt;
    bool m_bCrHeld; // text mode: a CR waiting to see whether an LF follows
    char m_achReply[kReplyChars];
    int m_nReplyLen;
};

// Empty screen of the default size. bConsole: act on control sequences;
// dwLimit: history text kept, at most kHistoryChars. Line numbers go on
// from the previous contents (a zeroed screen starts at 0), so that places
// taken before name no kept line.
void fnScreenReset(ConsoleScreen &st, bool bConsole, std::uint32_t dwLimit);

// Console mode: the screen becomes nCols x nRows, held to 1..kRowChars and
// 1..kLiveRows. Rows above a smaller screen go into the history, lines are
// cut at a narrower width, the scroll region becomes the whole screen. The
// same size again changes nothing (a region set by the far end stays). Text
// mode keeps its size.
void fnScreenSize(ConsoleScreen &st, int nCols, int nRows);

// The screen that fits nWidth x nHeight pixels in whole cells of nCellWidth
// x nCellHeight, held to kMinFitCols..kRowChars and kMinFitRows..kLiveRows.
void fnScreenFit(int nWidth, int nHeight, int nCellWidth, int nCellHeight, int &nCols, int &nRows);

// Adds received or echoed bytes; nStamp is the time of day in milliseconds
// given to lines that get their first character here, or kNoStamp.
void fnScreenFeed(ConsoleScreen &st, const std::uint8_t *pby, std::uint32_t dwCount, std::int32_t nStamp);

// Takes up to dwRoom bytes of the answers to the far end's reports, to be
// sent as typed keys are; returns how many.
std::uint32_t fnScreenTakeReply(ConsoleScreen &st, char *pch, std::uint32_t dwRoom);

// The number of the oldest kept line, and how many are kept, the screen's
// rows in use included.
std::uint64_t fnScreenFirst(const ConsoleScreen &st);
std::uint32_t fnScreenLines(const ConsoleScreen &st);

// The text of line qwLine with its stamp, without a line end: at most
// kLineTextMax characters, no terminator; none for a line not kept.
std::uint32_t fnScreenLineText(ConsoleScreen &st, std::uint64_t qwLine, char *pch);

// A place in the view's text: a line's number and a character of it.
struct ScreenPos {
    std::uint64_t m_qwLine;
    std::uint32_t m_dwCol;
};

// A selection between two places, put in order and within the kept lines:
// a place on a dropped line moves to the start of the oldest kept line.
// False when nothing is selected: equal places, or every line dropped (as
// after fnScreenReset).
bool fnScreenSelection(const ConsoleScreen &st, ScreenPos &stFrom, ScreenPos &stTo);

// The view's text from one place to the other, in either order, lines
// joined by CR LF; places before the oldest kept line count as its start,
// places past a line's end or the last line as there. Writes at most dwRoom
// characters (none when pch is null) and returns how many it wrote, or the
// whole length when pch is null.
std::uint32_t fnScreenText(ConsoleScreen &st, ScreenPos stFrom, ScreenPos stTo, char *pch,
                           std::uint32_t dwRoom);

#endif
