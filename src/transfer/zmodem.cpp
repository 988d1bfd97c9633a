#include "zmodem.h"

#include "xfer_crc.h"

#include <algorithm>
#include <cstring>

namespace {

const std::uint8_t kZPad = '*';
const std::uint8_t kZBin = 'A', kZHex = 'B', kZBin32 = 'C';
const std::uint8_t kZRub0 = 'l', kZRub1 = 'm';
const std::uint8_t kXon = 0x11, kXoff = 0x13;
const std::uint8_t kZCBin = 1; // ZFILE's ZF0: a binary file
// Worst case of one subpacket with the ZDATA header before it and the ZEOF
// after it, every byte escaped.
const std::uint32_t kZSubWorst = 2 * (kZSubMax + 4) + 3 + 2 * (3 + 2 * 9);
// The closing "OO" may follow our ZFIN a little later, or never.
const std::uint32_t kZrOOMs = 1000;
// A sender that heard our ZRPOS restarts at once, and one that did not
// streams on; when the line instead goes this quiet, the ZRPOS reached it
// damaged (lrzsz's sz then waits for a header of its own time-out), and it
// is sent once more without counting as a retry.
const std::uint32_t kZrQuietMs = 1000;
// ZFINs sent before the sender ends anyway: every file was confirmed, and
// lrzsz's rz flushes its last ZFIN away when it closes a pty.
const std::uint32_t kZsFinTries = 2;
const std::uint32_t kZsFinWaitMs = 3000;
const std::uint32_t kZCans = 5;
// A streaming sender has sent on past a loss before its ZRPOS comes, and the
// receiver asks again for the same place while it reads those bytes (lrzsz's
// rz at each run of about 40 KB without a header): asks for one place this
// soon after it was first asked for or last retried are that one loss.
const std::uint32_t kZsEchoMs = 1000;
// Each further ask for one place halves the subpackets down to this, as a
// noisy line then passes a short one more often than a long one.
const std::uint32_t kZSubMin = 128;
// A streaming send asks for a ZACK (ZCRCQ) after this many bytes and ends
// its frame with ZCRCW when it is a window past the last position confirmed:
// what a loss leaves in flight stays below what lrzsz's rz reads as junk
// before asking again (about 40 KB at a pty's 38400 baud).
const std::uint32_t kZsAskEvery = 4096;
const std::uint32_t kZsStreamWindow = 16384;

bool fnIsFlow(std::uint8_t by)
{
    return (by & 0x7F) == kXon || (by & 0x7F) == kXoff;
}

int fnHexValue(std::uint8_t by)
{
    if (by >= '0' && by <= '9') {
        return by - '0';
    }
    if (by >= 'a' && by <= 'f') {
        return by - 'a' + 10;
    }
    return by >= 'A' && by <= 'F' ? by - 'A' + 10 : -1;
}

bool fnHasData(std::uint8_t byType)
{
    return byType == kZFile || byType == kZData || byType == kZSinit || byType == kZCommand;
}

// Reader.

enum ZUnescaped { kZuPending, kZuByte, kZuEnd, kZuBad };

// A ZDLE-escaped byte: raw XON/XOFF are flow control and dropped.
ZUnescaped fnUnescape(ZReader &st, std::uint8_t by, std::uint8_t &byOut)
{
    if (!st.m_bEscape) {
        if (by == kZdle) {
            st.m_bEscape = true;
            return kZuPending;
        }
        byOut = by;
        return fnIsFlow(by) ? kZuPending : kZuByte;
    }
    if (by == kZdle || fnIsFlow(by)) {
        return kZuPending; // more CANs count toward an abort
    }
    st.m_bEscape = false;
    byOut = by;
    if (by >= kZCrcE && by <= kZCrcW) {
        return kZuEnd;
    }
    if (by == kZRub0 || by == kZRub1) {
        byOut = by == kZRub0 ? 0x7F : 0xFF;
        return kZuByte;
    }
    byOut = static_cast<std::uint8_t>(by ^ 0x40);
    return (by & 0x60) == 0x40 ? kZuByte : kZuBad;
}

ZEvent fnHeaderDone(ZReader &st, bool bGood)
{
    st.m_nState = kZdHunt;
    if (!bGood) {
        return kZeBadHeader;
    }
    if (fnHasData(st.m_abyHeader[0])) {
        st.m_nState = kZdSub;
        st.m_dwData = 0;
        st.m_bSubDone = false;
    }
    return kZeHeader;
}

ZEvent fnHexHeaderByte(ZReader &st, std::uint8_t by)
{
    const int nValue = fnHexValue(by);
    if (nValue < 0) {
        return fnHeaderDone(st, false);
    }
    std::uint8_t &byAt = st.m_abyHeader[st.m_dwHave / 2];
    byAt = static_cast<std::uint8_t>(st.m_dwHave % 2 == 0 ? nValue << 4 : byAt | nValue);
    if (++st.m_dwHave < 14) {
        return kZeNone;
    }
    const std::uint16_t wCrc = fnCrc16(0, st.m_abyHeader, 5);
    return fnHeaderDone(st, wCrc == (st.m_abyHeader[5] << 8 | st.m_abyHeader[6]));
}

// The check of a header or subpacket: CRC-32 low byte first, CRC-16 high first.
bool fnCheckMatches(bool bCrc32, const std::uint8_t *pby, std::size_t cb, std::uint8_t byEnd, bool bWithEnd,
                    const std::uint8_t *pbyCheck)
{
    if (bCrc32) {
        std::uint32_t dwCrc = fnCrc32(0, pby, cb);
        dwCrc = bWithEnd ? fnCrc32(dwCrc, &byEnd, 1) : dwCrc;
        return pbyCheck[0] == (dwCrc & 0xFF) && pbyCheck[1] == (dwCrc >> 8 & 0xFF) &&
               pbyCheck[2] == (dwCrc >> 16 & 0xFF) && pbyCheck[3] == dwCrc >> 24;
    }
    std::uint16_t wCrc = fnCrc16(0, pby, cb);
    wCrc = bWithEnd ? fnCrc16Byte(wCrc, byEnd) : wCrc;
    return pbyCheck[0] == wCrc >> 8 && pbyCheck[1] == (wCrc & 0xFF);
}

ZEvent fnBinHeaderByte(ZReader &st, std::uint8_t by)
{
    std::uint8_t byOut = 0;
    const ZUnescaped nKind = fnUnescape(st, by, byOut);
    if (nKind == kZuPending) {
        return kZeNone;
    }
    if (nKind != kZuByte) {
        return fnHeaderDone(st, false);
    }
    st.m_abyHeader[st.m_dwHave++] = byOut;
    if (st.m_dwHave < (st.m_bCrc32 ? 9u : 7u)) {
        return kZeNone;
    }
    return fnHeaderDone(st, fnCheckMatches(st.m_bCrc32, st.m_abyHeader, 5, 0, false, st.m_abyHeader + 5));
}

ZEvent fnSubByte(ZReader &st, std::uint8_t by)
{
    if (st.m_bSubDone) { // the last one was handed out: a new subpacket of the frame
        st.m_bSubDone = false;
        st.m_dwData = 0;
    }
    std::uint8_t byOut = 0;
    const ZUnescaped nKind = fnUnescape(st, by, byOut);
    if (nKind == kZuByte && st.m_dwData < kZSubMax) {
        st.m_abyData[st.m_dwData++] = byOut;
        return kZeNone;
    }
    if (nKind == kZuPending) {
        return kZeNone;
    }
    if (nKind == kZuEnd) {
        st.m_byEnd = byOut;
        st.m_dwHave = 0;
        st.m_nState = kZdSubCheck;
        return kZeNone;
    }
    st.m_nState = kZdHunt; // a bad escape or an overlong subpacket
    return kZeBadSub;
}

ZEvent fnSubCheckByte(ZReader &st, std::uint8_t by)
{
    std::uint8_t byOut = 0;
    const ZUnescaped nKind = fnUnescape(st, by, byOut);
    if (nKind == kZuPending) {
        return kZeNone;
    }
    if (nKind != kZuByte) {
        st.m_nState = kZdHunt;
        return kZeBadSub;
    }
    // The header's bytes are free now: they keep the check.
    st.m_abyHeader[5 + st.m_dwHave++] = byOut;
    if (st.m_dwHave < (st.m_bCrc32 ? 4u : 2u)) {
        return kZeNone;
    }
    const bool bGood =
        fnCheckMatches(st.m_bCrc32, st.m_abyData, st.m_dwData, st.m_byEnd, true, st.m_abyHeader + 5);
    const bool bMore = st.m_byEnd == kZCrcG || st.m_byEnd == kZCrcQ;
    st.m_nState = bGood && bMore ? kZdSub : kZdHunt;
    st.m_bSubDone = true;
    return bGood ? kZeSub : kZeBadSub;
}

// Writer.

std::size_t fnPutEscaped(ZEscape &stEsc, std::uint8_t by, std::uint8_t *pbyOut)
{
    bool bEscape = false;
    if ((by & 0x60) != 0) {
        bEscape = stEsc.m_bAll && (by & 0x7F) == 0x7F;
    } else {
        const std::uint8_t byLow = by & 0x7F;
        bEscape = stEsc.m_bAll || byLow == kZdle || byLow == 0x10 || byLow == kXon || byLow == kXoff ||
                  (byLow == '\r' && (stEsc.m_byLast & 0x7F) == '@');
    }
    std::size_t n = 0;
    if (bEscape) {
        pbyOut[n++] = kZdle;
        by = by == 0x7F ? kZRub0 : by == 0xFF ? kZRub1 : static_cast<std::uint8_t>(by ^ 0x40);
    }
    pbyOut[n++] = by;
    stEsc.m_byLast = by;
    return n;
}

std::size_t fnPutEscapedRun(ZEscape &stEsc, const std::uint8_t *pby, std::size_t cb, std::uint8_t *pbyOut)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < cb; ++i) {
        n += fnPutEscaped(stEsc, pby[i], pbyOut + n);
    }
    return n;
}

