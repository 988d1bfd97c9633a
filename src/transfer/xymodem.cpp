#include "xymodem.h"

#include "xfer_crc.h"

#include <cstring>

namespace {

// How long queued requests may keep arriving before the first block goes.
const std::uint32_t kXsSettleMs = 100;
// A 'C' this soon after a file's first block is a request from before it
// (a receiver asks again every few seconds), not a call for it again.
const std::uint32_t kXsStaleCMs = 1000;
// The end (EOT, or YMODEM's closing block 0) comes after every data block was
// acknowledged. lrzsz flushes its last ACK away when it closes a pty, so an
// end met with silence this often counts as done; a NAK keeps it going.
const std::uint32_t kXsEndWaitMs = 3000;
const std::uint32_t kXsEndSilentTries = 2;
// Between the receiver's requests before the first block.
const std::uint32_t kXrRequestMs = 3000;
// 'C's before an XMODEM receiver falls back to checksum.
const std::uint32_t kXrCrcTries = 3;
// A block's bytes come back to back; a gap this long means some were lost.
const std::uint32_t kXrByteMs = 1000;
// Quiet wanted after a bad block before the NAK, so that the rest of a
// misframed block is not read as the next one.
const std::uint32_t kXrPurgeMs = 500;

const std::uint8_t kRequestCrc = 'C';

// Held SUBs go out from here once data follows them.
struct SubRun {
    std::uint8_t m_aby[128];
    constexpr SubRun() : m_aby()
    {
        for (std::uint32_t i = 0; i < sizeof m_aby; ++i) {
            m_aby[i] = kXferSub;
        }
    }
};

constexpr SubRun kSubs;

// A sender that gives up in the middle of a block: CAN CAN, then only CANs
// and BSs up to the gap.
bool fnXrAbortSeen(const std::uint8_t *pby, std::uint32_t cb)
{
    std::uint32_t i = cb;
    while (i > 0 && pby[i - 1] == kXferBs) {
        --i;
    }
    std::uint32_t dwCans = 0;
    while (i > 0 && pby[i - 1] == kXferCan) {
        --i;
        ++dwCans;
    }
    return dwCans >= 2;
}

// Sender.

bool fnXsAtEnd(const XySend &st)
{
    return st.m_nState == kXsWaitEotAck || (st.m_nState == kXsWaitAck && !st.m_bHaveFile);
}

void fnXsPutFrame(XferCore &stCore, XySend &st)
{
    if (fnXferRoom(stCore) < st.m_dwFrameLen) {
        fnXferPurge(stCore); // the glue has not sent it: it is stale
    }
    fnXferPut(stCore, st.m_abyFrame, st.m_dwFrameLen);
    st.m_bReacted = true;
    st.m_dwSentAt = stCore.m_dwNow;
    fnXferWait(stCore, fnXsAtEnd(st) ? kXsEndWaitMs : kXferAnswerMs);
}

// Frames m_abyFrame[3 ..] that the caller filled: header, numbers, check.
void fnXsSeal(XySend &st, std::uint8_t byNumber, std::uint32_t dwLen, bool bCrc)
{
    std::uint8_t *pby = st.m_abyFrame;
    pby[0] = dwLen == 1024 ? kXferStx : kXferSoh;
    pby[1] = byNumber;
    pby[2] = static_cast<std::uint8_t>(~byNumber);
    if (bCrc) {
        const std::uint16_t wCrc = fnCrc16(0, pby + 3, dwLen);
        pby[3 + dwLen] = static_cast<std::uint8_t>(wCrc >> 8);
        pby[4 + dwLen] = static_cast<std::uint8_t>(wCrc);
        st.m_dwFrameLen = 5 + dwLen;
    } else {
        pby[3 + dwLen] = fnXmodemChecksum(pby + 3, dwLen);
        st.m_dwFrameLen = 4 + dwLen;
    }
}

void fnXsSendEot(XferCore &stCore, XySend &st)
{
    st.m_abyFrame[0] = kXferEot;
    st.m_dwFrameLen = 1;
    st.m_dwSilent = 0;
    st.m_nState = kXsWaitEotAck;
    fnXsPutFrame(stCore, st);
}

// The block at m_qwAt, or EOT past the end of the file.
void fnXsSendData(XferCore &stCore, XySend &st)
{
    const std::uint64_t qwLeft = st.m_stFile.m_qwSize > st.m_qwAt ? st.m_stFile.m_qwSize - st.m_qwAt : 0;
    const bool bLarge = st.m_bCrc && (st.m_bYmodem || stCore.m_stSet.m_nXmodemVariant == kXmodem1k);
    // 1K blocks while the padding of a 1K block would be less than 128 bytes.
    const std::uint32_t dwLen = bLarge && qwLeft > 896 ? 1024 : 128;
    const std::int32_t nRead = stCore.m_pSource->fnRead(st.m_qwAt, st.m_abyFrame + 3, dwLen);
    if (nRead < 0 || static_cast<std::uint32_t>(nRead) > dwLen) {
        fnXferEnd(stCore, kXferReadFailed, true);
        return;
    }
    if (nRead == 0) {
        fnXsSendEot(stCore, st);
        return;
    }
    std::memset(st.m_abyFrame + 3 + nRead, kXferSub, dwLen - static_cast<std::uint32_t>(nRead));
    st.m_dwDataLen = static_cast<std::uint32_t>(nRead);
    fnXsSeal(st, st.m_byBlock, dwLen, st.m_bCrc);
    st.m_nState = kXsWaitAck;
    fnXsPutFrame(stCore, st);
}

// YMODEM block 0: the next file's header, or an empty one ending the batch.
void fnXsSendHeader(XferCore &stCore, XySend &st)
{
    if (st.m_bHaveFile) {
        fnXferEndFile(stCore);
    }
    st.m_bHaveFile = stCore.m_pSource->fnNextFile(st.m_stFile);
    std::uint32_t dwLen = 128;
    std::memset(st.m_abyFrame + 3, 0, 1024);
    if (st.m_bHaveFile) {
        if (fnXferFormatFileHeader(st.m_stFile, st.m_abyFrame + 3, 128) == 0) { // a long name
            dwLen = 1024;
            fnXferFormatFileHeader(st.m_stFile, st.m_abyFrame + 3, 1024);
        }
        fnXferBeginFile(stCore, st.m_stFile);
    }
    st.m_qwAt = 0;
    st.m_dwDataLen = 0;
    st.m_byBlock = 1;
    st.m_dwSilent = 0;
    fnXsSeal(st, 0, dwLen, st.m_bCrc);
    st.m_nState = kXsWaitAck;
    fnXsPutFrame(stCore, st);
}

void fnXsFirst(XferCore &stCore, XySend &st)
{
    st.m_dwRetries = 0;
    if (st.m_bYmodem) {
        fnXsSendHeader(stCore, st);
    } else {
        fnXsSendData(stCore, st);
    }
}

// bShown false: the NAK to a first EOT is the usual way, not a retry to show.
void fnXsRetry(XferCore &stCore, XySend &st, bool bShown = true)
{
    if (++st.m_dwRetries > kXferRetries) {
        fnXferEnd(stCore, kXferTooManyRetries, true);
        return;
    }
    stCore.m_stProg.m_dwRetries += bShown ? 1 : 0;
    fnXsPutFrame(stCore, st);
}

void fnXsAcked(XferCore &stCore, XySend &st)
{
    st.m_dwRetries = 0;
    if (st.m_dwDataLen == 0) { // block 0
        if (!st.m_bHaveFile) {
            fnXferEnd(stCore, kXferSuccess, false);
            return;
        }
        // A 'C' behind the ACK in the same feed was sent after it: it counts.
        st.m_nState = kXsWaitDataStart;
        fnXferWait(stCore, kXferAnswerMs);
        return;
    }
    ++stCore.m_stProg.m_dwBlocks;
    st.m_qwAt += st.m_dwDataLen;
    fnXferSetFileDone(stCore, st.m_qwAt);
    st.m_byBlock = static_cast<std::uint8_t>(st.m_byBlock + 1);
    fnXsSendData(stCore, st);
}

void fnXsByte(XferCore &stCore, XySend &st, std::uint8_t by)
{
    const bool bCan = by == kXferCan;
    if (bCan && st.m_bCanSeen) {
        fnXferEnd(stCore, kXferCancelledByFar, false);
        return;
    }
    st.m_bCanSeen = bCan;
    if (st.m_bReacted) {
        return;
    }
    const bool bAck = by == kXferAck, bNak = by == kXferNak, bC = by == kRequestCrc;
    switch (st.m_nState) {
    case kXsWaitStart:
    case kXsSettle:
        if (bC || bNak) {
            st.m_bCrc = bC;
            st.m_nState = kXsSettle;
            fnXferWait(stCore, kXsSettleMs);
        }
        break;
    case kXsWaitAck:
        if (bAck) {
            fnXsAcked(stCore, st);
        } else if (bNak || (bC && st.m_qwAt == 0 && stCore.m_dwNow - st.m_dwSentAt >= kXsStaleCMs)) {
            ++stCore.m_stProg.m_dwErrors;
            fnXsRetry(stCore, st);
        }
        break;
    case kXsWaitEotAck:
        if (bAck && !st.m_bYmodem) {
            fnXferEnd(stCore, kXferSuccess, false);
        } else if (bAck) {
            st.m_nState = kXsWaitNextHeader;
            fnXferWait(stCore, kXferAnswerMs);
        } else if (bC && st.m_bYmodem) { // the ACK was lost
            fnXsFirst(stCore, st);
        } else if (bNak) { // many receivers NAK the first EOT
            st.m_dwSilent = 0;
            fnXsRetry(stCore, st, st.m_dwRetries > 0);
        }
        break;
    case kXsWaitDataStart:
    case kXsWaitNextHeader:
        if (bC) {
            st.m_dwRetries = 0;
            if (st.m_nState == kXsWaitDataStart) {
                fnXsSendData(stCore, st);
            } else {
                fnXsSendHeader(stCore, st);
            }
        }
        break;
    }
}

// Receiver.

void fnXrRequest(XferCore &stCore, XyRecv &st)
{
    fnXferPutByte(stCore, st.m_bCrc ? kRequestCrc : kXferNak);
    st.m_bStageBegun = false;
    st.m_nState = kXrWaitBlock;
    fnXferWait(stCore, stCore.m_stProg.m_dwFiles == 0 ? kXrRequestMs : kXferAnswerMs);
}

void fnXrAnswer(XferCore &stCore, XyRecv &st, std::uint8_t by)
{
    fnXferPutByte(stCore, by);
    st.m_nState = kXrWaitBlock;
    fnXferWait(stCore, kXferAnswerMs);
}

// A bad block, a lost byte or a time-out: NAK, or ask again before the
// first block of the stage.
void fnXrRetry(XferCore &stCore, XyRecv &st)
{
    if (++st.m_dwRetries > kXferRetries) {
        fnXferEnd(stCore, kXferTooManyRetries, true);
        return;
    }
    ++stCore.m_stProg.m_dwRetries;
    if (st.m_bStageBegun) {
        fnXrAnswer(stCore, st, kXferNak);
    } else {
        fnXrRequest(stCore, st);
    }
}

bool fnXrOpen(XferCore &stCore, XyRecv &st)
{
    const XferOpen nOpen = stCore.m_pSink->fnOpen(st.m_stFile);
    if (nOpen == kXferOpenFailed) {
        fnXferEnd(stCore, kXferWriteFailed, true);
        return false;
    }
    st.m_bDiscard = nOpen == kXferOpenSkip;
    stCore.m_bFileOpen = !st.m_bDiscard;
    stCore.m_stProg.m_dwFilesSkipped += st.m_bDiscard ? 1 : 0;
    fnXferBeginFile(stCore, st.m_stFile);
    st.m_bInFile = true;
    st.m_qwWritten = 0;
    st.m_qwHeldSubs = 0;
    return true;
}

bool fnXrWrite(XferCore &stCore, XyRecv &st, const std::uint8_t *pby, std::uint32_t cb)
{
    if (!st.m_bDiscard && cb > 0 && !stCore.m_pSink->fnWrite(pby, cb)) {
        fnXferEnd(stCore, kXferWriteFailed, true);
        return false;
    }
    st.m_qwWritten += cb;
    fnXferSetFileDone(stCore, st.m_qwWritten);
    return true;
}

// Without a size the SUBs at the end of a block may be padding: they are
// held until more data shows they were not (and dropped at the end).
bool fnXrWriteData(XferCore &stCore, XyRecv &st, const std::uint8_t *pby, std::uint32_t cb)
{
    if (st.m_stFile.m_bSizeKnown) {
        const std::uint64_t qwLeft = st.m_stFile.m_qwSize - st.m_qwWritten;
        return fnXrWrite(stCore, st, pby, cb < qwLeft ? cb : static_cast<std::uint32_t>(qwLeft));
    }
    std::uint32_t dwData = cb;
    while (dwData > 0 && pby[dwData - 1] == kXferSub) {
        --dwData;
    }
    for (; dwData > 0 && st.m_qwHeldSubs > 0;) {
        const std::uint32_t dwRun = st.m_qwHeldSubs < sizeof kSubs.m_aby
                                        ? static_cast<std::uint32_t>(st.m_qwHeldSubs)
                                        : sizeof kSubs.m_aby;
        if (!fnXrWrite(stCore, st, kSubs.m_aby, dwRun)) {
            return false;
        }
        st.m_qwHeldSubs -= dwRun;
    }
    st.m_qwHeldSubs += cb - dwData;
    return fnXrWrite(stCore, st, pby, dwData);
}

// Something wrong came: wait for quiet, then NAK.
void fnXrPurge(XferCore &stCore, XyRecv &st)
{
    ++stCore.m_stProg.m_dwErrors;
    st.m_nState = kXrPurge;
    st.m_bCanSeen = false;
    fnXferWait(stCore, kXrPurgeMs);
}

// YMODEM block 0: a file begins, or the batch ends.
void fnXrHeader(XferCore &stCore, XyRecv &st, const std::uint8_t *pby, std::uint32_t cb)
{
    if (pby[0] == 0) {
        fnXferPutByte(stCore, kXferAck);
        fnXferEnd(stCore, kXferSuccess, false);
        return;
    }
    if (!fnXferParseFileHeader(pby, cb, st.m_stFile)) {
        fnXferEnd(stCore, kXferProtocolError, true);
        return;
    }
    if (fnXrOpen(stCore, st)) {
        st.m_byExpected = 1;
        fnXferPutByte(stCore, kXferAck);
        fnXrRequest(stCore, st);
    }
}

void fnXrGoodBlock(XferCore &stCore, XyRecv &st, std::uint8_t byNumber, const std::uint8_t *pby,
                   std::uint32_t cb)
{
    st.m_dwRetries = 0;
    st.m_bEotSeen = false;
    if (byNumber == static_cast<std::uint8_t>(st.m_byExpected - 1) && st.m_bInFile) {
        fnXrAnswer(stCore, st, kXferAck); // a duplicate: our ACK was lost
        return;
    }
    if (byNumber != st.m_byExpected) {
        fnXferEnd(stCore, kXferProtocolError, true);
        return;
    }
    if (st.m_bYmodem && !st.m_bInFile) {
        fnXrHeader(stCore, st, pby, cb);
        return;
    }
    if (!st.m_bInFile && !fnXrOpen(stCore, st)) {
        return;
    }
    if (fnXrWriteData(stCore, st, pby, cb)) {
        ++stCore.m_stProg.m_dwBlocks;
        st.m_byExpected = static_cast<std::uint8_t>(st.m_byExpected + 1);
        fnXrAnswer(stCore, st, kXferAck);
    }
}

void fnXrBlockDone(XferCore &stCore, XyRecv &st)
{
    const std::uint8_t *pby = st.m_abyBlock;
    const std::uint32_t cb = st.m_dwNeed - (st.m_bCrc ? 4 : 3);
    bool bGood = static_cast<std::uint8_t>(pby[0] ^ pby[1]) == 0xFF;
    if (st.m_bCrc) {
        bGood = bGood && fnCrc16(0, pby + 2, cb + 2) == 0;
    } else {
        bGood = bGood && fnXmodemChecksum(pby + 2, cb) == pby[2 + cb];
    }
    if (!bGood) {
        fnXrPurge(stCore, st);
        return;
    }
    fnXrGoodBlock(stCore, st, pby[0], pby + 2, cb);
}

// EOT, answered with NAK the first time: a noise byte must not end a file.
void fnXrEot(XferCore &stCore, XyRecv &st)
{
    if (!st.m_bEotSeen) {
        st.m_bEotSeen = true;
        fnXrAnswer(stCore, st, kXferNak);
        return;
    }
    st.m_bEotSeen = false;
    if (!st.m_bInFile && !fnXrOpen(stCore, st)) { // an empty XMODEM file
        return;
    }
    if (st.m_stFile.m_bSizeKnown && st.m_qwWritten < st.m_stFile.m_qwSize) {
        fnXferEnd(stCore, kXferProtocolError, true);
        return;
    }
    fnXferPutByte(stCore, kXferAck);
    if (stCore.m_bFileOpen) {
        stCore.m_bFileOpen = false;
        stCore.m_pSink->fnClose(true);
    }
    fnXferEndFile(stCore);
    if (!st.m_bYmodem) {
        fnXferEnd(stCore, kXferSuccess, false);
        return;
    }
    st.m_bInFile = false;
    st.m_byExpected = 0;
    st.m_dwRetries = 0;
    fnXrRequest(stCore, st);
}

void fnXrWaitByte(XferCore &stCore, XyRecv &st, std::uint8_t by)
{
    const bool bCan = by == kXferCan;
    if (bCan && st.m_bCanSeen) {
        fnXferEnd(stCore, kXferCancelledByFar, false);
        return;
    }
    st.m_bCanSeen = bCan;
    if (by == kXferSoh || by == kXferStx) {
        const std::uint32_t dwData = by == kXferStx ? 1024 : 128;
        st.m_dwNeed = 2 + dwData + (st.m_bCrc ? 2 : 1);
        st.m_dwHave = 0;
        st.m_bStageBegun = true;
        st.m_nState = kXrInBlock;
        fnXferWait(stCore, kXrByteMs);
    } else if (by == kXferEot && (st.m_bInFile || !st.m_bYmodem)) {
        st.m_nState = kXrEot;
        fnXferWait(stCore, kXrPurgeMs);
    } else if (!bCan && (st.m_bStageBegun || st.m_bEotSeen)) { // the rest of a block whose start was lost
        fnXrPurge(stCore, st);
    }
}

} // namespace

