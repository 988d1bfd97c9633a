// The text and hex log: the bytes of each read become stamped log lines, and
// markers tell what happened to the port. Pure code, no allocation; one
// thread feeds it. Output collects in m_achOut as whole lines ending in
// CR LF: the Win32 side writes m_achOut[0, m_dwOut) to the file after each
// call and sets m_dwOut to 0. A raw log takes nothing here: its file gets
// the received bytes as they are.
//
// A log line: the stamp, a separator, in a log of both directions "< " for
// received or "> " for sent data, then the text. The separator is ' ' for a
// new line, '+' for one that goes on from the line before it (written at a
// pause, or cut at kLogLineChars), '*' for a marker:
//
//   2024-05-01 13:45:07.250 < login: root
//   2024-05-01 13:45:08.117 < Password:
//   2024-05-01 13:45:09.480+< ok
//   2024-05-01 13:45:10.002* port lost
//
// Text lines: CR LF, LF CR, a lone CR and a lone LF each end a line; the
// partner of a CR or LF that ended a line is taken as its second half when
// it is the very next byte of that direction, however late it comes. A line
// is stamped with the time of its first byte and written at its line end,
// or as far as it goes once no byte has come for the pause, or once it has
// been open for kLogHoldPauses pauses. Received and sent data each have their
// own open line, so the two never mix however they interleave.
//
// With the console view on, control sequences are removed with the
// terminal's parser; BS moves back over the line and ESC [ K cuts it where
// it stands, as they would on the screen. Other control bytes show as
// <0x07> (with the view off, every one and DEL but TAB, CR and LF; with it
// on, every one it does not act on but NUL, and DEL not at all), bytes from
// 0x80 up as they came.
//
// Hex: each read as rows of 16 bytes, stamped with the read's time: the
// offset (bytes of that direction since the log began, 8 or more hex
// digits), the bytes as hex pairs, and their text with '.' for what is not
// printable ASCII. Rows after a read's first have the '+' separator.
#ifndef ZEVRIK_LOG_FORMAT_H
#define ZEVRIK_LOG_FORMAT_H

#include <cstdint>

#include "log_settings.h"
#include "vt_parser.h"

// The longest text of a log line; the rest goes on in the next.
const std::uint32_t kLogLineChars = 4096;
// Stamp, separator and direction: at most 32 characters.
const std::uint32_t kLogPrefixMax = 40;
const std::uint32_t kLogLineMax = kLogPrefixMax + kLogLineChars + 2;
// An open line is written after this many pauses even while bytes keep
// coming, so a slow stream without line ends is not held back either.
const std::uint32_t kLogHoldPauses = 10;
// A marker shows this much of the detail it is given.
const std::uint32_t kLogDetailChars = 256;
// Room for a few whole lines: a call that has room for what it may write
// always takes something.
const std::uint32_t kLogOutChars = 32768;

enum LogDir : std::uint8_t { kLogReceived, kLogSent };

enum LogMark : std::uint8_t {
    kLogMarkStarted,
    kLogMarkStopped,
    kLogMarkOpened, // detail: the port's settings
    kLogMarkClosed,
    kLogMarkLost,
    kLogMarkReopened, // detail: the port's settings
    kLogMarkBreak,
    kLogMarkSettings, // detail: the new settings
    kLogMarkCount
};

// The open line of one direction, and its running byte count for hex.
struct LogLine {
    VtParser m_stVt;
    char m_ach[kLogLineChars];
    std::uint32_t m_nLen;
    std::uint32_t m_nCol; // where the next character goes (BS moves it back)
    std::uint64_t m_qwFirstMs;
    std::uint64_t m_qwLastMs;
    std::uint64_t m_qwOffset;
    bool m_bOpen;         // a character or line end came since the last write
    bool m_bMore;         // the next line goes on from the last one written
    std::uint8_t m_byEnd; // the CR or LF that ended the line just before
};

struct LogWriter {
    LogFormat m_nFormat;
    LogStampStyle m_nStamp;
    bool m_bBoth;
    bool m_bConsole;
    std::uint32_t m_dwPauseMs;
    std::uint64_t m_qwStartMs;
    std::uint64_t m_qwStampMs; // the time of the last stamp made
    char m_achStamp[32];
    std::uint32_t m_nStampLen; // 0: none made yet
    LogLine m_astLine[2];      // by LogDir
    char m_achOut[kLogOutChars];
    std::uint32_t m_dwOut;
};

// Times are log clock readings (log_time.h); qwNowMs is the log's start.
// Values out of their range in stSet count as their defaults.
void fnLogStart(LogWriter &st, const LogSettings &stSet, bool bConsole, std::uint64_t qwNowMs);

// The console view was switched: bytes from now on are read its new way.
void fnLogConsole(LogWriter &st, bool bConsole);

// A read (or a write, kLogSent) and the time it completed. Returns how many
// bytes it took: fewer than dwCount when m_achOut filled up, so write it out
// and call again with the rest.
std::uint32_t fnLogFeed(LogWriter &st, LogDir nDir, const std::uint8_t *pby, std::uint32_t dwCount,
                        std::uint64_t qwMs);

// Writes the lines whose pause has passed; call it a few times a second.
// False (nothing done) when m_achOut lacks room for two lines.
bool fnLogTick(LogWriter &st, std::uint64_t qwNowMs);

// Writes the open lines as far as they go, then the marker with pszDetail
// (or none, null). An opening (kLogMarkOpened, kLogMarkReopened) starts the
// lines afresh. False (nothing done) when m_achOut lacks room for three lines.
bool fnLogMark(LogWriter &st, LogMark nMark, const char *pszDetail, std::uint64_t qwMs);

#endif