std::size_t fnPutCheck(ZEscape &stEsc, bool bCrc32, const std::uint8_t *pby, std::size_t cb,
                       const std::uint8_t *pbyEnd, std::uint8_t *pbyOut)
{
    std::uint8_t abyCheck[4];
    if (bCrc32) {
        std::uint32_t dwCrc = fnCrc32(0, pby, cb);
        dwCrc = pbyEnd != nullptr ? fnCrc32(dwCrc, pbyEnd, 1) : dwCrc;
        for (int i = 0; i < 4; ++i) {
            abyCheck[i] = static_cast<std::uint8_t>(dwCrc >> (8 * i));
        }
    } else {
        std::uint16_t wCrc = fnCrc16(0, pby, cb);
        wCrc = pbyEnd != nullptr ? fnCrc16Byte(wCrc, *pbyEnd) : wCrc;
        abyCheck[0] = static_cast<std::uint8_t>(wCrc >> 8);
        abyCheck[1] = static_cast<std::uint8_t>(wCrc);
    }
    return fnPutEscapedRun(stEsc, abyCheck, bCrc32 ? 4 : 2, pbyOut);
}

void fnHeaderBytes(std::uint8_t *pby, std::uint8_t byType, std::uint32_t dwValue)
{
    pby[0] = byType;
    for (int i = 0; i < 4; ++i) {
        pby[1 + i] = static_cast<std::uint8_t>(dwValue >> (8 * i));
    }
}