std::uint8_t fnXmodemChecksum(const std::uint8_t *pby, std::size_t cb)
{
    std::uint8_t bySum = 0;
    for (std::size_t i = 0; i < cb; ++i) {
        bySum = static_cast<std::uint8_t>(bySum + pby[i]);
    }
    return bySum;
}

void fnXySendStart(XferCore &stCore, XySend &st, bool bYmodem)
{
    std::memset(&st, 0, sizeof st);
    st.m_bYmodem = bYmodem;
    st.m_byBlock = 1;
    st.m_nState = kXsWaitStart;
    fnXferWait(stCore, fnXferFirstWaitMs(stCore));
    if (!bYmodem) {
        if (!stCore.m_pSource->fnNextFile(st.m_stFile)) {
            fnXferEnd(stCore, kXferReadFailed, false);
            return;
        }
        st.m_bHaveFile = true;
        fnXferBeginFile(stCore, st.m_stFile);
    }
}

void fnXySendFeed(XferCore &stCore, XySend &st, const std::uint8_t *pby, std::size_t cb)
{
    st.m_bReacted = false;
    for (std::size_t i = 0; i < cb && stCore.m_nResult == kXferRunning; ++i) {
        fnXsByte(stCore, st, pby[i]);
    }
}

void fnXySendTimeOut(XferCore &stCore, XySend &st)
{
    st.m_bReacted = false;
    switch (st.m_nState) {
    case kXsWaitStart:
        fnXferEnd(stCore, kXferTimedOut, false);
        break;
    case kXsSettle:
        fnXsFirst(stCore, st);
        break;
    case kXsWaitAck:
    case kXsWaitEotAck:
        if (fnXsAtEnd(st) && ++st.m_dwSilent >= kXsEndSilentTries) {
            fnXferEnd(stCore, kXferSuccess, false);
            break;
        }
        ++stCore.m_stProg.m_dwErrors;
        fnXsRetry(stCore, st);
        break;
    default: // waiting for a 'C' with nothing to send again
        ++stCore.m_stProg.m_dwErrors;
        if (++st.m_dwRetries > kXferRetries) {
            fnXferEnd(stCore, kXferTooManyRetries, true);
        } else {
            fnXferWait(stCore, kXferAnswerMs);
        }
        break;
    }
}

