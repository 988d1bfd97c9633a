#include "console_view.h"

#include "console_screen.h"
#include "hex_text.h"
#include "line_end.h"
#include "window_records.h"

namespace {

// The classic text keeps about 2 KB; so does the view without a history.
const DWORD kShortHistoryChars = 2048;
// Room of the control: the history with its stamps and line ends, and more.
const WPARAM kEditLimit = 8u << 20;
// Under Wine the edit control spends ~0.4 ms on every line it gets, so the
// text goes over in pieces of about a hundred lines: between two pieces the
// user-interface thread answers its other messages.
const DWORD kPieceChars = 2048;
const int kPiecesPerWrite = 2;
const DWORD kAsciiPiece = kPieceChars / 2;
const DWORD kHexPiece = kPieceChars / 3;
// Lines the history let go leave the control in batches of a quarter of the
// history: every cut at its start costs the control as much as a piece
// appended.
const DWORD kHeadCutShare = 4;

ConsoleScreen gstScreen;
char gachPiece[kPieceChars + 1];
// The control's text length, kept here: asking the control would convert
// its whole text every time. One character per byte, as in the single-byte
// code pages the terminal text is shown in.
DWORD gdwShown;
// Text at the start of the control that the history no longer holds, and
// how much of it is cut at once.
DWORD gdwHeadOwed;
DWORD gdwHeadBatch;

std::int32_t fnNowStamp()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
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

void fnReplace(DWORD dwFrom, DWORD dwTo, const char *psz)
{
    SendMessageA(gstTerminal.m_hEdit, EM_SETSEL, dwFrom, dwTo);
    SendMessageA(gstTerminal.m_hEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(psz));
}

// Returns the characters cut at the start of the control.
DWORD fnApply(const ScreenUpdate &stUp)
{
    DWORD dwCut = 0;
    gdwHeadOwed += stUp.m_dwDropHead;
    if (gdwHeadOwed >= gdwHeadBatch) {
        fnReplace(0, gdwHeadOwed, "");
        gdwShown -= gdwHeadOwed;
        dwCut = gdwHeadOwed;
        gdwHeadOwed = 0;
    }
    gachPiece[stUp.m_dwLen] = '\0';
    fnReplace(gdwShown - stUp.m_dwDropTail, gdwShown, gachPiece);
    gdwShown += stUp.m_dwLen - stUp.m_dwDropTail;
    return dwCut;
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
    fnScreenReset(gstScreen, stOpt.m_bConsole == 1 && stOpt.m_nDisplay == 0, dwLimit);
    gdwShown = 0;
    gdwHeadOwed = 0;
    gdwHeadBatch = dwLimit / kHeadCutShare;
    SendMessageA(gstTerminal.m_hEdit, EM_SETLIMITTEXT, kEditLimit, 0);
}

void fnViewBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho)
{
    const std::int32_t nStamp = stOpt.m_bTimestamps == 1 && !bEcho ? fnNowStamp() : kNoStamp;
    if (stOpt.m_bConsole == 1 && stOpt.m_nDisplay == 0) {
        fnScreenFeed(gstScreen, pby, dwCount, nStamp);
    } else {
        fnFeedTranslated(pby, dwCount, stOpt, nStamp);
    }
}

// A selection the user made survives the update, shifted with the text.
// One call gives the control a few pieces at most, so the user-interface
// thread never waits long for its own messages; the rest follows.
BOOL fnViewWrite()
{
    DWORD dwSelStart = 0;
    DWORD dwSelEnd = 0;
    SendMessageA(gstTerminal.m_hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&dwSelStart),
                 reinterpret_cast<LPARAM>(&dwSelEnd));
    DWORD dwHeadCut = 0;
    ScreenUpdate stUp;
    BOOL bMore = TRUE;
    for (int i = 0; bMore && i < kPiecesPerWrite; ++i) {
        bMore = fnScreenTake(gstScreen, gachPiece, kPieceChars, stUp);
        if (bMore) {
            dwHeadCut += fnApply(stUp);
        }
    }
    if (dwSelStart != dwSelEnd && dwSelStart >= dwHeadCut && dwSelEnd - dwHeadCut <= gdwShown) {
        SendMessageA(gstTerminal.m_hEdit, EM_SETSEL, dwSelStart - dwHeadCut, dwSelEnd - dwHeadCut);
    }
    return bMore;
}