void fnPutHex(XferCore &stCore, std::uint8_t byType, std::uint32_t dwValue)
{
    std::uint8_t aby[32];
    fnXferPut(stCore, aby, fnZHexHeader(aby, byType, dwValue));
}

void fnPutBin(XferCore &stCore, ZEscape &stEsc, bool bCrc32, std::uint8_t byType, std::uint32_t dwValue)
{
    std::uint8_t abyHeader[5];
    std::uint8_t aby[3 + 2 * 9];
    fnHeaderBytes(abyHeader, byType, dwValue);
    aby[0] = kZPad;
    aby[1] = kZdle;
    aby[2] = bCrc32 ? kZBin32 : kZBin;
    std::size_t n = 3 + fnPutEscapedRun(stEsc, abyHeader, 5, aby + 3);
    n += fnPutCheck(stEsc, bCrc32, abyHeader, 5, nullptr, aby + n);
    fnXferPut(stCore, aby, n);
}

void fnPutSub(XferCore &stCore, ZEscape &stEsc, bool bCrc32, const std::uint8_t *pby, std::size_t cb,
              std::uint8_t byEnd)
{
    std::uint8_t aby[2 * (kZSubMax + 4) + 3];
    std::size_t n = fnPutEscapedRun(stEsc, pby, cb, aby);
    aby[n++] = kZdle;
    aby[n++] = byEnd;
    n += fnPutCheck(stEsc, bCrc32, pby, cb, &byEnd, aby + n);
    if (byEnd == kZCrcW) {
        aby[n++] = kXon; // as lrzsz: in case flow control stopped the receiver's side
    }
    fnXferPut(stCore, aby, n);
}

// Sender.

void fnZsControlFrame(XferCore &stCore, ZSend &st);

void fnZsWait(XferCore &stCore, ZSend &st, ZSendState nState)
{
    st.m_nState = nState;
    fnXferWait(stCore, kXferAnswerMs);
}

bool fnZsRetry(XferCore &stCore, ZSend &st)
{
    ++stCore.m_stProg.m_dwRetries;
    if (++st.m_dwRetries > kXferRetries) {
        fnXferEnd(stCore, kXferTooManyRetries, true);
        return false;
    }
    return true;
}

void fnZsNextFile(XferCore &stCore, ZSend &st)
{
    if (st.m_bHaveFile) {
        fnXferEndFile(stCore);
    }
    st.m_dwRetries = 0;
    st.m_dwSubLen = kZSubMax;
    st.m_bHaveFile = stCore.m_pSource->fnNextFile(st.m_stFile);
    if (st.m_bHaveFile) {
        fnXferBeginFile(stCore, st.m_stFile);
        st.m_dwEnd = st.m_stFile.m_qwSize > 0xFFFFFFFFu ? 0xFFFFFFFFu
                                                        : static_cast<std::uint32_t>(st.m_stFile.m_qwSize);
        fnZsWait(stCore, st, kZsWaitFileReply);
    } else {
        st.m_nState = kZsWaitFin;
        fnXferWait(stCore, kZsFinWaitMs);
    }
    fnZsControlFrame(stCore, st);
}

