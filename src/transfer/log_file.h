// The running log: the receive and transmit workers and the windows hand
// over what happens at the port, and the log's own thread formats it and
// writes the files, so a slow disk never holds the port back. What waits
// for the disk is kept in a ring of 4 MiB, some 45 seconds of a 921,600 baud
// line. Should the disk fall further behind, nothing is dropped unsaid: the
// log writes what it holds, ends its file with a stop marker that says why,
// and stops, with the reason for the user.
#ifndef ZEVRIK_LOG_FILE_H
#define ZEVRIK_LOG_FILE_H

#include <windows.h>

#include "log_format.h"
#include "log_name.h"
#include "log_settings.h"

// The committed settings of the Log window, kept in the csi file.
extern LogSettings gstLogSet;

const int kLogReasonChars = 512;

// User-interface thread. Opens the first file, named for pszPort, and
// starts the log's thread; its first line is the start marker with
// pszDetail. FALSE with the reason when no file could be opened.
BOOL fnLogBegin(const char *pszPort, const char *pszDetail, char (&achReason)[kLogReasonChars]);

// User-interface thread. The log's thread writes what waits, the stop
// marker, and closes its file. When the log had stopped by itself, the
// reason comes back (otherwise "").
void fnLogEnd(char (&achReason)[kLogReasonChars]);

// The log's thread runs: it takes what it is handed, or after an overrun
// still writes what it holds.
BOOL fnLogRunning();
// The log's thread ended by itself: fnLogEnd gives the reason.
BOOL fnLogBroken();

// Any thread. A block read (time taken here, as the read completes) or
// written at the port, and the events of the port; each costs one test of
// a flag while no log runs.
void fnLogReceived(const BYTE *pby, DWORD dwCount);
void fnLogSent(const BYTE *pby, DWORD dwCount);
void fnLogEvent(LogMark nMark, const char *pszDetail);
// The port named by %P in the files begun from now on.
void fnLogSetPort(const char *pszPort);

struct LogProgress {
    char m_achPath[kLogPathChars]; // the file being written
    ULONGLONG m_qwFileBytes;
    DWORD m_dwFiles; // files begun since the start
};
void fnLogProgressOf(LogProgress &st);

#endif
