#include "plot_window.h"

#include <windowsx.h>

#include <cstdio>
#include <cstring>

#include "dialog_place.h"
#include "plot_csv.h"
#include "plot_export.h"
#include "plot_feed.h"
#include "plot_view.h"
#include "resource.h"
#include "ui_state.h"

namespace {

PlotSettings fnDefaultSettings()
{
    PlotSettings st;
    fnPlotSettingsDefault(st);
    return st;
}

} // namespace

PlotSettings gstPlotSettings = fnDefaultSettings();

namespace {

const char kszCaption[] = "Plot";
// The view draws up to 40 times a second while lines come in (32 where
// timers tick every 15.6 ms).
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 25;
const DWORD kStatusEveryMs = 200;
// An export writes for 25 ms out of every 35, between the window's messages.
const UINT_PTR kExportTimer = 2;
const UINT kExportMs = 10;
const DWORD kExportBudgetMs = 25;
const int kStatusChars = 512;
const int kFieldChars = 64;

struct FormatBox {
    int iControl;
    BYTE byFormat;
};
const FormatBox kastFormatBoxes[] = {
    {IDC_PLOT_LABELS, kPlotFormatLabels},
    {IDC_PLOT_COLUMNS, kPlotFormatColumns},
    {IDC_PLOT_NAMES, kPlotFormatNames},
};

// Controls under the view keep their distance from the bottom edge.
const int kBottomControls[] = {IDC_PLOT_CURSOR, IDC_PLOT_STATUS};
const int kBottomCount = sizeof kBottomControls / sizeof kBottomControls[0];

struct PlotWindowRecord {
    volatile LONG m_bRunning; // the window's thread is on
    HWND volatile m_hDlg;
    HWND m_hMain;
    HWND m_hView;
    // Settings loaded from a csi file while the window's thread runs: it
    // takes them at its next tick. Under the plot's lock.
    PlotSettings m_stLoaded;
    bool m_bLoaded;
    PlotSettings m_stShown; // what the controls show
    bool m_bSyncing;        // the controls are being set from the settings
    POINT m_ptLeast;        // the first size: the window shrinks no further
    RECT m_rcView;          // the view's first place in the client area
    int m_iBelowView;       // the client area's height under it
    int m_aiFromBottom[kBottomCount];
    DWORD m_dwStatusAt;
    DWORD m_dwSecondAt;
    DWORD m_dwFramesAt;
    DWORD m_dwRate;
    char m_achStatus[kStatusChars];
};

PlotWindowRecord gstPlotWnd;

bool fnSameSettings(const PlotSettings &a, const PlotSettings &b)
{
    return a.m_byFormats == b.m_byFormats && a.m_byAxis == b.m_byAxis && a.m_bYFixed == b.m_bYFixed &&
           a.m_dwSpanSeconds == b.m_dwSpanSeconds && a.m_dwSpanLines == b.m_dwSpanLines &&
           a.m_dYMin == b.m_dYMin && a.m_dYMax == b.m_dYMax;
}

void fnSetNumber(HWND hDlg, int iControl, double d)
{
    char ach[kPlotValueMax];
    fnPlotFormatValue(ach, sizeof ach, d);
    SetDlgItemTextA(hDlg, iControl, ach);
}

// The controls follow the settings, whoever changed them: a box, the view's
// wheel and drag, or a csi file loaded meanwhile.
void fnShowSettings(HWND hDlg)
{
    const PlotSettings &st = gstPlotSettings;
    gstPlotWnd.m_bSyncing = true;
    for (const FormatBox &stBox : kastFormatBoxes) {
        CheckDlgButton(hDlg, stBox.iControl,
                       (st.m_byFormats & stBox.byFormat) != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
    const bool bTime = st.m_byAxis == kPlotAxisTime;
    SendDlgItemMessageA(hDlg, IDC_PLOT_AXIS, CB_SETCURSEL, bTime ? 0 : 1, 0);
    SetDlgItemInt(hDlg, IDC_PLOT_SPAN, bTime ? st.m_dwSpanSeconds : st.m_dwSpanLines, FALSE);
    SetDlgItemTextA(hDlg, IDC_PLOT_SPAN_UNIT, bTime ? "s" : "lines");
    CheckDlgButton(hDlg, IDC_PLOT_YFIXED, st.m_bYFixed ? BST_CHECKED : BST_UNCHECKED);
    fnSetNumber(hDlg, IDC_PLOT_YMIN, st.m_dYMin);
    fnSetNumber(hDlg, IDC_PLOT_YMAX, st.m_dYMax);
    if (st.m_byFormats != gstPlotWnd.m_stShown.m_byFormats) {
        fnPlotFeedFormats(st.m_byFormats);
    }
    // A range held on one axis means nothing on the other.
    if (st.m_byAxis != gstPlotWnd.m_stShown.m_byAxis) {
        fnPlotViewReset(gstPlotWnd.m_hView);
    }
    gstPlotWnd.m_stShown = st;
    gstPlotWnd.m_bSyncing = false;
}

// A change made in a box: the view draws it and the box is not set again.
void fnSettingsChanged(const PlotSettings &st)
{
    fnPlotSettingsSet(st);
    gstPlotWnd.m_stShown = st;
    InvalidateRect(gstPlotWnd.m_hView, NULL, FALSE);
}

// Settings a csi file brought meanwhile become the window's (under the lock).
void fnTakeLoadedLocked()
{
    if (gstPlotWnd.m_bLoaded) {
        gstPlotSettings = gstPlotWnd.m_stLoaded;
        gstPlotWnd.m_bLoaded = false;
    }
}

void fnTakeLoaded()
{
    fnPlotLock();
    fnTakeLoadedLocked();
    fnPlotUnlock();
}

void fnRememberLayout(HWND hDlg)
{
    RECT rcWindow;
    RECT rcClient;
    GetWindowRect(hDlg, &rcWindow);
    GetClientRect(hDlg, &rcClient);
    gstPlotWnd.m_ptLeast.x = rcWindow.right - rcWindow.left;
    gstPlotWnd.m_ptLeast.y = rcWindow.bottom - rcWindow.top;
    GetWindowRect(gstPlotWnd.m_hView, &gstPlotWnd.m_rcView);
    MapWindowPoints(NULL, hDlg, reinterpret_cast<POINT *>(&gstPlotWnd.m_rcView), 2);
    gstPlotWnd.m_iBelowView = rcClient.bottom - gstPlotWnd.m_rcView.bottom;
    for (int i = 0; i < kBottomCount; ++i) {
        RECT rc;
        GetWindowRect(GetDlgItem(hDlg, kBottomControls[i]), &rc);
        MapWindowPoints(NULL, hDlg, reinterpret_cast<POINT *>(&rc), 2);
        gstPlotWnd.m_aiFromBottom[i] = rcClient.bottom - rc.top;
    }
}

// The view takes what the window gains; the lines under it stay at the bottom.
void OnSize(HWND hDlg, int cx, int cy)
{
    if (gstPlotWnd.m_hView == NULL) {
        return;
    }
    const RECT &rcView = gstPlotWnd.m_rcView;
    const int iWidth = cx - 2 * rcView.left;
    MoveWindow(gstPlotWnd.m_hView, rcView.left, rcView.top, iWidth, cy - gstPlotWnd.m_iBelowView - rcView.top,
               TRUE);
    for (int i = 0; i < kBottomCount; ++i) {
        const HWND hControl = GetDlgItem(hDlg, kBottomControls[i]);
        RECT rc;
        GetClientRect(hControl, &rc);
        MoveWindow(hControl, rcView.left, cy - gstPlotWnd.m_aiFromBottom[i], iWidth, rc.bottom, TRUE);
    }
}

void OnGetMinMaxInfo(LPARAM lParam)
{
    if (gstPlotWnd.m_ptLeast.x != 0) {
        reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = gstPlotWnd.m_ptLeast;
    }
}

void fnAppendStatus(char *pch, int cch, const char *pszFormat, double d1, double d2)
{
    const int nUsed = lstrlenA(pch);
    std::snprintf(pch + nUsed, cch - nUsed, pszFormat, d1, d2);
}

// The frames drawn over the last second.
void fnCountRate(DWORD dwNow)
{
    const DWORD dwFrames = fnPlotViewFigures().m_dwFrames;
    const DWORD dwElapsed = dwNow - gstPlotWnd.m_dwSecondAt;
    if (dwElapsed >= 1000) {
        gstPlotWnd.m_dwRate = (dwFrames - gstPlotWnd.m_dwFramesAt) * 1000 / dwElapsed;
        gstPlotWnd.m_dwSecondAt = dwNow;
        gstPlotWnd.m_dwFramesAt = dwFrames;
    }
}

void fnShowStatus(HWND hDlg)
{
    fnPlotLock();
    const PlotStore &stStore = fnPlotMemory().m_stStore;
    const double dLines = static_cast<double>(stStore.m_qwEnd);
    const double dChannels = stStore.m_stNames.m_byCount;
    const PlotFeedCounts stCounts = fnPlotFeedCounts();
    fnPlotUnlock();
    char ach[kStatusChars];
    ach[0] = '\0';
    fnAppendStatus(ach, kStatusChars, "%.0f lines, %.0f channels", dLines, dChannels);
    fnAppendStatus(ach, kStatusChars, " | refresh %.0f/s, draw %.1f ms", gstPlotWnd.m_dwRate,
                   fnPlotViewFigures().m_dDrawMs);
    if (stCounts.m_qwLongLines != 0 || stCounts.m_qwNoChannel != 0) {
        fnAppendStatus(ach, kStatusChars, " | dropped %.0f long lines, %.0f values past 16 channels",
                       static_cast<double>(stCounts.m_qwLongLines),
                       static_cast<double>(stCounts.m_qwNoChannel));
    }
    char achExport[kStatusChars];
    fnPlotExportStatus(achExport, kStatusChars);
    if (achExport[0] != '\0') {
        const int nUsed = lstrlenA(ach);
        std::snprintf(ach + nUsed, kStatusChars - nUsed, " | %s", achExport);
    }
    if (std::strcmp(ach, gstPlotWnd.m_achStatus) != 0) {
        lstrcpynA(gstPlotWnd.m_achStatus, ach, kStatusChars);
        SetDlgItemTextA(hDlg, IDC_PLOT_STATUS, ach);
    }
}

void OnRefreshTimer(HWND hDlg)
{
    fnTakeLoaded();
    if (!fnSameSettings(gstPlotSettings, gstPlotWnd.m_stShown)) {
        fnShowSettings(hDlg);
        InvalidateRect(gstPlotWnd.m_hView, NULL, FALSE);
    }
    const bool bHeld = fnPlotViewHeld();
    if ((IsDlgButtonChecked(hDlg, IDC_PLOT_PAUSE) == BST_CHECKED) != bHeld) {
        CheckDlgButton(hDlg, IDC_PLOT_PAUSE, bHeld ? BST_CHECKED : BST_UNCHECKED);
    }
    fnPlotViewTick(gstPlotWnd.m_hView);
    const DWORD dwNow = GetTickCount();
    fnCountRate(dwNow);
    if (dwNow - gstPlotWnd.m_dwStatusAt >= kStatusEveryMs) {
        gstPlotWnd.m_dwStatusAt = dwNow;
        fnShowStatus(hDlg);
    }
}

void OnExportTimer(HWND hDlg)
{
    if (!fnPlotExportStep(hDlg, kExportBudgetMs)) {
        KillTimer(hDlg, kExportTimer);
        EnableWindow(GetDlgItem(hDlg, IDC_PLOT_EXPORT), TRUE);
        fnShowStatus(hDlg);
    }
}

void OnExport(HWND hDlg)
{
    const PlotRange stRange = fnPlotViewRange();
    const bool bVisible = IsDlgButtonChecked(hDlg, IDC_PLOT_EXPORT_VISIBLE) == BST_CHECKED;
    if (fnPlotExportRunning() || !fnPlotExportStart(hDlg, bVisible ? &stRange : NULL)) {
        return;
    }
    EnableWindow(GetDlgItem(hDlg, IDC_PLOT_EXPORT), FALSE);
    SetTimer(hDlg, kExportTimer, kExportMs, NULL);
}

void OnClear()
{
    fnPlotFeedClear();
    fnPlotViewReset(gstPlotWnd.m_hView);
}

// A form stays on when it is the last one: a reader that takes nothing
// would record nothing.
void OnFormatBox(HWND hDlg, int iControl)
{
    BYTE byFormats = 0;
    for (const FormatBox &stBox : kastFormatBoxes) {
        byFormats |= IsDlgButtonChecked(hDlg, stBox.iControl) == BST_CHECKED ? stBox.byFormat : 0;
    }
    if (byFormats == 0) {
        CheckDlgButton(hDlg, iControl, BST_CHECKED);
        return;
    }
    PlotSettings st = gstPlotSettings;
    st.m_byFormats = byFormats;
    fnPlotFeedFormats(byFormats);
    fnSettingsChanged(st);
}

void OnAxis(HWND hDlg)
{
    const LRESULT lSel = SendDlgItemMessageA(hDlg, IDC_PLOT_AXIS, CB_GETCURSEL, 0, 0);
    PlotSettings st = gstPlotSettings;
    st.m_byAxis = lSel == 1 ? kPlotAxisLine : kPlotAxisTime;
    fnPlotSettingsSet(st);
    fnShowSettings(hDlg);
}

// A span out of range is left in the box until it is one.
void OnSpan(HWND hDlg)
{
    BOOL bOk = FALSE;
    const UINT uSpan = GetDlgItemInt(hDlg, IDC_PLOT_SPAN, &bOk, FALSE);
    const bool bTime = gstPlotSettings.m_byAxis == kPlotAxisTime;
    const UINT uLeast = bTime ? kPlotSpanSecondsMin : kPlotSpanLinesMin;
    const UINT uMost = bTime ? kPlotSpanSecondsMax : kPlotSpanLinesMax;
    if (!bOk || uSpan < uLeast || uSpan > uMost) {
        return;
    }
    PlotSettings st = gstPlotSettings;
    (bTime ? st.m_dwSpanSeconds : st.m_dwSpanLines) = uSpan;
    fnSettingsChanged(st);
}

bool fnReadNumber(HWND hDlg, int iControl, double &d)
{
    char ach[kFieldChars];
    const int n = GetDlgItemTextA(hDlg, iControl, ach, kFieldChars);
    const char *pchEnd = ach + n;
    return n > 0 && fnPlotNumber(ach, pchEnd, d) == pchEnd;
}

// Limits take effect once both read as numbers in order.
void OnYLimits(HWND hDlg)
{
    double dMin = 0;
    double dMax = 0;
    if (fnReadNumber(hDlg, IDC_PLOT_YMIN, dMin) && fnReadNumber(hDlg, IDC_PLOT_YMAX, dMax) && dMin < dMax) {
        PlotSettings st = gstPlotSettings;
        st.m_dYMin = dMin;
        st.m_dYMax = dMax;
        fnSettingsChanged(st);
    }
}

void OnYFixed(HWND hDlg)
{
    PlotSettings st = gstPlotSettings;
    st.m_bYFixed = IsDlgButtonChecked(hDlg, IDC_PLOT_YFIXED) == BST_CHECKED;
    fnSettingsChanged(st);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    const int iControl = LOWORD(wParam);
    const WORD wCode = HIWORD(wParam);
    if (gstPlotWnd.m_bSyncing) {
        return TRUE;
    }
    switch (iControl) {
    case IDC_PLOT_PAUSE:
        fnPlotViewHold(gstPlotWnd.m_hView, IsDlgButtonChecked(hDlg, IDC_PLOT_PAUSE) == BST_CHECKED);
        return TRUE;
    case IDC_PLOT_CLEAR:
        OnClear();
        return TRUE;
    case IDC_PLOT_EXPORT:
        OnExport(hDlg);
        return TRUE;
    case IDC_PLOT_LABELS:
    case IDC_PLOT_COLUMNS:
    case IDC_PLOT_NAMES:
        OnFormatBox(hDlg, iControl);
        return TRUE;
    case IDC_PLOT_AXIS:
        if (wCode == CBN_SELCHANGE || wCode == CBN_SELENDOK) {
            OnAxis(hDlg);
        }
        return TRUE;
    case IDC_PLOT_SPAN:
        if (wCode == EN_CHANGE) {
            OnSpan(hDlg);
        }
        return TRUE;
    case IDC_PLOT_YMIN:
    case IDC_PLOT_YMAX:
        if (wCode == EN_CHANGE) {
            OnYLimits(hDlg);
        }
        return TRUE;
    case IDC_PLOT_YFIXED:
        OnYFixed(hDlg);
        return TRUE;
    case IDCANCEL:
        DestroyWindow(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// The wheel comes to the window with the focus; over the plot it is the view's.
BOOL OnMouseWheel(WPARAM wParam, LPARAM lParam)
{
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (WindowFromPoint(pt) == gstPlotWnd.m_hView) {
        SendMessageA(gstPlotWnd.m_hView, WM_MOUSEWHEEL, wParam, lParam);
    }
    return TRUE;
}

BOOL OnInitDialog(HWND hDlg)
{
    gstPlotWnd.m_hDlg = hDlg;
    gstPlotWnd.m_hView = GetDlgItem(hDlg, IDC_PLOT_VIEW);
    gstPlotWnd.m_achStatus[0] = '\0';
    fnTakeLoaded();
    fnRememberLayout(hDlg);
    fnPlaceBesideMain(hDlg, gstPlotWnd.m_hMain);
    SendDlgItemMessageA(hDlg, IDC_PLOT_AXIS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Seconds"));
    SendDlgItemMessageA(hDlg, IDC_PLOT_AXIS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Lines"));
    gstPlotWnd.m_stShown = gstPlotSettings;
    fnShowSettings(hDlg);
    fnPlotFeedStart(gstPlotSettings.m_byFormats);
    gstPlotWnd.m_dwSecondAt = GetTickCount();
    gstPlotWnd.m_dwStatusAt = gstPlotWnd.m_dwSecondAt - kStatusEveryMs;
    gstPlotWnd.m_dwFramesAt = fnPlotViewFigures().m_dwFrames;
    gstPlotWnd.m_dwRate = 0;
    SetTimer(hDlg, kRefreshTimer, kRefreshMs, NULL);
    return TRUE;
}

// Closing ends the recording, an unfinished export and the window's thread.
void OnDestroy(HWND hDlg)
{
    KillTimer(hDlg, kRefreshTimer);
    KillTimer(hDlg, kExportTimer);
    fnPlotExportCancel();
    fnPlotFeedStop();
    gstPlotWnd.m_hDlg = NULL;
    gstPlotWnd.m_hView = NULL;
    PostQuitMessage(0);
}

INT_PTR CALLBACK fnPlotWindowProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    case WM_TIMER:
        if (wParam == kExportTimer) {
            OnExportTimer(hDlg);
        } else {
            OnRefreshTimer(hDlg);
        }
        return TRUE;
    case WM_SIZE:
        OnSize(hDlg, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(lParam);
        return TRUE;
    case WM_MOUSEWHEEL:
        return OnMouseWheel(wParam, lParam);
    case WM_DESTROY:
        OnDestroy(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// The window has a thread of its own, so that the terminal's work in the
// main window's thread and the plot's drawing never wait for each other. A
// settings file loaded while the thread ends is taken on the way out.
DWORD WINAPI fnPlotThread(LPVOID)
{
    const HWND hDlg = CreateDialogParamA(ghInstance, MAKEINTRESOURCEA(IDD_PLOT), NULL, fnPlotWindowProc, 0);
    if (hDlg != NULL) {
        ShowWindow(hDlg, SW_SHOW);
        SetForegroundWindow(hDlg);
    }
    MSG stMsg;
    while (gstPlotWnd.m_hDlg != NULL && GetMessageA(&stMsg, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(gstPlotWnd.m_hDlg, &stMsg)) {
            TranslateMessage(&stMsg);
            DispatchMessageA(&stMsg);
        }
    }
    fnPlotLock();
    fnTakeLoadedLocked();
    gstPlotWnd.m_bRunning = 0;
    fnPlotUnlock();
    return 0;
}

void fnRefuse(HWND hMain, const char *pszText)
{
    MessageBoxA(hMain, pszText, kszCaption, MB_OK | MB_ICONWARNING);
}

// An open window comes to the front, from its minimised state too.
void fnBringToFront()
{
    const HWND hDlg = gstPlotWnd.m_hDlg;
    if (hDlg != NULL) {
        ShowWindowAsync(hDlg, IsIconic(hDlg) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(hDlg);
    }
}

} // namespace

void fnPlotSettingsSet(const PlotSettings &st)
{
    fnPlotLock();
    gstPlotSettings = st;
    fnPlotUnlock();
}

PlotSettings fnPlotSettingsNow()
{
    fnPlotLock();
    const PlotSettings st = gstPlotSettings;
    fnPlotUnlock();
    return st;
}

void fnPlotSettingsLoad(const PlotSettings &st)
{
    fnPlotLock();
    if (gstPlotWnd.m_bRunning != 0) {
        gstPlotWnd.m_stLoaded = st;
        gstPlotWnd.m_bLoaded = true;
    } else {
        gstPlotSettings = st;
    }
    fnPlotUnlock();
}

void fnPlotWindowOpen(HWND hMain)
{
    static bool s_bRegistered = false;
    if (gstPlotWnd.m_bRunning != 0) {
        fnBringToFront();
        return;
    }
    if (!fnPlotFeedReserve()) {
        char achText[128];
        std::snprintf(
            achText, sizeof achText,
            "The plot needs %u MiB of memory for its million lines, which the system cannot give now.",
            static_cast<unsigned>(sizeof(PlotMemory) >> 20));
        fnRefuse(hMain, achText);
        return;
    }
    if (!s_bRegistered) {
        fnPlotViewRegister();
        s_bRegistered = true;
    }
    gstPlotWnd.m_hMain = hMain;
    gstPlotWnd.m_bRunning = 1;
    const HANDLE hThread = CreateThread(NULL, 0, fnPlotThread, NULL, 0, NULL);
    if (hThread == NULL) {
        gstPlotWnd.m_bRunning = 0;
        fnRefuse(hMain, "The plot window cannot be made now (no thread for it).");
        return;
    }
    CloseHandle(hThread);
}
