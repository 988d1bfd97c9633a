// zdhook_transfer: a window hook on ZEVRIK's user-interface thread that logs
// the values its transfer dialogs are given (see zdhook_transfer.h). The
// worker threads send these through the window system, so every one of them
// passes this thread's window procedures, and this hook, in order.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "zdhook_transfer.h"

namespace {

ZdTransferLog* g_pLog = nullptr;

void OpenLog(LPARAM lDriverPid)
{
    char achName[64];
    wsprintfA(achName, "%s%lu", kZdTransferMappingPrefix, static_cast<unsigned long>(lDriverPid));
    HANDLE hMap = OpenFileMappingA(FILE_MAP_WRITE, FALSE, achName);
    if (!hMap) return;
    void* pView = MapViewOfFile(hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdTransferLog));
    CloseHandle(hMap);
    if (!pView) return;
    if (g_pLog) UnmapViewOfFile(g_pLog);
    g_pLog = static_cast<ZdTransferLog*>(pView);
}

void Log(DWORD dwKind, HWND hWnd, DWORD dwValue)
{
    LONG lAt = g_pLog->lCount;
    if (lAt < kZdTransferCapacity) {
        ZdTransferEvent& ev = g_pLog->aEvent[lAt];
        ev.dwKind = dwKind;
        ev.dwCtl = static_cast<DWORD>(GetDlgCtrlID(hWnd));
        ev.dwValue = dwValue;
        ev.dwTick = GetTickCount();
    }
    InterlockedExchange(&g_pLog->lCount, lAt + 1);
}

bool IsCounter(HWND hWnd)
{
    int id = GetDlgCtrlID(hWnd);
    return id == 1051 || id == 1055 || id == 1058;
}

bool IsProgressBar(HWND hWnd)
{
    char achClass[32] = {0};
    GetClassNameA(hWnd, achClass, sizeof achClass);
    return lstrcmpiA(achClass, PROGRESS_CLASSA) == 0;
}

void Watch(const CWPSTRUCT& msg)
{
    if (msg.message == WM_DESTROY && g_pLog->dwHoldInfoDestroyMs != 0 && GetDlgItem(msg.hwnd, 1051)) {
        Sleep(g_pLog->dwHoldInfoDestroyMs);
    } else if (msg.message == WM_SETTEXT && msg.lParam && IsCounter(msg.hwnd)) {
        const char* psz = reinterpret_cast<const char*>(msg.lParam);
        if (*psz >= '0' && *psz <= '9') {
            Log(kZdTransferText, msg.hwnd, static_cast<DWORD>(std::strtoul(psz, nullptr, 10)));
        }
    } else if (msg.message == PBM_SETRANGE32 && IsProgressBar(msg.hwnd)) {
        Log(kZdTransferRange, msg.hwnd, static_cast<DWORD>(msg.lParam));
    } else if (msg.message == PBM_SETPOS && IsProgressBar(msg.hwnd)) {
        Log(kZdTransferPosition, msg.hwnd, static_cast<DWORD>(msg.wParam));
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ZdTransferCallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    static UINT s_uWatch = RegisterWindowMessageA(kZdTransferMessage);
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg) {
        if (pMsg->message == s_uWatch) {
            OpenLog(pMsg->lParam);
        } else if (g_pLog) {
            Watch(*pMsg);
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
