#include "console_screen.h"

#include <cstring>

namespace {

const int kTabStop = 8;
const std::uint8_t kBel = 7, kBs = 8, kTab = 9, kLf = 10, kCr = 13;

ScreenRow &fnRow(ConsoleScreen &st, int nRow)
{
    return st.m_astRow[(st.m_nTop + nRow) % kLiveRows];
}

std::uint64_t fnEnd(const ConsoleScreen &st)
{
    return st.m_qwHistEnd + static_cast<std::uint64_t>(st.m_nRows);
}

HistoryLine &fnHistLine(ConsoleScreen &st, std::uint64_t qwLine)
{
    return st.m_astLine[qwLine % kHistoryLines];
}

void fnDropOldest(ConsoleScreen &st)
{
    st.m_dwRingUsed -= fnHistLine(st, st.m_qwFirst).m_nLen;
    ++st.m_qwFirst;
}

void fnRingPut(ConsoleScreen &st, const char *pch, std::uint32_t dwLen)
{
    const std::uint32_t dwAt = st.m_dwRingEnd % kHistoryChars;
    const std::uint32_t dwFirst = dwLen < kHistoryChars - dwAt ? dwLen : kHistoryChars - dwAt;
    std::memcpy(st.m_achRing + dwAt, pch, dwFirst);
    std::memcpy(st.m_achRing, pch + dwFirst, dwLen - dwFirst);
    st.m_dwRingEnd += dwLen;
    st.m_dwRingUsed += dwLen;
}

// The screenful's first line moves into the history; its line number stays.
void fnCommitTop(ConsoleScreen &st)
{
    const ScreenRow &stRow = fnRow(st, 0);
    while (st.m_qwFirst < st.m_qwHistEnd && (st.m_dwRingUsed + stRow.m_nLen > st.m_dwLimit ||
                                             st.m_qwHistEnd - st.m_qwFirst >= kHistoryLines)) {
        fnDropOldest(st);
    }
    HistoryLine &stLine = fnHistLine(st, st.m_qwHistEnd);
    stLine.m_dwStart = st.m_dwRingEnd;
    stLine.m_nLen = stRow.m_nLen;
    stLine.m_nStamp = stRow.m_nStamp;
    fnRingPut(st, stRow.m_ach, stRow.m_nLen);
    ++st.m_qwHistEnd;
    st.m_nTop = (st.m_nTop + 1) % kLiveRows;
    --st.m_nRows;
    --st.m_nRow;
    st.m_nSavedRow = st.m_nSavedRow > 0 ? st.m_nSavedRow - 1 : 0;
}

void fnAddRow(ConsoleScreen &st)
{
    if (st.m_nRows == kLiveRows) {
        fnCommitTop(st);
    }
    ScreenRow &stRow = fnRow(st, st.m_nRows);
    stRow.m_nLen = 0;
    stRow.m_nStamp = kNoStamp;
    ++st.m_nRows;
}

// Screen lines from nRow on go.
void fnRemoveRows(ConsoleScreen &st, int nRow)
{
    if (nRow < st.m_nRows) {
        st.m_nRows = nRow;
    }
}

// Makes the cursor's row exist, so moves below the last line add lines as a
// screen would have them.
void fnGoTo(ConsoleScreen &st, int nRow, int nCol)
{
    nRow = nRow < 0 ? 0 : (nRow >= kLiveRows ? kLiveRows - 1 : nRow);
    while (st.m_nRows <= nRow) {
        fnAddRow(st);
    }
    st.m_nRow = nRow;
    st.m_nCol = nCol < 0 ? 0 : (nCol >= kRowChars ? kRowChars - 1 : nCol);
}

void fnLineFeed(ConsoleScreen &st)
{
    if (st.m_nRow + 1 == st.m_nRows) {
        fnAddRow(st);
    }
    ++st.m_nRow;
}

void fnPut(ConsoleScreen &st, char ch, std::int32_t nStamp)
{
    if (st.m_nCol >= kRowChars) {
        st.m_nCol = 0;
        fnLineFeed(st);
    }
    ScreenRow &stRow = fnRow(st, st.m_nRow);
    while (stRow.m_nLen < st.m_nCol) {
        stRow.m_ach[stRow.m_nLen++] = ' ';
    }
    stRow.m_ach[st.m_nCol++] = ch;
    if (stRow.m_nLen < st.m_nCol) {
        stRow.m_nLen = static_cast<std::uint16_t>(st.m_nCol);
    }
    if (stRow.m_nStamp == kNoStamp) {
        stRow.m_nStamp = nStamp;
    }
}

// Characters [nFrom, nTo) of the cursor's row become blank; blanks at the
// end of a line are not kept.
void fnErase(ConsoleScreen &st, int nRow, int nFrom, int nTo)
{
    ScreenRow &stRow = fnRow(st, nRow);
    if (nTo >= stRow.m_nLen) {
        nTo = stRow.m_nLen;
        if (nFrom < nTo) {
            stRow.m_nLen = static_cast<std::uint16_t>(nFrom);
        }
    }
    for (int i = nFrom; i < nTo; ++i) {
        stRow.m_ach[i] = ' ';
    }
}

void fnEraseInLine(ConsoleScreen &st, std::uint32_t nMode)
{
    const int nCol = st.m_nCol < kRowChars ? st.m_nCol : kRowChars - 1;
    if (nMode == 0) {
        fnErase(st, st.m_nRow, nCol, kRowChars);
    } else if (nMode == 1) {
        fnErase(st, st.m_nRow, 0, nCol + 1);
    } else if (nMode == 2) {
        fnErase(st, st.m_nRow, 0, kRowChars);
    }
}

// A cleared screen keeps its lines in the history, as a console's log
// should; the cursor starts again on a fresh line, in the same column.
void fnClearScreen(ConsoleScreen &st)
{
    int nKeep = st.m_nRows;
    while (nKeep > 0 && fnRow(st, nKeep - 1).m_nLen == 0) {
        --nKeep;
    }
    fnRemoveRows(st, nKeep);
    while (st.m_nRows > 0) {
        st.m_nRow = 0;
        fnCommitTop(st);
    }
    st.m_nRow = 0;
    fnAddRow(st);
}

void fnEraseInDisplay(ConsoleScreen &st, std::uint32_t nMode)
{
    if (nMode == 0) {
        fnEraseInLine(st, 0);
        fnRemoveRows(st, st.m_nRow + 1);
    } else if (nMode == 1) {
        for (int i = 0; i < st.m_nRow; ++i) {
            fnErase(st, i, 0, kRowChars);
        }
        fnEraseInLine(st, 1);
    } else if (nMode == 2 || nMode == 3) {
        fnClearScreen(st);
    }
}

// Characters at the cursor move right (insert) or left (delete) by nCount.
void fnShiftChars(ConsoleScreen &st, int nCount, bool bInsert)
{
    ScreenRow &stRow = fnRow(st, st.m_nRow);
    const int nCol = st.m_nCol;
    if (nCol >= stRow.m_nLen) {
        return;
    }
    nCount = nCount < kRowChars - nCol ? nCount : kRowChars - nCol;
    if (bInsert) {
        const int nLen = stRow.m_nLen + nCount < kRowChars ? stRow.m_nLen + nCount : kRowChars;
        std::memmove(stRow.m_ach + nCol + nCount, stRow.m_ach + nCol,
                     static_cast<size_t>(nLen - nCol - nCount));
        std::memset(stRow.m_ach + nCol, ' ', static_cast<size_t>(nCount));
        stRow.m_nLen = static_cast<std::uint16_t>(nLen);
    } else {
        const int nLeft = stRow.m_nLen - nCol > nCount ? stRow.m_nLen - nCol - nCount : 0;
        std::memmove(stRow.m_ach + nCol, stRow.m_ach + nCol + nCount, static_cast<size_t>(nLeft));
        stRow.m_nLen = static_cast<std::uint16_t>(nCol + nLeft);
    }
}

void fnCsi(ConsoleScreen &st, std::uint8_t chFinal)
{
    const VtParser &stVt = st.m_stVt;
    if (stVt.m_chMarker != 0 || stVt.m_chInter != 0) {
        return; // private modes and the like change nothing shown here
    }
    const int n = static_cast<int>(fnVtParam(stVt, 0, 1));
    switch (chFinal) {
    case 'A':
        fnGoTo(st, st.m_nRow - n, st.m_nCol);
        break;
    case 'B':
        fnGoTo(st, st.m_nRow + n, st.m_nCol);
        break;
    case 'C':
        fnGoTo(st, st.m_nRow, st.m_nCol + n);
        break;
    case 'D':
        fnGoTo(st, st.m_nRow, st.m_nCol - n);
        break;
    case 'G':
    case '`':
        fnGoTo(st, st.m_nRow, n - 1);
        break;
    case 'd':
        fnGoTo(st, n - 1, st.m_nCol);
        break;
    case 'H':
    case 'f':
        fnGoTo(st, n - 1, static_cast<int>(fnVtParam(stVt, 1, 1)) - 1);
        break;
    case 'K':
        fnEraseInLine(st, fnVtParam(stVt, 0, 0));
        break;
    case 'J':
        fnEraseInDisplay(st, fnVtParam(stVt, 0, 0));
        break;
    case 'P':
        fnShiftChars(st, n, false);
        break;
    case '@':
        fnShiftChars(st, n, true);
        break;
    case 'X':
        fnErase(st, st.m_nRow, st.m_nCol, st.m_nCol + n);
        break;
    default: // SGR and the rest: nothing this view shows
        break;
    }
}

void fnEsc(ConsoleScreen &st, std::uint8_t chFinal)
{
    if (st.m_stVt.m_chInter != 0) {
        return; // character sets and the like
    }
    switch (chFinal) {
    case 'D':
        fnLineFeed(st);
        break;
    case 'E':
        st.m_nCol = 0;
        fnLineFeed(st);
        break;
    case 'M':
        fnGoTo(st, st.m_nRow - 1, st.m_nCol);
        break;
    case '7':
        st.m_nSavedRow = st.m_nRow;
        st.m_nSavedCol = st.m_nCol;
        break;
    case '8':
        fnGoTo(st, st.m_nSavedRow, st.m_nSavedCol);
        break;
    default:
        break;
    }
}

void fnExecute(ConsoleScreen &st, std::uint8_t by, std::int32_t nStamp)
{
    switch (by) {
    case 0:
    case kBel:
        break;
    case kBs:
        st.m_nCol = st.m_nCol > 0 ? (st.m_nCol < kRowChars ? st.m_nCol : kRowChars) - 1 : 0;
        break;
    case kTab:
        st.m_nCol = st.m_nCol / kTabStop * kTabStop + kTabStop < kRowChars
                        ? st.m_nCol / kTabStop * kTabStop + kTabStop
                        : kRowChars - 1;
        break;
    case kLf:
        fnLineFeed(st);
        break;
    case kCr:
        st.m_nCol = 0;
        break;
    default: // shown as the character itself, as in the classic view
        fnPut(st, static_cast<char>(by), nStamp);
        break;
    }
}

void fnFeedConsole(ConsoleScreen &st, std::uint8_t by, std::int32_t nStamp)
{
    switch (fnVtFeed(st.m_stVt, by)) {
    case kVtPrint:
        fnPut(st, static_cast<char>(by), nStamp);
        break;
    case kVtExecute:
        fnExecute(st, by, nStamp);
        break;
    case kVtCsi:
        fnCsi(st, by);
        break;
    case kVtEsc:
        fnEsc(st, by);
        break;
    default:
        break;
    }
}

// Text mode: a CR LF pair ends the line; every other byte is shown.
void fnFeedText(ConsoleScreen &st, std::uint8_t by, std::int32_t nStamp)
{
    if (st.m_bCrHeld) {
        st.m_bCrHeld = false;
        if (by == kLf) {
            st.m_nCol = 0;
            fnLineFeed(st);
            return;
        }
        fnPut(st, static_cast<char>(kCr), nStamp);
    }
    if (by == kCr) {
        st.m_bCrHeld = true;
    } else {
        fnPut(st, static_cast<char>(by), nStamp);
    }
}

std::uint32_t fnPutStamp(char *pch, std::int32_t nStamp)
{
    const std::uint32_t nMs = static_cast<std::uint32_t>(nStamp);
    const std::uint32_t anPart[4] = {nMs / 3600000 % 100, nMs / 60000 % 60, nMs / 1000 % 60, nMs % 1000};
    const char achSep[4] = {':', ':', '.', ' '};
    std::uint32_t dwLen = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == 3) {
            pch[dwLen++] = static_cast<char>('0' + anPart[i] / 100);
        }
        pch[dwLen++] = static_cast<char>('0' + anPart[i] / 10 % 10);
        pch[dwLen++] = static_cast<char>('0' + anPart[i] % 10);
        pch[dwLen++] = achSep[i];
    }
    return dwLen;
}

