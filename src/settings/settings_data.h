// Settings records: the user's choices with their defaults, list texts and the
// tables that turn list positions into driver values. Free of <windows.h> so it
// can be unit-tested natively; the Win32 records in settings.h build on it.
#ifndef ZEVRIK_SETTINGS_DATA_H
#define ZEVRIK_SETTINGS_DATA_H

#include <cstddef>
#include <cstdint>

typedef std::uint32_t ZDWORD;
typedef std::uint8_t ZBYTE;

const int kPortCount = 256;
const int kBaudCount = 27;
const int kBaudUserIndex = 26;
const int kDataBitsCount = 4;
const int kParityCount = 5;
const int kStopBitsCount = 3;
const int kPatternBytes = 512;
// Send Break: how long the line is held, in ms.
const ZDWORD kBreakMsMin = 10;
const ZDWORD kBreakMsMax = 5000;
const ZDWORD kBreakMsDefault = 250;

// Selection block of gstComSet.
struct ComSetSel {
    ZDWORD m_nPort;
    ZDWORD m_nBaud;
    ZDWORD m_nDataBits;
    ZDWORD m_nParity;
    ZDWORD m_nStopBits;
    ZDWORD m_dwUserBaud;
    ZDWORD m_bReopen;    // saved in the block after the fields
    ZDWORD m_bPortCheck; // likewise
};

// Flow block of gstFlowCtrl.
struct FlowBlock {
    ZDWORD m_bOutxCtsFlow;
    ZDWORD m_bOutxDsrFlow;
    ZDWORD m_bDsrSensitivity;
    ZDWORD m_bOutX;
    ZDWORD m_bInX;
    ZDWORD m_bTXContinueOnXoff;
    ZDWORD m_nDtrControl;
    ZDWORD m_nRtsControl;
    ZDWORD m_dwXonLim;
    ZDWORD m_dwXoffLim;
    ZBYTE m_chXonChar;
    ZBYTE m_chXoffChar;
};

// Time-out block of gstTimeouts, in COMMTIMEOUTS member order.
struct TimeoutsBlock {
    ZDWORD ReadIntervalTimeout;
    ZDWORD ReadTotalTimeoutMultiplier;
    ZDWORD ReadTotalTimeoutConstant;
    ZDWORD WriteTotalTimeoutMultiplier;
    ZDWORD WriteTotalTimeoutConstant;
};

// Option block of gstTermOpt.
struct TermOptBlock {
    ZDWORD m_bKeyboard;
    ZDWORD m_bLocalEcho;
    ZDWORD m_nEnterKey;
    ZDWORD m_nDisplay;
    ZDWORD m_nCrTrans;
    ZDWORD m_nLfTrans;
    // Saved in the block after the fields (csi_tail.h gives their values).
    ZDWORD m_nHistory;
    ZDWORD m_bConsole;
    ZDWORD m_bTimestamps;
    ZDWORD m_nBackspace;
    ZDWORD m_nConsoleEnter;
    ZDWORD m_bFollowSize;
};

// Pattern block of gstDataTrans.
struct PatternBlock {
    ZDWORD m_nPattern;
    ZDWORD m_nCountMode;
    char m_achAscii[kPatternBytes];
    ZDWORD m_dwAsciiLen;
    ZBYTE m_abyHex[kPatternBytes];
    ZDWORD m_dwHexLen;
    ZBYTE m_byRangeStart;
    ZBYTE m_byRangeEnd;
    ZDWORD m_dwRepeatCount;
    ZDWORD m_dwInterval;
    ZDWORD m_nPrbs; // saved in the block after the fields
};

// The platform-free parts of the five settings records. The Win32 records put
// their dialog handles in front of these (settings.h).
struct ComSetData {
    char m_aachPort[kPortCount][32];
    char m_aachBaud[kBaudCount][16];
    char m_aachDataBits[kDataBitsCount][4];
    char m_aachParity[kParityCount][8];
    char m_aachStopBits[kStopBitsCount][4];
    ComSetSel m_stCur;
    ComSetSel m_stEdit;
    ComSetData();
};