// What the sender's state waits an answer for, sent (again).
void fnZsControlFrame(XferCore &stCore, ZSend &st)
{
    std::uint8_t aby[kZSubMax];
    switch (st.m_nState) {
    case kZsWaitInit:
        fnXferPut(stCore, reinterpret_cast<const std::uint8_t *>("rz\r"), 3);
        fnPutHex(stCore, kZRqinit, 0);
        break;
    case kZsWaitSinitAck:
        aby[0] = 0; // no attention string
        fnPutBin(stCore, st.m_stEsc, st.m_bCrc32, kZSinit, static_cast<std::uint32_t>(kZTEscCtl) << 24);
        fnPutSub(stCore, st.m_stEsc, st.m_bCrc32, aby, 1, kZCrcW);
        break;
    case kZsWaitFileReply: {
        const std::size_t cb = fnXferFormatFileHeader(st.m_stFile, aby, sizeof aby);
        fnPutBin(stCore, st.m_stEsc, st.m_bCrc32, kZFile, static_cast<std::uint32_t>(kZCBin) << 24);
        fnPutSub(stCore, st.m_stEsc, st.m_bCrc32, aby, cb, kZCrcW);
        break;
    }
    case kZsWaitEofReply:
        fnPutBin(stCore, st.m_stEsc, st.m_bCrc32, kZEof, st.m_dwEnd);
        break;
    case kZsWaitFin:
        fnPutHex(stCore, kZFin, 0);
        break;
    default:
        break;
    }
}

void fnZsInit(XferCore &stCore, ZSend &st, std::uint32_t dwCaps)
{
    const std::uint8_t byFlags = static_cast<std::uint8_t>(dwCaps >> 24);
    const std::uint32_t dwBuffer = dwCaps & 0xFFFF;
    st.m_bCrc32 = stCore.m_stSet.m_bZmodemCrc32 && (byFlags & kZCanFc32) != 0;
    st.m_stEsc.m_bAll = stCore.m_stSet.m_bZmodemEscapeAll || (byFlags & kZEscCtl) != 0;
    st.m_dwWindow = dwBuffer != 0 ? dwBuffer : (byFlags & kZCanOvio) == 0 ? kZSubMax : 0;
    if (stCore.m_stSet.m_bZmodemEscapeAll) {
        fnZsWait(stCore, st, kZsWaitSinitAck);
        fnZsControlFrame(stCore, st);
    } else {
        fnZsNextFile(stCore, st);
    }
}

// Data from dwPos: the receiver accepted the file there, or asks again
// from there after a loss.
void fnZsReposition(XferCore &stCore, ZSend &st, std::uint32_t dwPos, bool bError)
{
    if (dwPos > st.m_dwEnd) {
        fnXferEnd(stCore, kXferProtocolError, true);
        return;
    }
    // Each ask for the place gone back to last shortens the subpackets; an
    // ask of the same loss is gone back to again, as its header may be what
    // was lost, but is no retry.
    bool bSameLoss = false;
    if (bError) {
        ++stCore.m_stProg.m_dwErrors;
        if (dwPos == st.m_dwLastRpos) {
            st.m_dwSubLen = st.m_dwSubLen / 2 > kZSubMin ? st.m_dwSubLen / 2 : kZSubMin;
            bSameLoss = stCore.m_dwNow - st.m_dwRposAt < kZsEchoMs;
        } else {
            st.m_dwRetries = 0;
        }
        if (!bSameLoss && !fnZsRetry(stCore, st)) {
            return;
        }
    }
    if (!bSameLoss) {
        st.m_dwRposAt = stCore.m_dwNow;
    }
    st.m_dwLastRpos = dwPos;
    fnXferPurge(stCore);
    st.m_dwPos = dwPos;
    st.m_dwSinceAck = 0;
    st.m_dwSinceAsk = 0;
    st.m_bFrameOpen = false;
    fnXferSetFileDone(stCore, dwPos);
    fnZsWait(stCore, st, kZsData);
}

void fnZsHeader(XferCore &stCore, ZSend &st)
{
    const std::uint8_t byType = st.m_stIn.m_abyHeader[0];
    const std::uint32_t dwValue = fnZHeaderValue(st.m_stIn);
    const ZSendState nState = st.m_nState;
    const bool bInFile =
        nState == kZsWaitFileReply || nState == kZsData || nState == kZsWaitAck || nState == kZsWaitEofReply;
    switch (byType) {
    case kZRinit:
        if (nState == kZsWaitInit) {
            fnZsInit(stCore, st, dwValue);
        } else if (nState == kZsWaitEofReply) {
            fnZsNextFile(stCore, st);
        }
        break;
    case kZAck:
        if (nState == kZsWaitSinitAck) {
            fnZsNextFile(stCore, st);
        } else if (nState == kZsWaitAck) { // on with a new frame, as far as the window goes
            st.m_dwRetries = 0;
            st.m_dwSinceAck = dwValue <= st.m_dwPos ? st.m_dwPos - dwValue : 0;
            fnZsWait(stCore, st, kZsData);
        } else if (nState == kZsData && st.m_dwWindow == 0 && dwValue <= st.m_dwPos &&
                   st.m_dwPos - dwValue < st.m_dwSinceAck) {
            st.m_dwSinceAck = st.m_dwPos - dwValue; // the window moves on
        }
        break;
    case kZRpos:
        if (bInFile) {
            fnZsReposition(stCore, st, dwValue, nState != kZsWaitFileReply);
        }
        break;
    case kZSkip:
        if (bInFile) {
            fnXferPurge(stCore);
            ++stCore.m_stProg.m_dwFilesSkipped;
            fnZsNextFile(stCore, st);
        }
        break;
    case kZNak:
        if (nState != kZsData && nState != kZsWaitAck && fnZsRetry(stCore, st)) {
            fnZsControlFrame(stCore, st);
        }
        break;
    case kZFin:
        if (nState == kZsWaitFin) {
            fnXferPut(stCore, reinterpret_cast<const std::uint8_t *>("OO"), 2);
            fnXferEnd(stCore, kXferSuccess, false);
        }
        break;
    case kZAbort:
    case kZFerr:
    case kZCan:
        fnXferEnd(stCore, kXferCancelledByFar, false);
        break;
    default:
        break;
    }
}

