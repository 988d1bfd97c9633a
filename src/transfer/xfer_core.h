// What the file-transfer engines (XMODEM and YMODEM in xymodem.h, ZMODEM in
// zmodem.h, one entry for all in xfer_session.h) share: the settings record,
// the files' side that the Win32 glue implements, progress and result, and
// the core every engine keeps (its bounded output, clock and deadline).
//
// Pure code: no allocation, no clock, no threads. Time is an input: every
// call takes the glue's millisecond tick (GetTickCount; it may wrap), and the
// engine names the tick of its next time-out.
#ifndef ZEVRIK_XFER_CORE_H
#define ZEVRIK_XFER_CORE_H

#include <cstddef>
#include <cstdint>

enum XferProtocol { kXferXmodem, kXferYmodem, kXferZmodem };
// The XMODEM sender's block size; the receiver asks for CRC unless
// kXmodemChecksum and takes both block sizes.
enum XmodemVariant { kXmodemChecksum, kXmodemCrc, kXmodem1k };

struct XferSettings {
    XferProtocol m_nProtocol;
    XmodemVariant m_nXmodemVariant;
    bool m_bZmodemEscapeAll;            // every control character escaped, both ways
    bool m_bZmodemCrc32;                // 32-bit frames when the receiver can
    std::uint32_t m_dwFirstWaitSeconds; // for the far end's first request or block
    bool m_bAutoStart;                  // the glue starts a ZMODEM receive on the far sz's ZRQINIT
};

XferSettings fnXferDefaultSettings();

enum XferResult {
    kXferRunning,
    kXferSuccess,
    kXferTimedOut,       // no first request or block within the first wait
    kXferTooManyRetries, // 10 in a row for one block or position
    kXferCancelledByFar,
    kXferCancelledByUser,
    kXferWriteFailed, // the sink refused a file or its data (disk full)
    kXferReadFailed,
    kXferProtocolError, // a peer out of step: wrong block, unexpected frame
};

// One line for the end message; bSend tells who was waited for.
const char *fnXferResultText(XferResult nResult, bool bSend);

const std::uint32_t kXferNameMax = 256;

struct XferFileInfo {
    char m_achName[kXferNameMax]; // as sent: the plain name, no folders
    std::uint64_t m_qwSize;
    bool m_bSizeKnown;           // false for XMODEM and a header without size
    std::uint32_t m_dwMtime;     // seconds since 1970 UTC, 0 unknown
    std::uint32_t m_dwMode;      // Unix mode bits, 0 unknown
    std::uint32_t m_dwFilesLeft; // this one and the later ones, 0 unknown
    std::uint64_t m_qwBytesLeft; // likewise
};

// The sender's files, implemented by the glue.
struct XferSource {
    virtual ~XferSource() {}
    // The next file of the batch; false when there is none (XMODEM sends the
    // first one only).
    virtual bool fnNextFile(XferFileInfo &stInfo) = 0;
    // cb bytes of the current file from qwAt; the count read, short only at
    // its end, or -1 when reading failed.
    virtual std::int32_t fnRead(std::uint64_t qwAt, std::uint8_t *pby, std::uint32_t cb) = 0;
};

enum XferOpen { kXferOpenOk, kXferOpenSkip, kXferOpenFailed };

// The receiver's files, implemented by the glue. The name comes from the far
// end: fnXferSafeName makes a plain file name of it. XMODEM gives no name.
struct XferSink {
    virtual ~XferSink() {}
    virtual XferOpen fnOpen(const XferFileInfo &stInfo) = 0;
    // Appends; false when the file cannot take them (disk full).
    virtual bool fnWrite(const std::uint8_t *pby, std::uint32_t cb) = 0;
    // The end of the open file: bComplete false when the transfer ended
    // before it, so that the glue keeps it as incomplete.
    virtual void fnClose(bool bComplete) = 0;
};