struct FlowCtrlData {
    char m_aachDtrControl[3][32];
    char m_aachRtsControl[4][32];
    ZDWORD m_bXonCharErr;
    ZDWORD m_bXoffCharErr;
    FlowBlock m_stCur;
    FlowBlock m_stEdit;
    FlowCtrlData();
};

struct TimeoutsData {
    TimeoutsBlock m_stCur;
    TimeoutsBlock m_stEdit;
    TimeoutsData();
};

struct TermOptData {
    char m_aachEnterKey[3][32];
    char m_aachCrTrans[3][32];
    char m_aachLfTrans[3][32];
    TermOptBlock m_stCur;
    TermOptBlock m_stEdit;
    TermOptData();
};

// The protocol of File Transfer and its options; all saved in the block after
// the fields.
struct XferChoice {
    ZDWORD m_nProtocol;      // 0 none (raw bytes), 1 XMODEM, 2 YMODEM, 3 ZMODEM
    ZDWORD m_nXmodemVariant; // 0 128-byte blocks with checksum, 1 with CRC, 2 1K blocks
    ZDWORD m_bEscapeAll;     // ZMODEM escapes every control character
    ZDWORD m_bCrc32;         // ZMODEM 32-bit frames when the receiver can
    ZDWORD m_dwFirstWait;    // seconds for the far end's first request or block
    ZDWORD m_bAutoStart;     // a far sz starts a ZMODEM receive by itself
};

const ZDWORD kXferFirstWaitMax = 3600;

struct DataTransData {
    ZDWORD m_bAsciiEmpty;
    ZDWORD m_nHexCheck;
    ZDWORD m_bRangeStartErr;
    ZDWORD m_bRangeEndErr;
    ZDWORD m_bRepeatZero;
    ZDWORD m_bInputErr;
    PatternBlock m_stCur;
    PatternBlock m_stEdit;
    ZDWORD m_nRxStream; // saved in the block after the fields
    ZDWORD m_dwBreakMs; // Send Break's time, kept while the program runs
    XferChoice m_stXfer;
    DataTransData();
};

// Defaults of each block, for the dialogs' "Default" buttons and for tests.
ComSetSel fnDefaultComSet();
FlowBlock fnDefaultFlow();
TimeoutsBlock fnDefaultTimeouts();
TermOptBlock fnDefaultTermOpt();
PatternBlock fnDefaultPattern();
XferChoice fnDefaultXferChoice();
// What OK of the Data Transfer dialog commits of the boxes that the chosen
// pattern and count mode leave unchecked: a value the settings file would
// refuse to load (an empty text, no HEX byte, a range end below its start, a
// repeat count of 0) keeps the one stNew had before, in stOld.
void fnKeepUnusedBoxes(PatternBlock &stNew, const PatternBlock &stOld);

// Value tables: list position -> driver value; out of range gives the last row.
ZDWORD fnBaudRateOf(ZDWORD nBaud, ZDWORD dwUserBaud);
ZBYTE fnByteSizeOf(ZDWORD nDataBits);
ZBYTE fnParityOf(ZDWORD nParity);
ZBYTE fnStopBitsOf(ZDWORD nStopBits);
ZDWORD fnDtrControlOf(ZDWORD nDtrControl);
ZDWORD fnRtsControlOf(ZDWORD nRtsControl);

// A digits box read as an unsigned 32-bit number: leading blanks skipped,
// digits taken up to the first other character; no digit, or a number
// beyond 32 bits, gives 0. Wine's GetDlgItemInt also gives 0 for 4294967295
// once an earlier conversion in the thread overflowed, so the dialogs read
// their numbers through this.
ZDWORD fnDialogUint(const char *pszText);
// What fnDialogUint gives for a number beyond 32 bits.
const ZDWORD kDialogUintOverflow = 0;

// "\\.\COM<n>" and "COM<n>" for a port index (port number = index + 1).
void fnFormatPortPath(char *pchOut, std::size_t cchOut, ZDWORD nPort);
void fnFormatPortShort(char *pchOut, std::size_t cchOut, ZDWORD nPort);

// The status bar's settings summary "%s, %d, %s, %s, %s"; an index outside a
// list shows as an empty text.
void fnFormatSummary(char *pchOut, std::size_t cchOut, const char *pszShortName, long lBaudRate,
                     const ComSetData &stComSet);

#endif
