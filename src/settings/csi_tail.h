// Settings added after the 41 fields: one tagged, versioned block in the csi
// image's unused tail, so files of earlier versions load unchanged and their
// first 1144 bytes keep their meaning.
//
// At kCsiFieldsEnd: "ZXTB", version (1), entry bytes n, CRC-32 of the entries,
// then n bytes of entries, each a 4-character tag, a length and that many value
// bytes (little-endian like the fields). Unknown tags are skipped, so a later
// version's file loads here with its known settings. A number's value is 4
// bytes; the one text, the log's name pattern ("LNAM"), is its characters
// without a terminator, and is written after the numbers.
#ifndef ZEVRIK_CSI_TAIL_H
#define ZEVRIK_CSI_TAIL_H

#include "log_settings.h"
#include "settings_data.h"

// The settings the block carries; each is a 32-bit value.
enum CsiTailField {
    kTailHistory,      // terminal keeps: 0 the classic 2 KB, 1 a long history
    kTailConsole,      // console mode (control sequences): 0 off, 1 on
    kTailTimestamps,   // time stamp on received lines: 0 off, 1 on
    kTailBackspace,    // console Backspace sends: 0 DEL (127), 1 BS (8)
    kTailConsoleEnter, // console Enter sends: 0 CR, 1 LF, 2 CR LF
    kTailReopen,       // reopen when the device returns: 0 off, 1 on
    kTailPrbs,         // data pattern: 0 as the 41 fields say, 1 PRBS-7, 2 PRBS-15, 3 PRBS-23
    kTailRxStream,     // receive check expects: 0 the data pattern, 1 PRBS-7, 2 PRBS-15, 3 PRBS-23
    kTailPortCheck,    // mark present ports and show a rate the driver changed: 0 off, 1 on
    kTailLogFormat,    // the log's rows: LogSettings, in its order
    kTailLogStamp,
    kTailLogDirs,
    kTailLogPause,
    kTailLogAppend,
    kTailLogRotate,
    kTailLogRotateBytes,
    kTailLogOnOpening,
    kTailPlotFormats, // the forms the plot reads: kPlotFormat... bits, 1 to 7
    kTailPlotAxis,    // the plot's X axis: 0 seconds, 1 line numbers
    kTailPlotYFixed,  // the plot's Y axis: 0 automatic, 1 fixed limits
    kTailPlotSeconds, // the plot's span in seconds, 1 to 3600
    kTailPlotLines,   // the plot's span in lines, 10 to 1048576
    // The fixed Y limits are doubles, kept exactly as their IEEE 754 bits,
    // low 32 bits then high 32 bits. Limits that are not finite or not in
    // order load as the defaults (0 to 100).
    kTailPlotYMinLow,
    kTailPlotYMinHigh,
    kTailPlotYMaxLow,
    kTailPlotYMaxHigh,
    kTailConsoleSize, // console size: 0 80 x 24, 1 the view's size in characters
    kTailXferProtocol, // File Transfer's protocol: 0 none (raw), 1 XMODEM, 2 YMODEM, 3 ZMODEM
    kTailXmodemBlock,  // XMODEM sends: 0 128 bytes with checksum, 1 128 with CRC, 2 1K
    kTailZEscapeAll,   // ZMODEM escapes every control character: 0 off, 1 on
    kTailZCrc32,       // ZMODEM 32-bit frames: 0 off, 1 on
    kTailXferWait,     // seconds for the far end's first request or block, 1 to 3600
    kTailZAutoStart,   // a far sz starts a ZMODEM receive: 0 off, 1 on
    kCsiTailCount
};

// The number fnBufToFileData reports for a damaged block.
const int kCsiTailFieldNumber = 42;

struct CsiTailDef {
    char m_achTag[5];
    ZDWORD m_dwMin;
    ZDWORD m_dwMax;
    ZDWORD m_dwDefault;
};

extern const CsiTailDef kastCsiTail[kCsiTailCount];

// Made with every setting at its default.
struct CsiTailData {
    ZDWORD m_adwValue[kCsiTailCount];
    char m_achLogPattern[kLogPatternChars]; // with its terminator, zeros after it
    CsiTailData();
};

CsiTailData fnDefaultTail();

// Reads the block from pbyImage's bytes [kCsiFieldsEnd, dwValid) and reads
// nothing outside them. No block gives the defaults and true; a damaged one
// (a version below 1, a size beyond dwValid, a wrong checksum, an entry that
// runs past the block, a known number whose length is not 4) leaves stOut
// alone and gives false. In a sound block a known value out of its range (a
// later version's) is ignored: that setting keeps its default; so is a
// pattern that is empty, too long or holds a NUL.
bool fnReadTail(const ZBYTE *pbyImage, ZDWORD dwValid, CsiTailData &stOut);

// Writes the block after the fields when a value differs from its default or
// the image already holds a block (so a setting put back to its default is
// saved as such); otherwise the tail stays as it was. The rest of the tail
// after a written block is cleared.
void fnWriteTail(ZBYTE *pbyImage, const CsiTailData &stTail);

#endif
