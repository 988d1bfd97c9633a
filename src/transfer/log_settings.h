// The log's settings record: what is logged, how it is stamped, where it goes
// and when a new file begins. Every number is a 32-bit value with its range
// and default here, for the settings file's rows.
#ifndef ZEVRIK_LOG_SETTINGS_H
#define ZEVRIK_LOG_SETTINGS_H

#include "settings_data.h"

enum LogFormat : ZDWORD {
    kLogText, // one line per received line, stamped
    kLogHex,  // each read as rows of offset, hex pairs and text
    kLogRaw   // exactly the received bytes
};

enum LogStampStyle : ZDWORD {
    kLogStampDateTime, // 2024-05-01 13:45:07.250
    kLogStampTime,     // 13:45:07.250
    kLogStampSeconds   // 12.345 since the log began
};

enum LogDirections : ZDWORD { kLogReceivedOnly, kLogBothDirections };

enum LogRotation : ZDWORD { kLogRotateOff, kLogRotateSize, kLogRotateMidnight };

// The name pattern with its terminator (log_name.h tells its fields).
const int kLogPatternChars = 128;
const char kLogPatternDefault[] = "%P-%Y%m%d-%H%M%S.log";

const ZDWORD kLogPauseMsMin = 50;
const ZDWORD kLogPauseMsMax = 60000;
const ZDWORD kLogPauseMsDefault = 1000;
// A smaller limit would not hold the longest log line.
const ZDWORD kLogRotateBytesMin = 16384;
const ZDWORD kLogRotateBytesMax = 0xFFFFFFFFu;
const ZDWORD kLogRotateBytesDefault = 10u << 20;

struct LogSettings {
    ZDWORD m_nFormat;   // LogFormat
    ZDWORD m_nStamp;    // LogStampStyle
    ZDWORD m_nDirs;     // LogDirections
    ZDWORD m_dwPauseMs; // an open text line is written after this pause
    ZDWORD m_bAppend;   // 1 append to an existing file, 0 a new file
    ZDWORD m_nRotate;   // LogRotation
    ZDWORD m_dwRotateBytes;
    ZDWORD m_bOnOpening; // 1 start the log with every opening of the port
    char m_achPattern[kLogPatternChars];
};

// Text, date and time stamps, received only, 1 s pause, new files named by
// kLogPatternDefault, no rotation, started by hand.
LogSettings fnLogDefaults();

#endif