// One subpacket of data, with the ZDATA header when a frame begins.
void fnZsSendSub(XferCore &stCore, ZSend &st)
{
    const std::uint32_t dwMax =
        st.m_dwWindow != 0 && st.m_dwWindow < st.m_dwSubLen ? st.m_dwWindow : st.m_dwSubLen;
    std::uint32_t dwLen = st.m_dwEnd - st.m_dwPos < dwMax ? st.m_dwEnd - st.m_dwPos : dwMax;
    const std::int32_t nRead = dwLen == 0 ? 0 : stCore.m_pSource->fnRead(st.m_dwPos, st.m_abyRead, dwLen);
    if (nRead < 0 || static_cast<std::uint32_t>(nRead) > dwLen) {
        fnXferEnd(stCore, kXferReadFailed, true);
        return;
    }
    if (static_cast<std::uint32_t>(nRead) < dwLen) {
        st.m_dwEnd = st.m_dwPos + static_cast<std::uint32_t>(nRead); // the file shrank
        dwLen = static_cast<std::uint32_t>(nRead);
    }
    if (!st.m_bFrameOpen) {
        fnPutBin(stCore, st.m_stEsc, st.m_bCrc32, kZData, st.m_dwPos);
        st.m_bFrameOpen = true;
    }
    st.m_dwPos += dwLen;
    st.m_dwSinceAck += dwLen;
    std::uint8_t byEnd = kZCrcG;
    if (st.m_dwPos == st.m_dwEnd) {
        byEnd = kZCrcE;
    } else if (st.m_dwWindow != 0 ? st.m_dwSinceAck + dwMax > st.m_dwWindow
                                  : st.m_dwSinceAck >= kZsStreamWindow) {
        byEnd = kZCrcW;
    } else if (st.m_dwWindow == 0 && (st.m_dwSinceAsk += dwLen) >= kZsAskEvery) {
        byEnd = kZCrcQ;
        st.m_dwSinceAsk = 0;
    }
    fnPutSub(stCore, st.m_stEsc, st.m_bCrc32, st.m_abyRead, dwLen, byEnd);
    ++stCore.m_stProg.m_dwBlocks;
    fnXferSetFileDone(stCore, st.m_dwPos);
    if (byEnd == kZCrcE) {
        st.m_bFrameOpen = false;
        fnZsWait(stCore, st, kZsWaitEofReply);
        fnZsControlFrame(stCore, st);
    } else if (byEnd == kZCrcW) {
        st.m_bFrameOpen = false;
        fnZsWait(stCore, st, kZsWaitAck);
    }
}

// Receiver.

void fnZrReply(XferCore &stCore, ZRecv &st, std::uint8_t byType, std::uint32_t dwValue)
{
    st.m_byReply = byType;
    st.m_dwReplyValue = dwValue;
    fnPutHex(stCore, byType, dwValue);
    fnXferWait(stCore, kXferAnswerMs);
}

std::uint32_t fnZrInitValue(const XferCore &stCore)
{
    const std::uint32_t dwFlags = kZCanFdx | kZCanOvio | (stCore.m_stSet.m_bZmodemCrc32 ? kZCanFc32 : 0) |
                                  (stCore.m_stSet.m_bZmodemEscapeAll ? kZEscCtl : 0);
    return dwFlags << 24; // buffer size 0: the sender may stream
}

void fnZrWaitFile(XferCore &stCore, ZRecv &st)
{
    st.m_nState = kZrWaitFile;
    fnZrReply(stCore, st, kZRinit, fnZrInitValue(stCore));
}

// Asks the sender to go on from what was written: after a loss, or to
// accept the file.
void fnZrRepos(XferCore &stCore, ZRecv &st, bool bError)
{
    if (bError) {
        ++stCore.m_stProg.m_dwErrors;
        if (++st.m_dwRetries > kXferRetries) {
            fnXferEnd(stCore, kXferTooManyRetries, true);
            return;
        }
    }
    st.m_nState = kZrWaitData;
    fnZrReply(stCore, st, kZRpos, st.m_dwPos);
    st.m_bQuietAsk = true;
    st.m_dwAskedAt = stCore.m_dwNow;
    fnXferWait(stCore, kZrQuietMs);
}

// Bytes after our ZRPOS: the sender is still talking, so the quiet wait
// starts again, within the wait for its answer.
void fnZrHeard(XferCore &stCore, const ZRecv &st)
{
    if (st.m_nState == kZrWaitData && st.m_bQuietAsk) {
        const std::uint32_t dwSince = stCore.m_dwNow - st.m_dwAskedAt;
        const std::uint32_t dwLeft = dwSince < kXferAnswerMs ? kXferAnswerMs - dwSince : 0;
        fnXferWait(stCore, std::min(dwLeft, kZrQuietMs));
    }
}

