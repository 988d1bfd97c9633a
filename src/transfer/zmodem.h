// ZMODEM sender and receiver as state machines over xfer_core.h's core, the
// frame reader both use, and the detector of a far sz's start. The glue
// drives the engines through xfer_session.h.
//
// Frames follow Forsberg's ZMODEM (1988) as lrzsz speaks it: hex headers
// from the receiver; binary headers (CRC-16, or CRC-32 when the receiver
// offers CANFC32 and the setting allows) from the sender; data in subpackets
// of up to 1024 bytes ended by ZCRCE, ZCRCG, ZCRCQ or ZCRCW. When the
// receiver's ZRINIT names a buffer size or lacks CANOVIO, the sender waits
// for a ZACK after each window; otherwise it streams, asking for a ZACK
// every few KB and going no further than a window past what was confirmed,
// so that a loss leaves little in flight. It starts again from the position
// a ZRPOS names; the asks of one loss count as one retry, and more losses at
// one place shorten the subpackets. Five CANs in a row abort, as in the
// standard: ZDLE is CAN, so two alone may be line noise next to a ZDLE.
#ifndef ZEVRIK_ZMODEM_H
#define ZEVRIK_ZMODEM_H

#include "xfer_core.h"

const std::uint32_t kZSubMax = 1024;

enum ZFrameType {
    kZRqinit,
    kZRinit,
    kZSinit,
    kZAck,
    kZFile,
    kZSkip,
    kZNak,
    kZAbort,
    kZFin,
    kZRpos,
    kZData,
    kZEof,
    kZFerr,
    kZCrc,
    kZChallenge,
    kZCompl,
    kZCan,
    kZFreecnt,
    kZCommand,
    kZStderr
};

// ZRINIT's capability flags (its fourth data byte, ZF0).
const std::uint8_t kZCanFdx = 0x01, kZCanOvio = 0x02, kZCanFc32 = 0x20, kZEscCtl = 0x40;
// ZSINIT's: the sender wants control characters escaped.
const std::uint8_t kZTEscCtl = 0x40;
const std::uint8_t kZdle = 0x18;
const std::uint8_t kZCrcE = 'h', kZCrcG = 'i', kZCrcQ = 'j', kZCrcW = 'k';

enum ZEvent { kZeNone, kZeHeader, kZeBadHeader, kZeSub, kZeBadSub, kZeCancel };

enum ZReadState { kZdHunt, kZdPad, kZdPadZdle, kZdHexHeader, kZdBinHeader, kZdSub, kZdSubCheck };

// Bytes in, frames out: one event per byte at most.
struct ZReader {
    ZReadState m_nState;
    bool m_bCrc32;  // of the last binary header, which its subpackets share
    bool m_bEscape; // a ZDLE came
    std::uint8_t m_byCans;
    std::uint8_t m_abyHeader[9]; // type, four data bytes, check
    std::uint32_t m_dwHave;      // header bytes or hex digits, check bytes
    std::uint8_t m_abyData[kZSubMax];
    std::uint32_t m_dwData;
    bool m_bSubDone;      // m_abyData was handed out with an event
    std::uint8_t m_byEnd; // ZCRCE .. ZCRCW of the subpacket
};

void fnZReaderReset(ZReader &st);
ZEvent fnZRead(ZReader &st, std::uint8_t by);
// The header's four data bytes as a position (ZP0 lowest).
std::uint32_t fnZHeaderValue(const ZReader &st);

// How the output is escaped: all control characters or the standard set,
// and the last byte sent (a CR after '@' is escaped).
struct ZEscape {
    bool m_bAll;
    std::uint8_t m_byLast;
};

enum ZSendState {
    kZsWaitInit,
    kZsWaitSinitAck,
    kZsWaitFileReply,
    kZsData,
    kZsWaitAck,
    kZsWaitEofReply,
    kZsWaitFin
};

struct ZSend {
    ZSendState m_nState;
    ZReader m_stIn;
    ZEscape m_stEsc;
    bool m_bCrc32;
    bool m_bHaveFile;
    bool m_bFrameOpen;          // a ZDATA header is out and its frame not ended
    std::uint32_t m_dwWindow;   // bytes between ZCRCW waits, 0 streaming
    std::uint32_t m_dwSinceAck; // bytes sent past the last position the receiver confirmed
    std::uint32_t m_dwSinceAsk; // streaming: bytes since the last ZCRCQ
    std::uint32_t m_dwPos;      // next file byte to send
    std::uint32_t m_dwEnd;      // the file's size
    std::uint32_t m_dwLastRpos;
    std::uint32_t m_dwRposAt; // when m_dwLastRpos was first asked for or last retried
    std::uint32_t m_dwSubLen; // of data subpackets: halved by losses at one place
    std::uint32_t m_dwRetries;
    std::uint32_t m_dwFirstDeadline;
    XferFileInfo m_stFile;
    std::uint8_t m_abyRead[kZSubMax];
};

enum ZRecvState { kZrWaitFile, kZrFileInfo, kZrSinitInfo, kZrWaitData, kZrData, kZrWaitOO };

struct ZRecv {
    ZRecvState m_nState;
    ZReader m_stIn;
    bool m_bBegun;          // the sender has spoken
    std::uint8_t m_byOs;    // of the closing "OO"
    std::uint8_t m_byReply; // the last header sent, sent again on a time-out
    std::uint32_t m_dwReplyValue;
    std::uint32_t m_dwPos; // bytes of the file written
    std::uint32_t m_dwRetries;
    std::uint32_t m_dwFirstDeadline;
    bool m_bQuietAsk;          // our last ZRPOS may still be asked again early
    std::uint32_t m_dwAskedAt; // when it was sent
    XferFileInfo m_stFile;
};

void fnZSendStart(XferCore &stCore, ZSend &st);
void fnZSendFeed(XferCore &stCore, ZSend &st, const std::uint8_t *pby, std::size_t cb);
void fnZSendTimeOut(XferCore &stCore, ZSend &st);
// Streams data while the output has room for a subpacket.
void fnZSendPump(XferCore &stCore, ZSend &st);

void fnZRecvStart(XferCore &stCore, ZRecv &st);
void fnZRecvFeed(XferCore &stCore, ZRecv &st, const std::uint8_t *pby, std::size_t cb);
void fnZRecvTimeOut(XferCore &stCore, ZRecv &st);

// Header builders, exposed for tests: a hex header ("**\x18B" ...) and a
// binary one, into pby (at least 32 bytes); they return the length.
std::size_t fnZHexHeader(std::uint8_t *pby, std::uint8_t byType, std::uint32_t dwValue);

// Auto-start: fed the bytes the terminal receives, it tells when the far end
// has sent the start of a ZRQINIT ("*" ZDLE "B00"). *pcbUsed is then the
// count of bytes up to and including the match; the rest belongs to the
// receive that the glue starts.
struct ZAutoStart {
    std::uint8_t m_byMatched;
};

bool fnZAutoStartFeed(ZAutoStart &st, const std::uint8_t *pby, std::size_t cb, std::size_t *pcbUsed);

#endif
