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
