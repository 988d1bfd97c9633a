// What zdrive and its hook inside ZEVRIK agree on for reading menu states,
// the app's GDI object count and a window's font cell.
#ifndef ZEVRIK_ZDHOOK_H
#define ZEVRIK_ZDHOOK_H

#include <windows.h>

// Sent to the main window: wParam the command id, lParam zdrive's process id.
const char kZdMenuMessage[] = "zdrive.menu-state";
// Sent to the main window: wParam 0, lParam zdrive's process id; the hook
// answers the number of live GDI objects in dwState.
const char kZdGdiMessage[] = "zdrive.gdi-count";
// Sent to the main window: wParam a window of the app, lParam zdrive's
// process id; the hook answers its font's average character width and height
// in the low and high words of dwState.
const char kZdFontMessage[] = "zdrive.font-cell";
// Answered with the scroll bar's thumb end (pos + page) and range end (max + 1).
const char kZdScrollMessage[] = "zdrive.scroll-bar";
// Followed by zdrive's process id; holds a ZdMenuAnswer for either question.
const char kZdMenuMappingPrefix[] = "zdrive-menu-";
// The exported hook procedure under the names the compilers give it (plain,
// and the 32-bit stdcall decorations of MinGW and MSVC).
const char* const kZdHookProcNames[] = {"ZdCallWndProc", "ZdCallWndProc@12", "_ZdCallWndProc@12"};

struct ZdMenuAnswer {
    DWORD dwCommand;
    DWORD dwState;  // GetMenuState's result, 0xFFFFFFFF for no such item
    DWORD dwAnswered;
};

#endif