struct XferProgress {
    char m_achName[kXferNameMax];
    std::uint64_t m_qwFileSize; // meaningful with m_bSizeKnown
    bool m_bSizeKnown;
    std::uint64_t m_qwFileDone;  // acknowledged (send) or written (receive)
    std::uint64_t m_qwBatchSize; // 0 unknown
    std::uint64_t m_qwBatchDone;
    std::uint32_t m_dwFiles; // files begun
    std::uint32_t m_dwFilesSkipped;
    std::uint32_t m_dwBlocks;  // blocks or data subpackets
    std::uint32_t m_dwRetries; // blocks, headers or positions sent again
    std::uint32_t m_dwErrors;  // bad blocks, bad frames and time-outs
};

// Room for two 1K XMODEM blocks or several escaped ZMODEM subpackets.
const std::uint32_t kXferOutMax = 8192;
// Retries per block or position before giving up.
const std::uint32_t kXferRetries = 10;
// Wait for an answer once the transfer runs.
const std::uint32_t kXferAnswerMs = 10000;

struct XferCore {
    XferSettings m_stSet;
    XferSource *m_pSource;
    XferSink *m_pSink;
    bool m_bFileOpen; // the sink holds a file the engine has not closed
    XferResult m_nResult;
    std::uint32_t m_dwNow;
    std::uint32_t m_dwDeadline;
    XferProgress m_stProg;
    std::uint64_t m_qwDoneBefore; // bytes of the batch's earlier files
    std::uint8_t m_abyOut[kXferOutMax];
    std::uint32_t m_dwOutHead; // first byte not taken by the glue
    std::uint32_t m_dwOutEnd;
};

// For the engines.
void fnXferCoreInit(XferCore &st, const XferSettings &stSet, XferSource *pSource, XferSink *pSink,
                    std::uint32_t dwNow);
bool fnXferTimeReached(std::uint32_t dwNow, std::uint32_t dwDeadline);
void fnXferWait(XferCore &st, std::uint32_t dwMs);
std::uint32_t fnXferFirstWaitMs(const XferCore &st);
std::uint32_t fnXferRoom(XferCore &st);
// Bytes beyond the room are dropped: engines ask for room first.
void fnXferPut(XferCore &st, const std::uint8_t *pby, std::size_t cb);
void fnXferPutByte(XferCore &st, std::uint8_t by);
// Drops the output the glue has not taken (stale once the peer repositions).
void fnXferPurge(XferCore &st);
// Ends the transfer: closes an open sink file, complete only on success, and
// with bAbort puts the cancel sequence (8 CAN, 8 BS) out for the far end.
void fnXferEnd(XferCore &st, XferResult nResult, bool bAbort);
void fnXferBeginFile(XferCore &st, const XferFileInfo &stInfo);
void fnXferSetFileDone(XferCore &st, std::uint64_t qwDone);
void fnXferEndFile(XferCore &st);

// YMODEM block 0 and ZMODEM's ZFILE data: "name\0size mtime mode 0 filesleft
// bytesleft\0", size and counts in decimal, time and mode in octal. Returns
// the length written (at most cbMax), 0 when the name does not fit.
std::size_t fnXferFormatFileHeader(const XferFileInfo &st, std::uint8_t *pby, std::size_t cbMax);
// False when there is no name (YMODEM's end of batch) or no end to it.
bool fnXferParseFileHeader(const std::uint8_t *pby, std::size_t cb, XferFileInfo &st);

// A plain Windows file name from a name the far end sent: its last path
// part, characters that Windows refuses as '_', never "", "." or "..", and a
// device's name (CON, COM1, ...) led by '_'.
void fnXferSafeName(const char *pszFar, char *pchOut, std::size_t cchOut);

const std::uint8_t kXferSoh = 0x01, kXferStx = 0x02, kXferEot = 0x04, kXferAck = 0x06, kXferBs = 0x08,
                   kXferNak = 0x15, kXferCan = 0x18, kXferSub = 0x1A;

#endif
