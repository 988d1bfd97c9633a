#include "console_screen.h"

#include <cstring>

namespace {

const int kTabStop = 8;
const std::uint8_t kBel = 7, kBs = 8, kTab = 9, kLf = 10, kCr = 13, kSo = 14, kSi = 15, kEsc = 27;

ScreenRow &fnRow(ConsoleScreen &st, int nRow)
{
    return st.m_astRow[st.m_abySlot[nRow]];
}

void fnBlank(ScreenRow &stRow)
{
    stRow.m_nLen = 0;
    stRow.m_nStamp = kNoStamp;
}

std::uint64_t fnEnd(const ConsoleScreen &st)
{
    return st.m_qwHistEnd + static_cast<std::uint64_t>(st.m_nRows);
}

int fnMin(int a, int b)
{
    return a < b ? a : b;
}

int fnClamp(int n, int nLow, int nHigh)
{
    return n < nLow ? nLow : (n > nHigh ? nHigh : n);
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

// The screen's first row becomes the history's newest line, keeping its
// number; the caller takes the row out of the screen.
void fnPushTop(ConsoleScreen &st)
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
}

// Screen rows [nTop, nBottom] turn by one place, up or down; the row that
// comes in at the other end is blank.
void fnTurn(ConsoleScreen &st, int nTop, int nBottom, bool bUp)
{
    std::uint8_t *pby = st.m_abySlot + nTop;
    const size_t cbMove = static_cast<size_t>(nBottom - nTop);
    if (bUp) {
        const std::uint8_t bySlot = pby[0];
        std::memmove(pby, pby + 1, cbMove);
        pby[cbMove] = bySlot;
    } else {
        const std::uint8_t bySlot = pby[cbMove];
        std::memmove(pby + 1, pby, cbMove);
        pby[0] = bySlot;
    }
    fnBlank(fnRow(st, bUp ? nBottom : nTop));
}

// Rows up to nRow come into use, blank.
void fnUse(ConsoleScreen &st, int nRow)
{
    while (st.m_nRows <= nRow) {
        fnBlank(fnRow(st, st.m_nRows++));
    }
}

// Screen rows from nRow on go out of use.
void fnRemoveRows(ConsoleScreen &st, int nRow)
{
    if (nRow < st.m_nRows) {
        st.m_nRows = nRow;
    }
}

// Blank rows below the cursor go out of use, as rows not in use are blank:
// the view does not end in the empty rows a far end's cursor passed over.
void fnTrim(ConsoleScreen &st)
{
    while (st.m_nRows - 1 > st.m_nRow && fnRow(st, st.m_nRows - 1).m_nLen == 0) {
        --st.m_nRows;
    }
}

// The rows of [nTop, nBottom] move up one and a blank row comes in at the
// bottom. The top row goes into the history when bHistory and it is the
// screen's first (as a VT100's scrolled-off line would be kept by a
// terminal with a history), else it is lost. Rows not in use are blank, so
// only those in use move.
void fnScrollUp(ConsoleScreen &st, int nTop, int nBottom, bool bHistory)
{
    const int nLast = fnMin(nBottom, st.m_nRows - 1);
    if (nTop > nLast) {
        return;
    }
    if (bHistory && nTop == 0) {
        fnPushTop(st);
    }
    fnTurn(st, nTop, nLast, true);
}

// The rows of [nTop, nBottom] move down one, the bottom one lost; a blank
// row comes in at the top.
void fnScrollDown(ConsoleScreen &st, int nTop, int nBottom)
{
    if (nTop >= st.m_nRows) {
        return;
    }
    fnUse(st, fnMin(nBottom, st.m_nRows));
    fnTurn(st, nTop, fnMin(nBottom, st.m_nRows - 1), false);
}

// Makes the cursor's row exist, so moves below the last line add lines as a
// screen would have them.
void fnGoTo(ConsoleScreen &st, int nRow, int nCol)
{
    st.m_nRow = fnClamp(nRow, 0, st.m_nHeight - 1);
    st.m_nCol = fnClamp(nCol, 0, st.m_nCols - 1);
    st.m_bWrapNext = false;
    fnUse(st, st.m_nRow);
}

// Row nRow of cursor addressing: in origin mode a row of the scroll region,
// held within it.
int fnAddressRow(const ConsoleScreen &st, int nRow)
{
    return st.m_bOrigin ? fnMin(st.m_nMarginTop + nRow, st.m_nMarginBottom) : nRow;
}

void fnHome(ConsoleScreen &st)
{
    fnGoTo(st, fnAddressRow(st, 0), 0);
}

// Up (nCount < 0) or down: a cursor in the scroll region stops at its edge.
void fnMoveRows(ConsoleScreen &st, int nCount)
{
    int nRow = st.m_nRow + nCount;
    if (nCount < 0 && st.m_nRow >= st.m_nMarginTop && nRow < st.m_nMarginTop) {
        nRow = st.m_nMarginTop;
    } else if (nCount > 0 && st.m_nRow <= st.m_nMarginBottom && nRow > st.m_nMarginBottom) {
        nRow = st.m_nMarginBottom;
    }
    fnGoTo(st, nRow, st.m_nCol);
}

// At the scroll region's bottom the region scrolls; below it the cursor
// stops at the screen's last row.
void fnLineFeed(ConsoleScreen &st)
{
    st.m_bWrapNext = false;
    if (st.m_nRow == st.m_nMarginBottom) {
        fnScrollUp(st, st.m_nMarginTop, st.m_nMarginBottom, true);
    } else if (st.m_nRow + 1 < st.m_nHeight) {
        fnUse(st, ++st.m_nRow);
    }
}

void fnReverseIndex(ConsoleScreen &st)
{
    st.m_bWrapNext = false;
    if (st.m_nRow == st.m_nMarginTop) {
        fnScrollDown(st, st.m_nMarginTop, st.m_nMarginBottom);
    } else if (st.m_nRow > 0) {
        --st.m_nRow;
    }
}

// Characters at the cursor move right (insert) or left (delete) by nCount;
// what passes the last column is lost.
void fnShiftChars(ConsoleScreen &st, int nCount, bool bInsert)
{
    ScreenRow &stRow = fnRow(st, st.m_nRow);
    const int nCol = st.m_nCol;
    if (nCol >= stRow.m_nLen) {
        return;
    }
    nCount = fnMin(nCount, st.m_nCols - nCol);
    if (bInsert) {
        const int nLen = fnMin(stRow.m_nLen + nCount, st.m_nCols);
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

// The VT100's deferred wrap: a character in the last column leaves the
// cursor there, and only the next character printed goes to the next line
// first. So a far end that writes the last column and then CR LF (or, as
// readline does, a space and CR) gets one line, not an empty one between.
void fnPut(ConsoleScreen &st, char ch, std::int32_t nStamp)
{
    if (st.m_bWrapNext) {
        st.m_nCol = 0;
        fnLineFeed(st);
    }
    if (st.m_bInsert) {
        fnShiftChars(st, 1, true);
    }
    ScreenRow &stRow = fnRow(st, st.m_nRow);
    while (stRow.m_nLen < st.m_nCol) {
        stRow.m_ach[stRow.m_nLen++] = ' ';
    }
    stRow.m_ach[st.m_nCol] = ch;
    if (stRow.m_nLen <= st.m_nCol) {
        stRow.m_nLen = static_cast<std::uint16_t>(st.m_nCol + 1);
    }
    if (stRow.m_nStamp == kNoStamp) {
        stRow.m_nStamp = nStamp;
    }
    if (st.m_nCol + 1 < st.m_nCols) {
        ++st.m_nCol;
    } else {
        st.m_bWrapNext = st.m_bAutoWrap;
    }
}

// Characters [nFrom, nTo) of the row become blank; blanks at the end of a
// line are not kept.
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
    if (nMode == 0) {
        fnErase(st, st.m_nRow, st.m_nCol, kRowChars);
    } else if (nMode == 1) {
        fnErase(st, st.m_nRow, 0, st.m_nCol + 1);
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
    for (int i = 0; i < nKeep; ++i) {
        fnPushTop(st);
        fnTurn(st, 0, st.m_nRows - 1, true);
    }
    st.m_nRows = 0;
    fnGoTo(st, 0, st.m_nCol);
}

// Erasing from the home position erases the whole screen (vt100's clear is
// ESC [ H ESC [ J), so it too keeps the lines. CSI 3 J, erase saved lines,
// is read as CSI 2 J: the far end cannot empty the history (clear sends it
// after CSI 2 J where the entry has E3), only the user's Clear does.
void fnEraseInDisplay(ConsoleScreen &st, std::uint32_t nMode)
{
    if (nMode == 0 && st.m_nRow == 0 && st.m_nCol == 0) {
        nMode = 2;
    }
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

// Lines inserted (or deleted) at the cursor's row push the rest of the
// scroll region down (pull it up); the deleted lines are not kept.
void fnShiftLines(ConsoleScreen &st, int nCount, bool bInsert)
{
    if (st.m_nRow < st.m_nMarginTop || st.m_nRow > st.m_nMarginBottom) {
        return;
    }
    nCount = fnMin(nCount, st.m_nMarginBottom - st.m_nRow + 1);
    for (int i = 0; i < nCount; ++i) {
        if (bInsert) {
            fnScrollDown(st, st.m_nRow, st.m_nMarginBottom);
        } else {
            fnScrollUp(st, st.m_nRow, st.m_nMarginBottom, false);
        }
    }
    st.m_nCol = 0;
}

// The scroll region's text moves up (SU) or down (SD) by nCount.
void fnScrollRegion(ConsoleScreen &st, int nCount, bool bUp)
{
    nCount = fnMin(nCount, st.m_nMarginBottom - st.m_nMarginTop + 1);
    for (int i = 0; i < nCount; ++i) {
        if (bUp) {
            fnScrollUp(st, st.m_nMarginTop, st.m_nMarginBottom, true);
        } else {
            fnScrollDown(st, st.m_nMarginTop, st.m_nMarginBottom);
        }
    }
}

// DECSTBM: a region of two rows at least; the cursor goes home.
void fnSetRegion(ConsoleScreen &st)
{
    const int nTop = static_cast<int>(fnVtParam(st.m_stVt, 0, 1)) - 1;
    const int nBottom =
        fnMin(static_cast<int>(fnVtParam(st.m_stVt, 1, static_cast<std::uint32_t>(st.m_nHeight))),
              st.m_nHeight) -
        1;
    if (nTop < nBottom) {
        st.m_nMarginTop = nTop;
        st.m_nMarginBottom = nBottom;
        fnHome(st);
    }
}

// SM and RM: insert mode (4), and with '?' origin mode (6) and automatic
// margins (7). Other modes change nothing shown here.
void fnSetModes(ConsoleScreen &st, bool bSet)
{
    const bool bPrivate = st.m_stVt.m_chMarker == '?';
    if (!bPrivate && st.m_stVt.m_chMarker != 0) {
        return;
    }
    for (int i = 0; i < st.m_stVt.m_nParams; ++i) {
        const std::uint32_t nMode = st.m_stVt.m_anParam[i];
        if (bPrivate && nMode == 6) {
            st.m_bOrigin = bSet;
            fnHome(st);
        } else if (bPrivate && nMode == 7) {
            st.m_bAutoWrap = bSet;
            st.m_bWrapNext = false;
        } else if (!bPrivate && nMode == 4) {
            st.m_bInsert = bSet;
        }
    }
}

void fnSaveCursor(ConsoleScreen &st)
{
    st.m_nSavedRow = st.m_nRow;
    st.m_nSavedCol = st.m_nCol;
    st.m_bSavedOrigin = st.m_bOrigin;
}

void fnRestoreCursor(ConsoleScreen &st)
{
    st.m_bOrigin = st.m_bSavedOrigin;
    fnGoTo(st, st.m_nSavedRow, st.m_nSavedCol);
}

// ESC [ marker values separated by ';' final, queued whole or not at all.
void fnAnswer(ConsoleScreen &st, char chMarker, const int *anValue, int nValues, char chFinal)
{
    char ach[32] = {static_cast<char>(kEsc), '['};
    int nLen = 2;
    if (chMarker != 0) {
        ach[nLen++] = chMarker;
    }
    for (int i = 0; i < nValues; ++i) {
        if (i != 0) {
            ach[nLen++] = ';';
        }
        char achDigits[8];
        int nDigits = 0;
        for (int n = anValue[i]; n != 0 || nDigits == 0; n /= 10) {
            achDigits[nDigits++] = static_cast<char>('0' + n % 10);
        }
        while (nDigits > 0) {
            ach[nLen++] = achDigits[--nDigits];
        }
    }
    ach[nLen++] = chFinal;
    if (st.m_nReplyLen + nLen <= kReplyChars) {
        std::memcpy(st.m_achReply + st.m_nReplyLen, ach, static_cast<size_t>(nLen));
        st.m_nReplyLen += nLen;
    }
}

// The reports a far end asks for to learn where the cursor is and what
// the terminal is: DSR (5 n status, 6 n cursor position, relative to the
// region in origin mode), DA (a VT100 with the advanced video option) and
// the window size in characters (18 t), which resize and the like read.
void fnReport(ConsoleScreen &st, std::uint8_t chFinal)
{
    const std::uint32_t nAsked = fnVtParam(st.m_stVt, 0, 0);
    if (chFinal == 'n' && nAsked == 5) {
        const int anValue[] = {0};
        fnAnswer(st, 0, anValue, 1, 'n');
    } else if (chFinal == 'n' && nAsked == 6) {
        const int anValue[] = {st.m_nRow + 1 - (st.m_bOrigin ? st.m_nMarginTop : 0), st.m_nCol + 1};
        fnAnswer(st, 0, anValue, 2, 'R');
    } else if (chFinal == 'c' && nAsked == 0) {
        const int anValue[] = {1, 2};
        fnAnswer(st, '?', anValue, 2, 'c');
    } else if (chFinal == 't' && nAsked == 18) {
        const int anValue[] = {8, st.m_nHeight, st.m_nCols};
        fnAnswer(st, 0, anValue, 3, 't');
    }
}

// The sequences that move the cursor or change the text.
void fnCsiEdit(ConsoleScreen &st, std::uint8_t chFinal)
{
    const VtParser &stVt = st.m_stVt;
    const int n = static_cast<int>(fnVtParam(stVt, 0, 1));
    switch (chFinal) {
    case 'A':
        fnMoveRows(st, -n);
        break;
    case 'B':
        fnMoveRows(st, n);
        break;
    case 'C':
        fnGoTo(st, st.m_nRow, st.m_nCol + n);
        break;
    case 'D':
        fnGoTo(st, st.m_nRow, st.m_nCol - n);
        break;
    case 'E':
    case 'F':
        fnMoveRows(st, chFinal == 'E' ? n : -n);
        st.m_nCol = 0;
        break;
    case 'G':
    case '`':
        fnGoTo(st, st.m_nRow, n - 1);
        break;
    case 'd':
        fnGoTo(st, fnAddressRow(st, n - 1), st.m_nCol);
        break;
    case 'H':
    case 'f':
        fnGoTo(st, fnAddressRow(st, n - 1), static_cast<int>(fnVtParam(stVt, 1, 1)) - 1);
        break;
    case 'K':
        fnEraseInLine(st, fnVtParam(stVt, 0, 0));
        break;
    case 'J':
        fnEraseInDisplay(st, fnVtParam(stVt, 0, 0));
        break;
    case 'L':
    case 'M':
        fnShiftLines(st, n, chFinal == 'L');
        break;
    case 'S':
    case 'T':
        fnScrollRegion(st, n, chFinal == 'S');
        break;
    case 'P':
    case '@':
        fnShiftChars(st, n, chFinal == '@');
        break;
    case 'X':
        fnErase(st, st.m_nRow, st.m_nCol, st.m_nCol + n);
        break;
    case 'r':
        fnSetRegion(st);
        break;
    case 's':
        fnSaveCursor(st);
        break;
    case 'u':
        fnRestoreCursor(st);
        break;
    default:
        return;
    }
    st.m_bWrapNext = false;
}

void fnCsi(ConsoleScreen &st, std::uint8_t chFinal)
{
    const VtParser &stVt = st.m_stVt;
    if (stVt.m_chInter != 0) {
        return;
    }
    if (chFinal == 'h' || chFinal == 'l') {
        fnSetModes(st, chFinal == 'h');
    } else if (stVt.m_chMarker == 0) {
        fnReport(st, chFinal);
        fnCsiEdit(st, chFinal);
    }
    // SGR, other private sequences and the rest: nothing this view shows
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
        fnReverseIndex(st);
        break;
    case '7':
        fnSaveCursor(st);
        break;
    case '8':
        fnRestoreCursor(st);
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
    case kSo: // character set shifts (vt100's sgr0 ends in SI): nothing to show,
    case kSi: // and a shown one would take a column the far end does not count
        break;
    case kBs:
        fnGoTo(st, st.m_nRow, st.m_nCol - 1);
        break;
    case kTab:
        fnGoTo(st, st.m_nRow, st.m_nCol / kTabStop * kTabStop + kTabStop);
        break;
    case kLf:
        fnLineFeed(st);
        break;
    case kCr:
        fnGoTo(st, st.m_nRow, 0);
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

// The view's text of one line: its stamp, its characters.
std::uint32_t fnRenderLine(ConsoleScreen &st, std::uint64_t qwLine, char *pch)
{
    if (qwLine >= st.m_qwHistEnd) {
        const ScreenRow &stRow = fnRow(st, static_cast<int>(qwLine - st.m_qwHistEnd));
        const std::uint32_t dwLen = stRow.m_nStamp != kNoStamp ? fnPutStamp(pch, stRow.m_nStamp) : 0;
        std::memcpy(pch + dwLen, stRow.m_ach, stRow.m_nLen);
        return dwLen + stRow.m_nLen;
    }
    const HistoryLine &stLine = fnHistLine(st, qwLine);
    const std::uint32_t dwLen = stLine.m_nStamp != kNoStamp ? fnPutStamp(pch, stLine.m_nStamp) : 0;
    const std::uint32_t dwAt = stLine.m_dwStart % kHistoryChars;
    const std::uint32_t dwFirst = stLine.m_nLen < kHistoryChars - dwAt ? stLine.m_nLen : kHistoryChars - dwAt;
    std::memcpy(pch + dwLen, st.m_achRing + dwAt, dwFirst);
    std::memcpy(pch + dwLen + dwFirst, st.m_achRing, stLine.m_nLen - dwFirst);
    return dwLen + stLine.m_nLen;
}

bool fnBefore(ScreenPos stA, ScreenPos stB)
{
    return stA.m_qwLine < stB.m_qwLine || (stA.m_qwLine == stB.m_qwLine && stA.m_dwCol < stB.m_dwCol);
}

} // namespace

void fnScreenReset(ConsoleScreen &st, bool bConsole, std::uint32_t dwLimit)
{
    st.m_bConsole = bConsole;
    st.m_dwLimit = dwLimit < kHistoryChars ? dwLimit : kHistoryChars;
    st.m_qwFirst = fnEnd(st);
    st.m_qwHistEnd = st.m_qwFirst;
    st.m_dwRingEnd = 0;
    st.m_dwRingUsed = 0;
    for (int i = 0; i < kLiveRows; ++i) {
        st.m_abySlot[i] = static_cast<std::uint8_t>(i);
    }
    st.m_nCols = bConsole ? kDefaultCols : kRowChars;
    st.m_nHeight = kDefaultRows;
    st.m_nRows = 0;
    st.m_bAutoWrap = true;
    st.m_bOrigin = false;
    st.m_bInsert = false;
    st.m_nMarginTop = 0;
    st.m_nMarginBottom = st.m_nHeight - 1;
    fnGoTo(st, 0, 0);
    fnSaveCursor(st);
    fnVtReset(st.m_stVt);
    st.m_bCrHeld = false;
    st.m_nReplyLen = 0;
}

void fnScreenSize(ConsoleScreen &st, int nCols, int nRows)
{
    if (!st.m_bConsole) {
        return;
    }
    nCols = fnClamp(nCols, 1, kRowChars);
    nRows = fnClamp(nRows, 1, kLiveRows);
    if (nCols == st.m_nCols && nRows == st.m_nHeight) {
        return;
    }
    fnTrim(st);
    for (; st.m_nRows > nRows; --st.m_nRows) {
        fnPushTop(st);
        fnTurn(st, 0, st.m_nRows - 1, true);
        st.m_nRow = st.m_nRow > 0 ? st.m_nRow - 1 : 0;
    }
    for (int i = 0; i < st.m_nRows; ++i) {
        ScreenRow &stRow = fnRow(st, i);
        stRow.m_nLen = static_cast<std::uint16_t>(fnMin(stRow.m_nLen, nCols));
    }
    st.m_nCols = nCols;
    st.m_nHeight = nRows;
    st.m_nMarginTop = 0;
    st.m_nMarginBottom = nRows - 1;
    fnGoTo(st, st.m_nRow, st.m_nCol);
}

void fnScreenFit(int nWidth, int nHeight, int nCellWidth, int nCellHeight, int &nCols, int &nRows)
{
    nCols = fnClamp(nCellWidth > 0 ? nWidth / nCellWidth : 0, kMinFitCols, kRowChars);
    nRows = fnClamp(nCellHeight > 0 ? nHeight / nCellHeight : 0, kMinFitRows, kLiveRows);
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
    fnTrim(st);
}

std::uint32_t fnScreenTakeReply(ConsoleScreen &st, char *pch, std::uint32_t dwRoom)
{
    const int nTake =
        dwRoom < static_cast<std::uint32_t>(st.m_nReplyLen) ? static_cast<int>(dwRoom) : st.m_nReplyLen;
    std::memcpy(pch, st.m_achReply, static_cast<size_t>(nTake));
    st.m_nReplyLen -= nTake;
    std::memmove(st.m_achReply, st.m_achReply + nTake, static_cast<size_t>(st.m_nReplyLen));
    return static_cast<std::uint32_t>(nTake);
}

std::uint64_t fnScreenFirst(const ConsoleScreen &st)
{
    return st.m_qwFirst;
}

std::uint32_t fnScreenLines(const ConsoleScreen &st)
{
    return static_cast<std::uint32_t>(fnEnd(st) - st.m_qwFirst);
}

std::uint32_t fnScreenLineText(ConsoleScreen &st, std::uint64_t qwLine, char *pch)
{
    if (qwLine < st.m_qwFirst || qwLine >= fnEnd(st)) {
        return 0;
    }
    return fnRenderLine(st, qwLine, pch);
}

bool fnScreenSelection(const ConsoleScreen &st, ScreenPos &stFrom, ScreenPos &stTo)
{
    if (fnBefore(stTo, stFrom)) {
        const ScreenPos stSwap = stFrom;
        stFrom = stTo;
        stTo = stSwap;
    }
    const ScreenPos stStart = {st.m_qwFirst, 0};
    if (stTo.m_qwLine < st.m_qwFirst) {
        stTo = stStart;
    }
    if (stFrom.m_qwLine < st.m_qwFirst) {
        stFrom = stStart;
    }
    return fnBefore(stFrom, stTo);
}

std::uint32_t fnScreenText(ConsoleScreen &st, ScreenPos stFrom, ScreenPos stTo, char *pch,
                           std::uint32_t dwRoom)
{
    if (!fnScreenSelection(st, stFrom, stTo)) {
        return 0;
    }
    const std::uint64_t qwLast = stTo.m_qwLine < fnEnd(st) ? stTo.m_qwLine : fnEnd(st) - 1;
    std::uint32_t dwLen = 0;
    char achLine[2 + kLineTextMax] = {'\r', '\n'};
    for (std::uint64_t qwLine = stFrom.m_qwLine; qwLine <= qwLast; ++qwLine) {
        const std::uint32_t dwChars = fnRenderLine(st, qwLine, achLine + 2);
        const std::uint32_t dwEnd =
            qwLine == stTo.m_qwLine && stTo.m_dwCol < dwChars ? stTo.m_dwCol : dwChars;
        // Every line after the first brings its CR LF.
        const std::uint32_t dwBegin =
            qwLine != stFrom.m_qwLine ? 0 : 2 + (stFrom.m_dwCol < dwEnd ? stFrom.m_dwCol : dwEnd);
        std::uint32_t dwPart = 2 + dwEnd - dwBegin;
        if (pch != nullptr) {
            dwPart = dwRoom - dwLen < dwPart ? dwRoom - dwLen : dwPart;
            std::memcpy(pch + dwLen, achLine + dwBegin, dwPart);
        }
        dwLen += dwPart;
    }
    return dwLen;
}
