#include "console_view.h"

#include "console_screen.h"
#include "hex_text.h"
#include "key_write.h"
#include "line_end.h"
#include "log_time.h"
#include "wall_clock.h"

namespace {

// The classic text keeps about 2 KB; so does the view without a history.
const DWORD kShortHistoryChars = 2048;
const DWORD kPieceChars = 2048;
const DWORD kAsciiPiece = kPieceChars / 2;
const DWORD kHexPiece = kPieceChars / 3;

ConsoleScreen gstScreen;
char gachPiece[kPieceChars + 1];

// The receive thread feeds the screen while the window paints from it and
// the user-interface thread may empty it.
struct ScreenLock {
    CRITICAL_SECTION m_cs;
    ScreenLock()
    {
        InitializeCriticalSection(&m_cs);
    }
};
ScreenLock gstScreenLock;

// The time of day on the log's clock, so a line's stamp on the screen and in
// the log agree.
std::int32_t fnNowStamp()
{
    return static_cast<std::int32_t>(fnWallClockMs() % kLogMsPerDay);
}

void fnFeed(const char *pch, int iLen, std::int32_t nStamp)
{
    fnScreenFeed(gstScreen, reinterpret_cast<const std::uint8_t *>(pch), static_cast<std::uint32_t>(iLen),
                 nStamp);
}

// Text as the classic view shows it: line ends translated, or HEX pairs.
void fnFeedTranslated(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, std::int32_t nStamp)
{
    const DWORD dwStep = stOpt.m_nDisplay == 0 ? kAsciiPiece : kHexPiece;
    while (dwCount > 0) {
        const DWORD dwPiece = dwCount < dwStep ? dwCount : dwStep;
        if (stOpt.m_nDisplay == 0) {
            fnFeed(gachPiece,
                   fnTranslateLineEnds(pby, dwPiece, gachPiece, stOpt.m_nCrTrans, stOpt.m_nLfTrans), nStamp);
        } else {
            fnFeed(gachPiece, static_cast<int>(3 * fnBufToHexStr(pby, gachPiece, dwPiece)), nStamp);
        }
        pby += dwPiece;
        dwCount -= dwPiece;
    }
}

} // namespace

DWORD fnViewKey(const TermOptBlock &stOpt)
{
    if (stOpt.m_nHistory == 0 && stOpt.m_bConsole == 0 && stOpt.m_bTimestamps == 0) {
        return 0;
    }
    return 1 | stOpt.m_nHistory << 1 | stOpt.m_bConsole << 2 | stOpt.m_bTimestamps << 3 |
           stOpt.m_nDisplay << 4;
}

// Control sequences are acted on only in text display: HEX shows every byte.
void fnViewReset(const TermOptBlock &stOpt)
{
    const DWORD dwLimit = stOpt.m_nHistory == 1 ? kHistoryChars : kShortHistoryChars;
    fnViewLock();
    fnScreenReset(gstScreen, stOpt.m_bConsole == 1 && stOpt.m_nDisplay == 0, dwLimit);
    fnViewUnlock();
}

void fnViewEmpty()
{
    fnViewLock();
    fnScreenReset(gstScreen, gstScreen.m_bConsole, gstScreen.m_dwLimit);
    fnViewUnlock();
}

// The console's answers to the far end's queries (cursor position, size,
// identity) leave like a typed key's sequence, outside the screen lock. One
// that cannot be sent is dropped: the far end asks again or goes on without.
void fnViewBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho)
{
    const std::int32_t nStamp = stOpt.m_bTimestamps == 1 && !bEcho ? fnNowStamp() : kNoStamp;
    char achReply[kReplyChars];
    DWORD dwReply = 0;
    fnViewLock();
    if (stOpt.m_bConsole == 1 && stOpt.m_nDisplay == 0) {
        fnScreenFeed(gstScreen, pby, dwCount, nStamp);
        dwReply = fnScreenTakeReply(gstScreen, achReply, sizeof achReply);
    } else {
        fnFeedTranslated(pby, dwCount, stOpt, nStamp);
    }
    fnViewUnlock();
    DWORD dwError = 0;
    if (dwReply > 0) {
        fnWriteKeys(reinterpret_cast<const BYTE *>(achReply), dwReply, &dwError);
    }
}

void fnViewLock()
{
    EnterCriticalSection(&gstScreenLock.m_cs);
}

void fnViewUnlock()
{
    LeaveCriticalSection(&gstScreenLock.m_cs);
}

ULONGLONG fnViewFirst()
{
    return fnScreenFirst(gstScreen);
}

DWORD fnViewLines()
{
    return fnScreenLines(gstScreen);
}

DWORD fnViewLineText(ULONGLONG qwLine, char *pch)
{
    return fnScreenLineText(gstScreen, qwLine, pch);
}

BOOL fnViewSelection(ScreenPos &stFrom, ScreenPos &stTo)
{
    return fnScreenSelection(gstScreen, stFrom, stTo);
}

DWORD fnViewText(ScreenPos stFrom, ScreenPos stTo, char *pch, DWORD dwRoom)
{
    return fnScreenText(gstScreen, stFrom, stTo, pch, dwRoom);
}