// The view's text of one line: CR LF unless it is the first kept line, its
// stamp, its characters.
std::uint32_t fnRenderLine(ConsoleScreen &st, std::uint64_t qwLine, char *pch)
{
    std::uint32_t dwLen = 0;
    if (qwLine != st.m_qwFirst) {
        pch[dwLen++] = '\r';
        pch[dwLen++] = '\n';
    }
    if (qwLine >= st.m_qwHistEnd) {
        const ScreenRow &stRow = fnRow(st, static_cast<int>(qwLine - st.m_qwHistEnd));
        dwLen += stRow.m_nStamp != kNoStamp ? fnPutStamp(pch + dwLen, stRow.m_nStamp) : 0;
        std::memcpy(pch + dwLen, stRow.m_ach, stRow.m_nLen);
        return dwLen + stRow.m_nLen;
    }
    const HistoryLine &stLine = fnHistLine(st, qwLine);
    dwLen += stLine.m_nStamp != kNoStamp ? fnPutStamp(pch + dwLen, stLine.m_nStamp) : 0;
    const std::uint32_t dwAt = stLine.m_dwStart % kHistoryChars;
    const std::uint32_t dwFirst = stLine.m_nLen < kHistoryChars - dwAt ? stLine.m_nLen : kHistoryChars - dwAt;
    std::memcpy(pch + dwLen, st.m_achRing + dwAt, dwFirst);
    std::memcpy(pch + dwLen + dwFirst, st.m_achRing, stLine.m_nLen - dwFirst);
    return dwLen + stLine.m_nLen;
}

} // namespace

