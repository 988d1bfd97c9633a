// zdhook: a window hook that zdrive places on ZEVRIK's user-interface thread.
// Menus cannot be read from another process under Wine, so the menu state is
// read here, inside the app, and handed back through a named mapping that
// zdrive owns.
#include <windows.h>

#include "zdhook.h"

namespace {

void AnswerMenuState(HWND hWnd, WPARAM wCommand, LPARAM lDriverPid)
{
    char achName[64];
    wsprintfA(achName, "%s%lu", kZdMenuMappingPrefix, static_cast<unsigned long>(lDriverPid));
    HANDLE hMap = OpenFileMappingA(FILE_MAP_WRITE, FALSE, achName);
    if (!hMap) return;
    ZdMenuAnswer* pAnswer = static_cast<ZdMenuAnswer*>(MapViewOfFile(hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdMenuAnswer)));
    if (pAnswer) {
        HMENU hMenu = GetMenu(hWnd);
        pAnswer->dwCommand = static_cast<DWORD>(wCommand);
        pAnswer->dwState = hMenu ? GetMenuState(hMenu, static_cast<UINT>(wCommand), MF_BYCOMMAND) : 0xFFFFFFFFu;
        pAnswer->dwAnswered = 1;
        UnmapViewOfFile(pAnswer);
    }
    CloseHandle(hMap);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ZdCallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    static UINT s_uAsk = RegisterWindowMessageA(kZdMenuMessage);
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg && pMsg->message == s_uAsk) {
        AnswerMenuState(pMsg->hwnd, pMsg->wParam, pMsg->lParam);
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
