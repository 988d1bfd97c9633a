// The two transfer commands of the main window. Both return 0 when a job ran
// and ended, and a non-zero code when nothing was started.
#ifndef ZEVRIK_TRANSFER_H
#define ZEVRIK_TRANSFER_H

#include <windows.h>

// "Data Transfer" (40016): the pattern dialog, then the job with its
// information dialog; the job is stopped when that dialog has closed.
int fnRunDataTransfer(HWND hMain);

// "File Transfer" (40015): the direction dialog, the file chooser, the file
// and the job with its progress dialog.
int fnRunFileTransfer(HWND hMain);

// A far sz's start seen with auto-start on (IDM_XFER_AUTOSTART): a ZMODEM
// receive, unless another transfer or dialog holds the window.
int fnRunAutoReceive(HWND hMain);

#endif
