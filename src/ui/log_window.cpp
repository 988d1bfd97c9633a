#include "log_window.h"

#include <cstdio>
#include <cstring>

#include "log_file.h"
#include "log_status.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 250;
const char kTitle[] = "Log";
const ZDWORD kKiB = 1024;

struct ChoiceList {
    int m_iId;
    const char *const *m_apszText;
    int m_nCount;
};

const char *const kapszFormat[] = {"Text", "Hex", "Raw (the bytes as received)"};
const char *const kapszStamp[] = {"Date and time", "Time of day", "Seconds since the start"};
const char *const kapszDirs[] = {"Received only", "Both, marked < and >"};
const char *const kapszAppend[] = {"Start a new file", "Append to the file"};
const char *const kapszRotate[] = {"Never", "At a size", "At midnight"};

const ChoiceList kastLists[] = {
    {IDC_LOG_FORMAT, kapszFormat, 3}, {IDC_LOG_STAMP, kapszStamp, 3},   {IDC_LOG_DIRS, kapszDirs, 2},
    {IDC_LOG_APPEND, kapszAppend, 2}, {IDC_LOG_ROTATE, kapszRotate, 3},
};

// The settings' controls, greyed while a log runs.
const int kaiSettingIds[] = {IDC_LOG_FORMAT, IDC_LOG_STAMP,  IDC_LOG_DIRS, IDC_LOG_PAUSE,     IDC_LOG_PATTERN,
                             IDC_LOG_APPEND, IDC_LOG_ROTATE, IDC_LOG_SIZE, IDC_LOG_ON_OPENING};

struct LogWindowRecord {
    HWND m_hDlg;
    HWND m_hMain;
    LogSettings m_stShown; // the settings the boxes were filled with
    int m_iShownState;     // -1 before the first showing, else whether a log ran
    char m_achShown[kLogPathChars + 96];
};

LogWindowRecord gstLogWnd;

ZDWORD fnListPos(HWND hDlg, int iId)
{
    return static_cast<ZDWORD>(SendDlgItemMessageA(hDlg, iId, CB_GETCURSEL, 0, 0));
}

void fnFillLists(HWND hDlg)
{
    for (const ChoiceList &stList : kastLists) {
        for (int i = 0; i < stList.m_nCount; ++i) {
            SendDlgItemMessageA(hDlg, stList.m_iId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(stList.m_apszText[i]));
        }
    }
}

void fnShowSettings(HWND hDlg, const LogSettings &st)
{
    gstLogWnd.m_stShown = st;
    const ZDWORD anPos[] = {st.m_nFormat, st.m_nStamp, st.m_nDirs, st.m_bAppend, st.m_nRotate};
    for (int i = 0; i < 5; ++i) {
        SendDlgItemMessageA(hDlg, kastLists[i].m_iId, CB_SETCURSEL, anPos[i], 0);
    }
    SetDlgItemInt(hDlg, IDC_LOG_PAUSE, st.m_dwPauseMs, FALSE);
    SetDlgItemInt(hDlg, IDC_LOG_SIZE, st.m_dwRotateBytes / kKiB, FALSE);
    SetDlgItemTextA(hDlg, IDC_LOG_PATTERN, st.m_achPattern);
    CheckDlgButton(hDlg, IDC_LOG_ON_OPENING, st.m_bOnOpening != 0 ? BST_CHECKED : BST_UNCHECKED);
}

// The boxes' values, or a message over the window and false.
bool fnReadSettings(HWND hDlg, LogSettings &st)
{
    st.m_nFormat = fnListPos(hDlg, IDC_LOG_FORMAT);
    st.m_nStamp = fnListPos(hDlg, IDC_LOG_STAMP);
    st.m_nDirs = fnListPos(hDlg, IDC_LOG_DIRS);
    st.m_bAppend = fnListPos(hDlg, IDC_LOG_APPEND);
    st.m_nRotate = fnListPos(hDlg, IDC_LOG_ROTATE);
    st.m_bOnOpening = IsDlgButtonChecked(hDlg, IDC_LOG_ON_OPENING) == BST_CHECKED ? 1 : 0;
    st.m_dwPauseMs = fnGetDlgUint(hDlg, IDC_LOG_PAUSE);
    const ZDWORD dwKiB = fnGetDlgUint(hDlg, IDC_LOG_SIZE);
    std::memset(st.m_achPattern, 0, sizeof st.m_achPattern);
    GetDlgItemTextA(hDlg, IDC_LOG_PATTERN, st.m_achPattern, sizeof st.m_achPattern);
    if (st.m_dwPauseMs < kLogPauseMsMin || st.m_dwPauseMs > kLogPauseMsMax) {
        MessageBoxA(hDlg, "The pause before an open line is written must be 50 to 60000 ms.", kTitle, MB_OK);
        return false;
    }
    if (dwKiB < kLogRotateBytesMin / kKiB || dwKiB > kLogRotateBytesMax / kKiB) {
        MessageBoxA(hDlg, "The size of a file must be 16 to 4194303 KiB.", kTitle, MB_OK);
        return false;
    }
    if (st.m_achPattern[0] == '\0') {
        MessageBoxA(hDlg, "The log needs a file name.", kTitle, MB_OK);
        return false;
    }
    st.m_dwRotateBytes = dwKiB * kKiB;
    return true;
}

