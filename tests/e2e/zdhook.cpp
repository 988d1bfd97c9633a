// zdhook: a window hook that zdrive places on ZEVRIK's user-interface thread.
// Menus cannot be read from another process under Wine, so the menu state is
// read here, inside the app, and handed back through a named mapping that
// zdrive owns. So is the GDI object count, which Wine's GetGuiResources does
// not report, and the metrics of a window's font, whose handle means nothing
// in another process.
#include <windows.h>

#include "zdhook.h"

namespace {

// GDI handles are table indexes from 0x20 up with a reuse count in the high
// word; an index alone names the live object at that slot.
DWORD GdiObjectCount()
{
    const UINT_PTR kFirst = 0x20;
    const UINT_PTR kEnd = 0x10000;
    DWORD dwCount = 0;
    for (UINT_PTR i = kFirst; i < kEnd; ++i) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(i)) != 0) ++dwCount;
    }
    return dwCount;
}

// Writes one answer into zdrive's mapping.
void Answer(LPARAM lDriverPid, DWORD dwCommand, DWORD dwState)
{
    char achName[64];
    wsprintfA(achName, "%s%lu", kZdMenuMappingPrefix, static_cast<unsigned long>(lDriverPid));
    HANDLE hMap = OpenFileMappingA(FILE_MAP_WRITE, FALSE, achName);
    if (!hMap) return;
    ZdMenuAnswer* pAnswer = static_cast<ZdMenuAnswer*>(MapViewOfFile(hMap, FILE_MAP_WRITE, 0, 0, sizeof(ZdMenuAnswer)));
    if (pAnswer) {
        pAnswer->dwCommand = dwCommand;
        pAnswer->dwState = dwState;
        pAnswer->dwAnswered = 1;
        UnmapViewOfFile(pAnswer);
    }
    CloseHandle(hMap);
}

void AnswerMenuState(HWND hWnd, WPARAM wCommand, LPARAM lDriverPid)
{
    HMENU hMenu = GetMenu(hWnd);
    DWORD dwState = hMenu ? GetMenuState(hMenu, static_cast<UINT>(wCommand), MF_BYCOMMAND) : 0xFFFFFFFFu;
    Answer(lDriverPid, static_cast<DWORD>(wCommand), dwState);
}

// Measured where the window draws, in its own font.
DWORD FontCell(HWND hWnd)
{
    HDC hDc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hDc, reinterpret_cast<HGDIOBJ>(SendMessageA(hWnd, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm = {};
    GetTextMetricsA(hDc, &tm);
    SelectObject(hDc, hOld);
    ReleaseDC(hWnd, hDc);
    return MAKELONG(tm.tmAveCharWidth, tm.tmHeight);
}

void AnswerScrollBar(HWND hWnd, LPARAM lDriverPid)
{
    SCROLLINFO stSi = {};
    stSi.cbSize = sizeof stSi;
    stSi.fMask = SIF_ALL;
    GetScrollInfo(hWnd, SB_VERT, &stSi);
    Answer(lDriverPid, static_cast<DWORD>(stSi.nPos) + stSi.nPage, static_cast<DWORD>(stSi.nMax + 1));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ZdCallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    static UINT s_uAsk = RegisterWindowMessageA(kZdMenuMessage);
    static UINT s_uGdi = RegisterWindowMessageA(kZdGdiMessage);
    static UINT s_uFont = RegisterWindowMessageA(kZdFontMessage);
    static UINT s_uScroll = RegisterWindowMessageA(kZdScrollMessage);
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg && pMsg->message == s_uAsk) {
        AnswerMenuState(pMsg->hwnd, pMsg->wParam, pMsg->lParam);
    } else if (nCode == HC_ACTION && pMsg && pMsg->message == s_uGdi) {
        Answer(pMsg->lParam, 0, GdiObjectCount());
    } else if (nCode == HC_ACTION && pMsg && pMsg->message == s_uFont) {
        Answer(pMsg->lParam, 0, FontCell(reinterpret_cast<HWND>(pMsg->wParam)));
    } else if (nCode == HC_ACTION && pMsg && pMsg->message == s_uScroll) {
        AnswerScrollBar(reinterpret_cast<HWND>(pMsg->wParam), pMsg->lParam);
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
