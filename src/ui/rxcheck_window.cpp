#include "rxcheck_window.h"

#include <cstring>

#include "data_transfer.h"
#include "dialog_place.h"
#include "resource.h"
#include "rx_watch.h"
#include "settings.h"
#include "ui_state.h"

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 250;
const int kStreamChoices = 4;
const char *const kapszStream[kStreamChoices] = {"Data Transfer pattern", "PRBS-7", "PRBS-15", "PRBS-23"};
const int kTextChars = 1024;

struct RxCheckWindowRecord {
    HWND m_hDlg;
    HWND m_hMain;
    char m_achStream[48]; // the stream of the last Start
    char m_achShown[kTextChars];
};

RxCheckWindowRecord gstRxCheckWnd;

RxStreamKind fnPrbsKind(ZDWORD nPrbs)
{
    return static_cast<RxStreamKind>(kStreamPattern + nPrbs);
}

void fnShowFigures(HWND hDlg)
{
    RxWatchSnapshot stSnap;
    fnRxWatchSnapshot(stSnap);
    char achText[kTextChars];
    fnFormatRxCheckReport(achText, sizeof achText, gstRxCheckWnd.m_achStream, stSnap.m_stCounts,
                          stSnap.m_dwElapsedMs);
    const std::size_t cchUsed = std::strlen(achText);
    lstrcpynA(achText + cchUsed, fnRxCheckRunning() ? "State: checking\r\n" : "State: stopped\r\n",
              static_cast<int>(sizeof achText - cchUsed));
    const std::size_t cchState = std::strlen(achText);
    fnFormatLineErrors(achText + cchState, sizeof achText - cchState, stSnap.m_stLine);
    if (std::strcmp(achText, gstRxCheckWnd.m_achShown) != 0) {
        lstrcpynA(gstRxCheckWnd.m_achShown, achText, kTextChars);
        SetDlgItemTextA(hDlg, IDC_RC_TEXT, achText);
    }
}

BOOL OnInitDialog(HWND hDlg)
{
    fnPlaceBesideMain(hDlg, gstRxCheckWnd.m_hMain);
    gstRxCheckWnd.m_hDlg = hDlg;
    gstRxCheckWnd.m_achShown[0] = '\0';
    const HWND hStream = GetDlgItem(hDlg, IDC_RC_STREAM);
    for (int i = 0; i < kStreamChoices; ++i) {
        SendMessageA(hStream, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kapszStream[i]));
    }
    SendMessageA(hStream, CB_SETCURSEL, gstDataTrans.m_nRxStream, 0);
    SetTimer(hDlg, kRefreshTimer, kRefreshMs, NULL);
    fnShowFigures(hDlg);
    return TRUE;
}

// The data pattern as the data job sends it: its sequence, or its packet
// repeated back to back.
void OnStart(HWND hDlg)
{
    const LRESULT lSel = SendDlgItemMessageA(hDlg, IDC_RC_STREAM, CB_GETCURSEL, 0, 0);
    gstDataTrans.m_nRxStream = lSel > 0 && lSel < kStreamChoices ? static_cast<ZDWORD>(lSel) : 0;
    const ZDWORD nPrbs =
        gstDataTrans.m_nRxStream != 0 ? gstDataTrans.m_nRxStream : gstDataTrans.m_stCur.m_nPrbs;
    BYTE abyPattern[kPatternBytes + 1];
    DWORD dwLen = 0;
    if (nPrbs == 0) {
        dwLen = fnPatternBytes(gstDataTrans.m_stCur, abyPattern);
    }
    if (!fnRxCheckStart(fnPrbsKind(nPrbs), abyPattern, dwLen)) {
        MessageBoxA(hDlg, "The Data Transfer pattern is empty: nothing to check against.", "Receive Check",
                    MB_OK);
        return;
    }
    wsprintfA(gstRxCheckWnd.m_achStream, nPrbs == 0 ? "%s (%d bytes)" : "%s", kapszStream[nPrbs],
              static_cast<int>(dwLen));
    fnShowFigures(hDlg);
}

// The figures go to the clipboard through the text box, as the terminal's Copy.
void OnCopy(HWND hDlg)
{
    fnShowFigures(hDlg);
    SendDlgItemMessageA(hDlg, IDC_RC_TEXT, EM_SETSEL, 0, -1);
    SendDlgItemMessageA(hDlg, IDC_RC_TEXT, WM_COPY, 0, 0);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDC_RC_START:
        OnStart(hDlg);
        return TRUE;
    case IDC_RC_STOP:
        fnRxCheckStop();
        fnShowFigures(hDlg);
        return TRUE;
    case IDC_RC_RESET:
        fnRxCheckClear();
        fnShowFigures(hDlg);
        return TRUE;
    case IDC_RC_COPY:
        OnCopy(hDlg);
        return TRUE;
    case IDCANCEL:
        DestroyWindow(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// Closing the window leaves a running check running; reopening shows it.
void OnDestroy(HWND hDlg)
{
    KillTimer(hDlg, kRefreshTimer);
    gstRxCheckWnd.m_hDlg = NULL;
}

INT_PTR CALLBACK fnRxCheckProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    case WM_TIMER:
        fnShowFigures(hDlg);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void fnRxCheckWindowOpen(HWND hMain)
{
    gstRxCheckWnd.m_hMain = hMain;
    if (gstRxCheckWnd.m_hDlg == NULL) {
        if (gstRxCheckWnd.m_achStream[0] == '\0') {
            lstrcpynA(gstRxCheckWnd.m_achStream, "-", sizeof gstRxCheckWnd.m_achStream);
        }
        CreateDialogParamA(ghInstance, MAKEINTRESOURCEA(IDD_RXCHECK), NULL, fnRxCheckProc, 0);
    }
    if (gstRxCheckWnd.m_hDlg != NULL) {
        ShowWindow(gstRxCheckWnd.m_hDlg, SW_SHOW);
        SetForegroundWindow(gstRxCheckWnd.m_hDlg);
    }
}

BOOL fnRxCheckWindowMessage(MSG *pstMsg)
{
    return gstRxCheckWnd.m_hDlg != NULL && IsDialogMessageA(gstRxCheckWnd.m_hDlg, pstMsg);
}
