// What zdrive and its settings hook inside ZEVRIK agree on. The hook logs the
// icons static controls are given, as the app's icon resource ids, and the
// fonts controls are given, as their LOGFONTA: the About box's animation and
// caption font can so be checked from outside, where neither an icon nor a
// font of another process can be read.
#ifndef ZEVRIK_ZDHOOK_SETTINGS_H
#define ZEVRIK_ZDHOOK_SETTINGS_H

#include <windows.h>

// Sent with wParam kZdSettingsOpen to the main window (lParam zdrive's process
// id) to start an empty log in the mapping named by the prefix and that id;
// with kZdSettingsIconNow to a static control to log the icon it shows now.
const char kZdSettingsMessage[] = "zdrive.settings-watch";
const char kZdSettingsMappingPrefix[] = "zdrive-settings-";
const char* const kZdSettingsHookNames[] = {"ZdSettingsCallWndProc", "ZdSettingsCallWndProc@12",
                                            "_ZdSettingsCallWndProc@12"};
const WPARAM kZdSettingsOpen = 0;
const WPARAM kZdSettingsIconNow = 1;

// dwKind of an event.
const DWORD kZdSettingsIcon = 1; // dwValue: the icon's resource id, 0 for none of the app's icons
const DWORD kZdSettingsFont = 2; // lHeight, lWeight, achFace; dwValue: LOGPIXELSY of the control's DC

// The icon resource ids the hook recognises.
const WORD kZdSettingsIconIds[] = {102, 141, 142, 143, 144, 145, 146, 147, 148, 149, 150};

struct ZdSettingsEvent {
    DWORD dwKind;
    DWORD dwCtl;
    DWORD dwValue;
    DWORD dwTick;
    LONG lHeight;
    LONG lWeight;
    char achFace[LF_FACESIZE];
};

const LONG kZdSettingsCapacity = 4096;

struct ZdSettingsLog {
    volatile LONG lCount; // events logged; only the first kZdSettingsCapacity are kept
    DWORD dwPad;
    ZdSettingsEvent aEvent[kZdSettingsCapacity];
};

#endif