void fnXyRecvStart(XferCore &stCore, XyRecv &st, bool bYmodem)
{
    std::memset(&st, 0, sizeof st);
    st.m_bYmodem = bYmodem;
    st.m_bCrc = bYmodem || stCore.m_stSet.m_nXmodemVariant != kXmodemChecksum;
    st.m_byExpected = bYmodem ? 0 : 1;
    st.m_dwFirstDeadline = stCore.m_dwNow + fnXferFirstWaitMs(stCore);
    st.m_dwRequests = 1;
    fnXrRequest(stCore, st);
}

void fnXyRecvFeed(XferCore &stCore, XyRecv &st, const std::uint8_t *pby, std::size_t cb)
{
    for (std::size_t i = 0; i < cb && stCore.m_nResult == kXferRunning; ++i) {
        switch (st.m_nState) {
        case kXrWaitBlock:
            fnXrWaitByte(stCore, st, pby[i]);
            break;
        case kXrInBlock:
            st.m_abyBlock[st.m_dwHave++] = pby[i];
            if (st.m_dwHave == st.m_dwNeed) {
                fnXrBlockDone(stCore, st);
            }
            break;
        case kXrEot:
            fnXrPurge(stCore, st);
            break;
        case kXrPurge:
            if (pby[i] == kXferCan && st.m_bCanSeen) {
                fnXferEnd(stCore, kXferCancelledByFar, false);
            }
            st.m_bCanSeen = pby[i] == kXferCan;
            fnXferWait(stCore, kXrPurgeMs);
            break;
        }
    }
    if (st.m_nState == kXrInBlock) {
        fnXferWait(stCore, kXrByteMs);
    }
}

void fnXyRecvTimeOut(XferCore &stCore, XyRecv &st)
{
    if (st.m_nState == kXrEot) {
        fnXrEot(stCore, st);
        return;
    }
    if (st.m_nState == kXrInBlock && fnXrAbortSeen(st.m_abyBlock, st.m_dwHave)) {
        fnXferEnd(stCore, kXferCancelledByFar, false);
        return;
    }
    const bool bFirst = st.m_nState == kXrWaitBlock && stCore.m_stProg.m_dwFiles == 0 && !st.m_bStageBegun;
    if (!bFirst) {
        // A bad block was counted when it ended; a gap or silence is counted here.
        stCore.m_stProg.m_dwErrors += st.m_nState == kXrPurge ? 0 : 1;
        fnXrRetry(stCore, st);
        return;
    }
    // Before the first block: ask again until the first wait is over.
    if (fnXferTimeReached(stCore.m_dwNow, st.m_dwFirstDeadline)) {
        fnXferEnd(stCore, kXferTimedOut, false);
        return;
    }
    if (++st.m_dwRequests > kXrCrcTries && !st.m_bYmodem) {
        st.m_bCrc = false; // an old sender that knows only checksums
    }
    fnXrRequest(stCore, st);
}