bool fnCommit(HWND hDlg)
{
    LogSettings st = gstLogSet;
    if (!fnReadSettings(hDlg, st)) {
        return false;
    }
    gstLogSet = st;
    gstLogWnd.m_stShown = st;
    return true;
}

void fnEnableControls(HWND hDlg, bool bRunning)
{
    for (int iId : kaiSettingIds) {
        EnableWindow(GetDlgItem(hDlg, iId), !bRunning);
    }
    EnableWindow(GetDlgItem(hDlg, IDC_LOG_SIZE),
                 !bRunning && fnListPos(hDlg, IDC_LOG_ROTATE) == kLogRotateSize);
    EnableWindow(GetDlgItem(hDlg, IDC_LOG_START), !bRunning);
    EnableWindow(GetDlgItem(hDlg, IDC_LOG_STOP), bRunning);
}

// Settings loaded from a file while the window is up replace what its boxes
// hold, so that closing it does not put the old ones back.
void fnFollowSettings(HWND hDlg)
{
    if (std::memcmp(&gstLogSet, &gstLogWnd.m_stShown, sizeof gstLogSet) != 0) {
        fnShowSettings(hDlg, gstLogSet);
        fnEnableControls(hDlg, fnLogRunning() != FALSE);
    }
}

void fnShowState(HWND hDlg)
{
    const bool bRunning = fnLogRunning() != FALSE;
    if (static_cast<int>(bRunning) != gstLogWnd.m_iShownState) {
        gstLogWnd.m_iShownState = bRunning;
        fnEnableControls(hDlg, bRunning);
    }
    char achText[sizeof gstLogWnd.m_achShown] = "Not logging.";
    if (bRunning) {
        LogProgress st;
        fnLogProgressOf(st);
        std::snprintf(achText, sizeof achText,
                      "Logging to %s\r\n%lu bytes in this file, file %lu of this log.", st.m_achPath,
                      static_cast<unsigned long>(st.m_qwFileBytes), static_cast<unsigned long>(st.m_dwFiles));
    }
    if (std::strcmp(achText, gstLogWnd.m_achShown) != 0) {
        lstrcpynA(gstLogWnd.m_achShown, achText, sizeof gstLogWnd.m_achShown);
        SetDlgItemTextA(hDlg, IDC_LOG_STATE, achText);
    }
}

// The window has no owner, as the Receive Check window: it starts at the
// main window's left, kept on the screen.
void fnPlaceBesideMain(HWND hDlg)
{
    RECT rcMain;
    RECT rcDlg;
    GetWindowRect(gstLogWnd.m_hMain, &rcMain);
    GetWindowRect(hDlg, &rcDlg);
    const int iLeft = rcMain.left - (rcDlg.right - rcDlg.left);
    SetWindowPos(hDlg, NULL, iLeft > 0 ? iLeft : 0, rcMain.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

BOOL OnInitDialog(HWND hDlg)
{
    fnPlaceBesideMain(hDlg);
    gstLogWnd.m_hDlg = hDlg;
    gstLogWnd.m_iShownState = -1;
    gstLogWnd.m_achShown[0] = '\0';
    fnFillLists(hDlg);
    SendDlgItemMessageA(hDlg, IDC_LOG_PATTERN, EM_LIMITTEXT, kLogPatternChars - 1, 0);
    fnShowSettings(hDlg, gstLogSet);
    SetTimer(hDlg, kRefreshTimer, kRefreshMs, NULL);
    fnShowState(hDlg);
    return TRUE;
}

void OnStart(HWND hDlg)
{
    if (fnCommit(hDlg)) {
        fnLogStartNow(hDlg);
        fnShowState(hDlg);
    }
}

void OnStop(HWND hDlg)
{
    fnLogStopNow();
    fnShowState(hDlg);
}

// Closing keeps what the boxes hold, as the settings the next start uses.
void OnClose(HWND hDlg)
{
    if (fnLogRunning() || fnCommit(hDlg)) {
        DestroyWindow(hDlg);
    }
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDC_LOG_START:
        OnStart(hDlg);
        return TRUE;
    case IDC_LOG_STOP:
        OnStop(hDlg);
        return TRUE;
    case MAKEWPARAM(IDC_LOG_ROTATE, CBN_SELCHANGE):
        fnEnableControls(hDlg, fnLogRunning() != FALSE);
        return TRUE;
    case IDCANCEL:
        OnClose(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

void OnDestroy(HWND hDlg)
{
    KillTimer(hDlg, kRefreshTimer);
    gstLogWnd.m_hDlg = NULL;
}

INT_PTR CALLBACK fnLogWindowProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    case WM_TIMER:
        fnFollowSettings(hDlg);
        fnShowState(hDlg);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void fnLogWindowOpen(HWND hMain)
{
    gstLogWnd.m_hMain = hMain;
    if (gstLogWnd.m_hDlg == NULL) {
        CreateDialogParamA(ghInstance, MAKEINTRESOURCEA(IDD_LOG), NULL, fnLogWindowProc, 0);
    }
    if (gstLogWnd.m_hDlg != NULL) {
        ShowWindow(gstLogWnd.m_hDlg, SW_SHOW);
        SetForegroundWindow(gstLogWnd.m_hDlg);
    }
}

BOOL fnLogWindowMessage(MSG *pstMsg)
{
    return gstLogWnd.m_hDlg != NULL && IsDialogMessageA(gstLogWnd.m_hDlg, pstMsg);
}
