// XMODEM (checksum, CRC, 1K) and YMODEM batch, sender and receiver, as state
// machines over xfer_core.h's core. The glue drives them through
// xfer_session.h; the functions here assume its calling order (m_dwNow set,
// input first, then the time-out check).
//
// Sender: waits for the receiver's 'C' (CRC) or NAK (checksum), lets a burst
// of queued requests settle, then sends a block per ACK. Every byte fed in
// one call was on its way before the engine's answer to any of them, so it
// reacts once per call: stale 'C's and NAKs never send a block out of turn.
// Receiver: asks with 'C' (falls back to NAK after three for XMODEM), ACKs
// duplicates and drops them, NAKs a bad block once the line has gone quiet,
// and wants EOT twice (NAK to the first), each followed by quiet, so that a
// 0x04 in the rest of a block whose start was lost cannot end a file. An
// XMODEM file carries no size: the SUBs that end its last block are taken for
// padding and dropped (a file that really ends in 0x1A loses them; YMODEM
// and ZMODEM send the size, and YMODEM's receiver cuts the file to it).
#ifndef ZEVRIK_XYMODEM_H
#define ZEVRIK_XYMODEM_H

#include "xfer_core.h"

const std::uint32_t kXyFrameMax = 3 + 1024 + 2;

enum XySendState { kXsWaitStart, kXsSettle, kXsWaitAck, kXsWaitEotAck, kXsWaitDataStart, kXsWaitNextHeader };

struct XySend {
    XySendState m_nState;
    bool m_bYmodem;
    bool m_bCrc;      // the receiver asked with 'C'
    bool m_bHaveFile; // YMODEM: false once the closing block 0 is out
    bool m_bReacted;  // answered a byte of the current feed
    bool m_bCanSeen;
    std::uint8_t m_byBlock;    // number of the next data block
    std::uint32_t m_dwRetries; // in a row for what is in flight
    std::uint32_t m_dwSentAt;
    std::uint32_t m_dwSilent; // time-outs without any answer to the end
    XferFileInfo m_stFile;
    std::uint64_t m_qwAt;      // file offset of the block in flight
    std::uint32_t m_dwDataLen; // file bytes in it (0 for block 0)
    std::uint8_t m_abyFrame[kXyFrameMax];
    std::uint32_t m_dwFrameLen;
};

// kXrEot: an EOT came and the line must stay quiet for it to count.
enum XyRecvState { kXrWaitBlock, kXrInBlock, kXrPurge, kXrEot };

struct XyRecv {
    XyRecvState m_nState;
    bool m_bYmodem;
    bool m_bCrc;
    bool m_bStageBegun; // a block arrived since the last request ('C' or NAK)
    bool m_bInFile;     // YMODEM: past block 0 of a file
    bool m_bDiscard;    // YMODEM: the sink skipped the file; data thrown away
    bool m_bCanSeen;
    bool m_bEotSeen; // the first EOT was answered with NAK
    std::uint8_t m_byExpected;
    std::uint32_t m_dwRequests; // 'C's sent before the first block
    std::uint32_t m_dwRetries;
    std::uint32_t m_dwFirstDeadline;
    std::uint8_t m_abyBlock[kXyFrameMax]; // from the block number on
    std::uint32_t m_dwHave;
    std::uint32_t m_dwNeed;
    XferFileInfo m_stFile;
    std::uint64_t m_qwWritten;
    std::uint64_t m_qwHeldSubs; // XMODEM: trailing SUBs not yet written, maybe padding
};

void fnXySendStart(XferCore &stCore, XySend &st, bool bYmodem);
void fnXySendFeed(XferCore &stCore, XySend &st, const std::uint8_t *pby, std::size_t cb);
void fnXySendTimeOut(XferCore &stCore, XySend &st);

void fnXyRecvStart(XferCore &stCore, XyRecv &st, bool bYmodem);
void fnXyRecvFeed(XferCore &stCore, XyRecv &st, const std::uint8_t *pby, std::size_t cb);
void fnXyRecvTimeOut(XferCore &stCore, XyRecv &st);

// The 8-bit sum of XMODEM's checksum blocks.
std::uint8_t fnXmodemChecksum(const std::uint8_t *pby, std::size_t cb);

#endif