void fnScreenReset(ConsoleScreen &st, bool bConsole, std::uint32_t dwLimit)
{
    st.m_bConsole = bConsole;
    st.m_dwLimit = dwLimit < kHistoryChars ? dwLimit : kHistoryChars;
    st.m_qwFirst = 0;
    st.m_qwHistEnd = 0;
    st.m_dwRingEnd = 0;
    st.m_dwRingUsed = 0;
    st.m_nTop = 0;
    st.m_nRows = 0;
    st.m_nRow = 0;
    st.m_nCol = 0;
    st.m_nSavedRow = 0;
    st.m_nSavedCol = 0;
    fnVtReset(st.m_stVt);
    st.m_bCrHeld = false;
    fnAddRow(st);
}

void fnScreenFeed(ConsoleScreen &st, const std::uint8_t *pby, std::uint32_t dwCount, std::int32_t nStamp)
{
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        if (st.m_bConsole) {
            fnFeedConsole(st, pby[i], nStamp);
        } else {
            fnFeedText(st, pby[i], nStamp);
        }
    }
}

std::uint32_t fnScreenLines(const ConsoleScreen &st)
{
    return static_cast<std::uint32_t>(fnEnd(st) - st.m_qwFirst);
}

std::uint32_t fnScreenLineText(ConsoleScreen &st, std::uint32_t dwIndex, char *pch)
{
    const std::uint64_t qwLine = st.m_qwFirst + dwIndex;
    if (qwLine >= fnEnd(st)) {
        return 0;
    }
    char achLine[kLineTextMax];
    const std::uint32_t dwLen = fnRenderLine(st, qwLine, achLine);
    const std::uint32_t dwSkip = qwLine != st.m_qwFirst ? 2 : 0;
    std::memcpy(pch, achLine + dwSkip, dwLen - dwSkip);
    return dwLen - dwSkip;
}

