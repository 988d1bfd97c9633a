// Log file names from the name pattern. Fields, for the file's start in
// local time:
//   %Y year (4 digits)   %m month   %d day   %H hour   %M minute   %S second
//   %P the port's name (COM3)   %N the file's counter (3 digits or more)
//   %% a percent sign
// Anything else stays as it is, a % before another character among it. The
// pattern may name a folder and a drive: C:\logs\%P-%Y%m%d.log. With no %N a
// file started in the same second as the one before gets the same name.
//
// A name fails when it is longer than 259 characters, or holds what Windows
// forbids: a control character or < > " | ? * anywhere, a : other than a
// drive's (after a letter at the start), a \ / or : in the port's name; when
// nothing follows the last folder separator; or when the file is a device
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension): opening COM3.log
// would open the port itself.
#ifndef ZEVRIK_LOG_NAME_H
#define ZEVRIK_LOG_NAME_H

#include <cstdint>

// MAX_PATH: the name and its terminator.
const std::uint32_t kLogPathChars = 260;

enum LogNameResult { kLogNameOk, kLogNameTooLong, kLogNameBadChar, kLogNameNoFile, kLogNameDevice };

// Reads at most cchPattern characters of the pattern, up to a terminator;
// writes at most cchOut characters, the terminator included, and "" on a
// failure (nothing when cchOut is 0).
LogNameResult fnLogExpandName(const char *pchPattern, std::uint32_t cchPattern, const char *pszPort,
                              std::uint64_t qwStartMs, std::uint32_t nCounter, char *pchOut,
                              std::uint32_t cchOut);

// The name with "-n" before its extension (the last '.' of the file's own
// name), or at its end: the next try for a name that is taken. False, and
// "" (nothing when cchOut is 0), when that does not fit cchOut.
bool fnLogNumberedName(const char *pszName, std::uint32_t nNumber, char *pchOut, std::uint32_t cchOut);

#endif
