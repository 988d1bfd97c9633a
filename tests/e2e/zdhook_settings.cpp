// zdhook_settings: a window hook on ZEVRIK's user-interface thread that logs
// the icons and fonts its controls are given (see zdhook_settings.h). Icons
// and fonts are read here, inside the app, where their handles mean something.
#include <windows.h>

#include "zdhook_settings.h"

namespace {

ZdSettingsLog* g_pLog = nullptr;

void OpenLog(LPARAM lDriverPid)
{
    char achName[64];
    wsprintfA(achName, "%s%lu", kZdSettingsMappingPrefix, static_cast<unsigned long>(lDriverPid));
    HANDLE hMap = OpenFileMappingA(FILE_MAP_WRITE, FALSE, achName);
    if (!hMap) return;
    void* pView = MapViewOfFile(hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdSettingsLog));
    CloseHandle(hMap);
    if (!pView) return;
    if (g_pLog) UnmapViewOfFile(g_pLog);
    g_pLog = static_cast<ZdSettingsLog*>(pView);
}

ZdSettingsEvent* NextEvent(DWORD dwKind, HWND hWnd, DWORD dwValue)
{
    LONG lAt = g_pLog->lCount;
    if (lAt >= kZdSettingsCapacity) {
        InterlockedExchange(&g_pLog->lCount, lAt + 1);
        return nullptr;
    }
    ZdSettingsEvent& ev = g_pLog->aEvent[lAt];
    ZeroMemory(&ev, sizeof ev);
    ev.dwKind = dwKind;
    ev.dwCtl = static_cast<DWORD>(GetDlgCtrlID(hWnd));
    ev.dwValue = dwValue;
    ev.dwTick = GetTickCount();
    return &ev;
}

void Commit()
{
    InterlockedExchange(&g_pLog->lCount, g_pLog->lCount + 1);
}

// LoadIcon hands out one shared handle per resource, so the handle tells the id.
DWORD IconId(HICON hIcon)
{
    HINSTANCE hApp = GetModuleHandleA(nullptr);
    for (WORD wId : kZdSettingsIconIds) {
        if (hIcon && LoadIconA(hApp, MAKEINTRESOURCEA(wId)) == hIcon) return wId;
    }
    return 0;
}

void LogIcon(HWND hWnd, HICON hIcon)
{
    if (NextEvent(kZdSettingsIcon, hWnd, IconId(hIcon))) Commit();
}

void LogFont(HWND hWnd, HFONT hFont)
{
    HDC hDc = GetDC(hWnd);
    int iDpi = GetDeviceCaps(hDc, LOGPIXELSY);
    ReleaseDC(hWnd, hDc);
    ZdSettingsEvent* pEv = NextEvent(kZdSettingsFont, hWnd, static_cast<DWORD>(iDpi));
    if (!pEv) return;
    LOGFONTA lf;
    ZeroMemory(&lf, sizeof lf);
    if (hFont && GetObjectA(hFont, sizeof lf, &lf) == sizeof lf) {
        pEv->lHeight = lf.lfHeight;
        pEv->lWeight = lf.lfWeight;
        lstrcpynA(pEv->achFace, lf.lfFaceName, LF_FACESIZE);
    }
    Commit();
}

void Watch(const CWPSTRUCT& msg, UINT uWatch)
{
    if (msg.message == STM_SETICON) {
        LogIcon(msg.hwnd, reinterpret_cast<HICON>(msg.wParam));
    } else if (msg.message == WM_SETFONT) {
        LogFont(msg.hwnd, reinterpret_cast<HFONT>(msg.wParam));
    } else if (msg.message == uWatch && msg.wParam == kZdSettingsIconNow) {
        LogIcon(msg.hwnd, reinterpret_cast<HICON>(SendMessageA(msg.hwnd, STM_GETICON, 0, 0)));
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ZdSettingsCallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    static UINT s_uWatch = RegisterWindowMessageA(kZdSettingsMessage);
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg) {
        if (pMsg->message == s_uWatch && pMsg->wParam == kZdSettingsOpen) {
            OpenLog(pMsg->lParam);
        } else if (g_pLog) {
            Watch(*pMsg, s_uWatch);
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