void fnZrFileInfo(XferCore &stCore, ZRecv &st)
{
    if (stCore.m_bFileOpen) { // the sender missed our ZRPOS
        fnZrRepos(stCore, st, false);
        return;
    }
    const ZReader &stIn = st.m_stIn;
    if (stIn.m_dwData == kZSubMax || !fnXferParseFileHeader(stIn.m_abyData, stIn.m_dwData, st.m_stFile)) {
        fnXferEnd(stCore, kXferProtocolError, true);
        return;
    }
    const XferOpen nOpen = stCore.m_pSink->fnOpen(st.m_stFile);
    if (nOpen == kXferOpenFailed) {
        fnXferEnd(stCore, kXferWriteFailed, true);
        return;
    }
    fnXferBeginFile(stCore, st.m_stFile);
    st.m_dwPos = 0;
    st.m_dwRetries = 0;
    if (nOpen == kXferOpenSkip) {
        ++stCore.m_stProg.m_dwFilesSkipped;
        fnXferEndFile(stCore);
        st.m_nState = kZrWaitFile;
        fnZrReply(stCore, st, kZSkip, 0);
        return;
    }
    stCore.m_bFileOpen = true;
    fnZrRepos(stCore, st, false);
}

void fnZrData(XferCore &stCore, ZRecv &st)
{
    const ZReader &stIn = st.m_stIn;
    if (stIn.m_dwData > 0 && !stCore.m_pSink->fnWrite(stIn.m_abyData, stIn.m_dwData)) {
        fnXferEnd(stCore, kXferWriteFailed, true);
        return;
    }
    st.m_dwPos += stIn.m_dwData;
    st.m_dwRetries = 0;
    st.m_bQuietAsk = false;
    ++stCore.m_stProg.m_dwBlocks;
    fnXferSetFileDone(stCore, st.m_dwPos);
    if (stIn.m_byEnd == kZCrcQ || stIn.m_byEnd == kZCrcW) {
        fnPutHex(stCore, kZAck, st.m_dwPos);
    }
    if (stIn.m_byEnd == kZCrcE || stIn.m_byEnd == kZCrcW) {
        st.m_nState = kZrWaitData;
    }
    fnXferWait(stCore, kXferAnswerMs);
}

void fnZrSub(XferCore &stCore, ZRecv &st, bool bGood)
{
    switch (st.m_nState) {
    case kZrFileInfo:
        if (bGood) {
            fnZrFileInfo(stCore, st);
        } else {
            ++stCore.m_stProg.m_dwErrors;
            st.m_nState = stCore.m_bFileOpen ? kZrWaitData : kZrWaitFile;
            fnZrReply(stCore, st, kZNak, 0);
        }
        break;
    case kZrSinitInfo:
        st.m_nState = kZrWaitFile;
        fnZrReply(stCore, st, bGood ? kZAck : kZNak, 0);
        break;
    case kZrData:
        if (bGood) {
            fnZrData(stCore, st);
        } else {
            fnZrRepos(stCore, st, true);
        }
        break;
    default:
        break; // data after our ZRPOS, before the sender heard it
    }
}

void fnZrHeader(XferCore &stCore, ZRecv &st)
{
    const std::uint8_t byType = st.m_stIn.m_abyHeader[0];
    const std::uint32_t dwValue = fnZHeaderValue(st.m_stIn);
    st.m_bBegun = true;
    switch (byType) {
    case kZRqinit:
        if (st.m_nState == kZrWaitFile) {
            fnZrWaitFile(stCore, st);
        }
        break;
    case kZSinit:
        st.m_nState = kZrSinitInfo;
        break;
    case kZFile:
        st.m_nState = kZrFileInfo;
        break;
    case kZData:
        if (!stCore.m_bFileOpen) {
            break;
        }
        if (dwValue == st.m_dwPos) {
            st.m_nState = kZrData;
            fnXferWait(stCore, kXferAnswerMs);
        } else {
            fnZrRepos(stCore, st, true);
        }
        break;
    case kZEof:
        if (stCore.m_bFileOpen && dwValue == st.m_dwPos) {
            stCore.m_bFileOpen = false;
            stCore.m_pSink->fnClose(true);
            fnXferEndFile(stCore);
            fnZrWaitFile(stCore, st);
        } else if (!stCore.m_bFileOpen) { // our ZRINIT after it was lost
            fnZrWaitFile(stCore, st);
        } else if (dwValue > st.m_dwPos) {
            // The sender went on to the end past what we hold: our ZRPOS or its
            // restart was lost, or crossed this ZEOF. Asking again costs a
            // restart at most; waiting costs a time-out (seen on noisy lines
            // at one or more per 256 KiB from lrzsz's sz).
            fnZrRepos(stCore, st, true);
        }
        break;
    case kZFin:
        if (stCore.m_bFileOpen) {
            fnXferEnd(stCore, kXferProtocolError, true);
            break;
        }
        fnPutHex(stCore, kZFin, 0);
        st.m_nState = kZrWaitOO;
        fnXferWait(stCore, kZrOOMs);
        break;
    case kZNak:
        fnZrReply(stCore, st, st.m_byReply, st.m_dwReplyValue);
        break;
    case kZAbort:
    case kZFerr:
    case kZCan:
        fnXferEnd(stCore, kXferCancelledByFar, false);
        break;
    default:
        break;
    }
}

