#include "dialog_place.h"

#include "placement.h"

namespace {

PlaceRect fnPlaceRectOf(const RECT &rc)
{
    PlaceRect st = {rc.left, rc.top, rc.right, rc.bottom};
    return st;
}

} // namespace

void fnCentreOverOwner(HWND hDlg)
{
    HWND hOwner = GetWindow(hDlg, GW_OWNER);
    RECT rcOwner;
    RECT rcDialog;
    MONITORINFO stMonitor = {};
    stMonitor.cbSize = sizeof stMonitor;
    if (hOwner == NULL || !GetWindowRect(hOwner, &rcOwner) || !GetWindowRect(hDlg, &rcDialog) ||
        !GetMonitorInfoA(MonitorFromWindow(hOwner, MONITOR_DEFAULTTONEAREST), &stMonitor)) {
        return;
    }
    const PlaceRect stPlace =
        fnCentredPlace(fnPlaceRectOf(rcOwner), fnPlaceRectOf(rcDialog), fnPlaceRectOf(stMonitor.rcWork));
    SetWindowPos(hDlg, NULL, static_cast<int>(stPlace.m_lLeft), static_cast<int>(stPlace.m_lTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void fnPlaceBesideMain(HWND hDlg, HWND hMain)
{
    RECT rcMain;
    RECT rcDlg;
    GetWindowRect(hMain, &rcMain);
    GetWindowRect(hDlg, &rcDlg);
    const int iWidth = rcDlg.right - rcDlg.left;
    const int iHeight = rcDlg.bottom - rcDlg.top;
    const int iScreen = GetSystemMetrics(SM_CXSCREEN);
    const int iScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int iLeft = rcMain.right + iWidth <= iScreen ? rcMain.right : iScreen - iWidth;
    const int iTop = rcMain.top + iHeight <= iScreenHeight ? rcMain.top : iScreenHeight - iHeight;
    SetWindowPos(hDlg, NULL, iLeft > 0 ? iLeft : 0, iTop > 0 ? iTop : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
