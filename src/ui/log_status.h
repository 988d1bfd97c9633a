// The log as the main window shows it: started and stopped by the Log window
// or by an opening of the port, its field in the status bar while it runs,
// and the one message when it cannot start with an opening or stops by
// itself (a file it cannot write, a disk that falls behind).
#ifndef ZEVRIK_LOG_STATUS_H
#define ZEVRIK_LOG_STATUS_H

#include <windows.h>

// Starts the log with the committed settings; a failure is told in a
// message box over hOwner, and FALSE.
BOOL fnLogStartNow(HWND hOwner);
void fnLogStopNow();

// An opening of the port (a reopening after a loss) before its workers
// start: the log starts if the settings ask for it and is not running, then
// marks the opening.
void fnLogOnOpened(BOOL bReopened);

// The port's settings as the markers tell them: the status bar's summary,
// or that the port is closed.
void fnLogSummary(char *pchOut, int cchOut);

// Markers of the user's changes: new line or flow settings, a break sent.
void fnLogSettingsChanged();
void fnLogBreakSent(DWORD dwMs);

#endif