void fnZrEvent(XferCore &stCore, ZRecv &st, ZEvent nEvent)
{
    switch (nEvent) {
    case kZeCancel:
        fnXferEnd(stCore, kXferCancelledByFar, false);
        break;
    case kZeHeader:
        fnZrHeader(stCore, st);
        break;
    case kZeBadHeader:
        if (stCore.m_bFileOpen) {
            fnZrRepos(stCore, st, true);
        } else {
            ++stCore.m_stProg.m_dwErrors;
            fnZrReply(stCore, st, kZNak, 0);
        }
        break;
    case kZeSub:
    case kZeBadSub:
        fnZrSub(stCore, st, nEvent == kZeSub);
        break;
    default:
        break;
    }
}

} // namespace

void fnZReaderReset(ZReader &st)
{
    st.m_nState = kZdHunt;
    st.m_bEscape = false;
    st.m_dwHave = 0;
    st.m_dwData = 0;
    st.m_bSubDone = false;
}

ZEvent fnZRead(ZReader &st, std::uint8_t by)
{
    st.m_byCans = by == kZdle ? static_cast<std::uint8_t>(st.m_byCans + 1) : 0;
    if (st.m_byCans >= kZCans) {
        st.m_byCans = 0;
        fnZReaderReset(st);
        return kZeCancel;
    }
    switch (st.m_nState) {
    case kZdHunt:
        st.m_nState = by == kZPad ? kZdPad : kZdHunt;
        return kZeNone;
    case kZdPad:
        st.m_nState = by == kZPad ? kZdPad : by == kZdle ? kZdPadZdle : kZdHunt;
        return kZeNone;
    case kZdPadZdle:
        st.m_dwHave = 0;
        st.m_bEscape = false;
        st.m_nState = by == kZHex ? kZdHexHeader : by == kZBin || by == kZBin32 ? kZdBinHeader : kZdHunt;
        st.m_bCrc32 = by == kZBin32 ? true : by == kZBin || by == kZHex ? false : st.m_bCrc32;
        return kZeNone;
    case kZdHexHeader:
        return fnHexHeaderByte(st, by);
    case kZdBinHeader:
        return fnBinHeaderByte(st, by);
    case kZdSub:
        return fnSubByte(st, by);
    default:
        return fnSubCheckByte(st, by);
    }
}

std::uint32_t fnZHeaderValue(const ZReader &st)
{
    const std::uint8_t *pby = st.m_abyHeader + 1;
    return static_cast<std::uint32_t>(pby[0]) | static_cast<std::uint32_t>(pby[1]) << 8 |
           static_cast<std::uint32_t>(pby[2]) << 16 | static_cast<std::uint32_t>(pby[3]) << 24;
}

std::size_t fnZHexHeader(std::uint8_t *pby, std::uint8_t byType, std::uint32_t dwValue)
{
    static const char kachHex[] = "0123456789abcdef";
    std::uint8_t abyHeader[7];
    fnHeaderBytes(abyHeader, byType, dwValue);
    const std::uint16_t wCrc = fnCrc16(0, abyHeader, 5);
    abyHeader[5] = static_cast<std::uint8_t>(wCrc >> 8);
    abyHeader[6] = static_cast<std::uint8_t>(wCrc);
    std::size_t n = 0;
    pby[n++] = kZPad;
    pby[n++] = kZPad;
    pby[n++] = kZdle;
    pby[n++] = kZHex;
    for (std::uint8_t by : abyHeader) {
        pby[n++] = static_cast<std::uint8_t>(kachHex[by >> 4]);
        pby[n++] = static_cast<std::uint8_t>(kachHex[by & 15]);
    }
    pby[n++] = '\r';
    pby[n++] = '\n' | 0x80;
    if (byType != kZFin && byType != kZAck) {
        pby[n++] = kXon;
    }
    return n;
}

void fnZSendStart(XferCore &stCore, ZSend &st)
{
    std::memset(&st, 0, sizeof st);
    fnZReaderReset(st.m_stIn);
    st.m_stEsc.m_bAll = stCore.m_stSet.m_bZmodemEscapeAll;
    st.m_dwFirstDeadline = stCore.m_dwNow + fnXferFirstWaitMs(stCore);
    fnZsWait(stCore, st, kZsWaitInit);
    fnZsControlFrame(stCore, st);
}

void fnZSendFeed(XferCore &stCore, ZSend &st, const std::uint8_t *pby, std::size_t cb)
{
    for (std::size_t i = 0; i < cb && stCore.m_nResult == kXferRunning; ++i) {
        const ZEvent nEvent = fnZRead(st.m_stIn, pby[i]);
        if (nEvent == kZeCancel) {
            fnXferEnd(stCore, kXferCancelledByFar, false);
        } else if (nEvent == kZeHeader) {
            fnZsHeader(stCore, st);
        } else if (nEvent == kZeBadHeader) {
            ++stCore.m_stProg.m_dwErrors;
        }
    }
}