std::uint32_t fnScreenText(ConsoleScreen &st, ScreenPos stFrom, ScreenPos stTo, char *pch,
                           std::uint32_t dwRoom)
{
    const bool bSwap = stTo.m_dwLine < stFrom.m_dwLine ||
                       (stTo.m_dwLine == stFrom.m_dwLine && stTo.m_dwCol < stFrom.m_dwCol);
    const ScreenPos stA = bSwap ? stTo : stFrom;
    const ScreenPos stB = bSwap ? stFrom : stTo;
    const std::uint32_t dwLines = fnScreenLines(st);
    const std::uint32_t dwLast = stB.m_dwLine < dwLines ? stB.m_dwLine : dwLines - 1;
    std::uint32_t dwLen = 0;
    char achLine[2 + kLineTextMax] = {'\r', '\n'};
    for (std::uint32_t dwLine = stA.m_dwLine; dwLine <= dwLast && dwLines > 0; ++dwLine) {
        const std::uint32_t dwChars = fnScreenLineText(st, dwLine, achLine + 2);
        const std::uint32_t dwEnd = dwLine == stB.m_dwLine && stB.m_dwCol < dwChars ? stB.m_dwCol : dwChars;
        // Every line after the first brings its CR LF.
        const std::uint32_t dwBegin =
            dwLine != stA.m_dwLine ? 0 : 2 + (stA.m_dwCol < dwEnd ? stA.m_dwCol : dwEnd);
        std::uint32_t dwPart = 2 + dwEnd - dwBegin;
        if (pch != nullptr) {
            dwPart = dwRoom - dwLen < dwPart ? dwRoom - dwLen : dwPart;
            std::memcpy(pch + dwLen, achLine + dwBegin, dwPart);
        }
        dwLen += dwPart;
    }
    return dwLen;
}
