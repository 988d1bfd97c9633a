// What zdrive and its transfer hook inside ZEVRIK agree on. The hook logs, in
// order, every value the transfer dialogs are given: the packet counter 1051,
// the byte counts 1055 and 1058 and the progress bar's range and position.
// Values that last only a moment (a dialog closes right after its last
// update) can so be checked after the fact.
#ifndef ZEVRIK_ZDHOOK_TRANSFER_H
#define ZEVRIK_ZDHOOK_TRANSFER_H

#include <windows.h>

// Sent to the main window: lParam zdrive's process id; the hook then logs
// into the mapping named by the prefix and that id.
const char kZdTransferMessage[] = "zdrive.transfer-watch";
const char kZdTransferMappingPrefix[] = "zdrive-transfer-";
const char* const kZdTransferHookNames[] = {"ZdTransferCallWndProc", "ZdTransferCallWndProc@12",
                                            "_ZdTransferCallWndProc@12"};

// dwKind of an event.
const DWORD kZdTransferText = 1;     // WM_SETTEXT of a number to a counter control
const DWORD kZdTransferRange = 2;    // PBM_SETRANGE32: dwValue is the upper end
const DWORD kZdTransferPosition = 3; // PBM_SETPOS

struct ZdTransferEvent {
    DWORD dwKind;
    DWORD dwCtl;
    DWORD dwValue;
    DWORD dwTick;
};

const LONG kZdTransferCapacity = 65536;

struct ZdTransferLog {
    volatile LONG lCount; // events logged; only the first kZdTransferCapacity are kept
    // While not 0, the destruction of the Data Transmit Information dialog is
    // held up this many ms, as a slow window system would.
    volatile DWORD dwHoldInfoDestroyMs;
    ZdTransferEvent aEvent[kZdTransferCapacity];
};

#endif