void fnZSendPump(XferCore &stCore, ZSend &st)
{
    while (stCore.m_nResult == kXferRunning && st.m_nState == kZsData && fnXferRoom(stCore) >= kZSubWorst &&
           (st.m_dwWindow != 0 || st.m_dwSinceAck < kZsStreamWindow)) {
        fnZsSendSub(stCore, st);
        fnXferWait(stCore, kXferAnswerMs);
    }
}

void fnZSendTimeOut(XferCore &stCore, ZSend &st)
{
    switch (st.m_nState) {
    case kZsWaitInit:
        if (fnXferTimeReached(stCore.m_dwNow, st.m_dwFirstDeadline)) {
            fnXferEnd(stCore, kXferTimedOut, false);
            return;
        }
        fnXferWait(stCore, kXferAnswerMs);
        fnZsControlFrame(stCore, st);
        break;
    case kZsData:
        if (st.m_dwWindow == 0 && st.m_dwSinceAck >= kZsStreamWindow) { // the last ZACK was lost
            fnZsReposition(stCore, st, st.m_dwPos - st.m_dwSinceAck, true);
        } else { // only waiting for the glue to take the output
            fnXferWait(stCore, kXferAnswerMs);
        }
        break;
    case kZsWaitAck: // the ZCRCW or its ZACK was lost: from what was confirmed
        fnZsReposition(stCore, st, st.m_dwPos - st.m_dwSinceAck, true);
        break;
    case kZsWaitFin:
        if (++st.m_dwRetries >= kZsFinTries) {
            fnXferEnd(stCore, kXferSuccess, false);
            return;
        }
        fnXferWait(stCore, kZsFinWaitMs);
        fnZsControlFrame(stCore, st);
        break;
    default:
        ++stCore.m_stProg.m_dwErrors;
        if (fnZsRetry(stCore, st)) {
            fnXferWait(stCore, kXferAnswerMs);
            fnZsControlFrame(stCore, st);
        }
        break;
    }
}

void fnZRecvStart(XferCore &stCore, ZRecv &st)
{
    std::memset(&st, 0, sizeof st);
    fnZReaderReset(st.m_stIn);
    st.m_dwFirstDeadline = stCore.m_dwNow + fnXferFirstWaitMs(stCore);
    fnZrWaitFile(stCore, st);
}

void fnZRecvFeed(XferCore &stCore, ZRecv &st, const std::uint8_t *pby, std::size_t cb)
{
    for (std::size_t i = 0; i < cb && stCore.m_nResult == kXferRunning; ++i) {
        if (st.m_nState == kZrWaitOO) {
            if (pby[i] == 'O' && ++st.m_byOs == 2) {
                fnXferEnd(stCore, kXferSuccess, false);
            }
            continue;
        }
        fnZrEvent(stCore, st, fnZRead(st.m_stIn, pby[i]));
    }
    if (cb > 0) {
        fnZrHeard(stCore, st);
    }
}

void fnZRecvTimeOut(XferCore &stCore, ZRecv &st)
{
    if (st.m_nState == kZrWaitOO) {
        fnXferEnd(stCore, kXferSuccess, false);
        return;
    }
    if (!st.m_bBegun) {
        if (fnXferTimeReached(stCore.m_dwNow, st.m_dwFirstDeadline)) {
            fnXferEnd(stCore, kXferTimedOut, false);
        } else {
            fnZrWaitFile(stCore, st);
        }
        return;
    }
    if (st.m_nState == kZrWaitData && st.m_bQuietAsk && stCore.m_dwNow - st.m_dwAskedAt < kXferAnswerMs) {
        st.m_bQuietAsk = false;
        ++stCore.m_stProg.m_dwRetries;
        fnZReaderReset(st.m_stIn);
        fnZrReply(stCore, st, kZRpos, st.m_dwPos);
        return;
    }
    ++stCore.m_stProg.m_dwErrors;
    ++stCore.m_stProg.m_dwRetries;
    if (++st.m_dwRetries > kXferRetries) {
        fnXferEnd(stCore, kXferTooManyRetries, true);
        return;
    }
    fnZReaderReset(st.m_stIn);
    if (stCore.m_bFileOpen) {
        fnZrRepos(stCore, st, false);
    } else {
        fnZrReply(stCore, st, st.m_byReply, st.m_dwReplyValue);
    }
}

bool fnZAutoStartFeed(ZAutoStart &st, const std::uint8_t *pby, std::size_t cb, std::size_t *pcbUsed)
{
    static const std::uint8_t kabyStart[] = {kZPad, kZdle, kZHex, '0', '0'};
    for (std::size_t i = 0; i < cb; ++i) {
        if (pby[i] == kabyStart[st.m_byMatched]) {
            ++st.m_byMatched;
        } else {
            st.m_byMatched = pby[i] == kZPad ? 1 : 0;
        }
        if (st.m_byMatched == sizeof kabyStart) {
            st.m_byMatched = 0;
            if (pcbUsed != nullptr) {
                *pcbUsed = i + 1;
            }
            return true;
        }
    }
    return false;
}
