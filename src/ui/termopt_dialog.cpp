#include "termopt_dialog.h"

#include "dialog_place.h"
#include "resource.h"
#include "rx_display.h"
#include "settings.h"
#include "terminal_display.h"
#include "ui_state.h"

namespace {

const int kHandleCount = 7;
const int kaiHandleIds[kHandleCount] = {IDC_TOPT_KEYBOARD,      IDC_TOPT_LOCAL_ECHO,  IDC_TOPT_ENTER_KEY,
                                        IDC_TOPT_DISPLAY_ASCII, IDC_TOPT_DISPLAY_HEX, IDC_TOPT_CR_TRANS,
                                        IDC_TOPT_LF_TRANS};
const int kListTexts = 3;

// The Console group's lists, in the order of their saved values.
const char *const kapszHistory[] = {"Classic 2 KB", "1 MiB, 65536 lines"};
const char *const kapszBackspace[] = {"DEL (127)", "BS (8)"};
const char *const kapszConsoleEnter[] = {"CR", "LF", "CR-LF"};

const ZDWORD kDisplayAscii = 0;
const ZDWORD kDisplayHex = 1;

WPARAM fnCheckOf(bool bChecked)
{
    return bChecked ? BST_CHECKED : BST_UNCHECKED;
}

bool fnIsChecked(HWND hDlg, int iId)
{
    return IsDlgButtonChecked(hDlg, iId) == BST_CHECKED;
}

ZDWORD fnListPos(HWND hDlg, int iId)
{
    return static_cast<ZDWORD>(SendDlgItemMessageA(hDlg, iId, CB_GETCURSEL, 0, 0));
}

// Echo and Enter only matter while typed keys are sent.
void fnEnableTransmit(HWND hDlg, bool bKeyboard)
{
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_LOCAL_ECHO), bKeyboard);
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_ENTER_KEY), bKeyboard);
}

// The translations only matter for text display.
void fnEnableTranslations(HWND hDlg, bool bAscii)
{
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_CR_TRANS), bAscii);
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_LF_TRANS), bAscii);
}

void fnShowDisplay(HWND hDlg, ZDWORD nDisplay)
{
    if (nDisplay == kDisplayAscii) {
        CheckDlgButton(hDlg, IDC_TOPT_DISPLAY_ASCII, BST_CHECKED);
        CheckDlgButton(hDlg, IDC_TOPT_DISPLAY_HEX, BST_UNCHECKED);
        fnEnableTranslations(hDlg, true);
    } else if (nDisplay == kDisplayHex) {
        CheckDlgButton(hDlg, IDC_TOPT_DISPLAY_ASCII, BST_UNCHECKED);
        CheckDlgButton(hDlg, IDC_TOPT_DISPLAY_HEX, BST_CHECKED);
        fnEnableTranslations(hDlg, false);
    }
}

// The console keys only matter in console mode.
void fnEnableConsoleKeys(HWND hDlg, bool bConsole)
{
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_BACKSPACE), bConsole);
    EnableWindow(GetDlgItem(hDlg, IDC_TOPT_CONSOLE_ENTER), bConsole);
}

void fnShowConsole(HWND hDlg, const TermOptBlock &stEdit)
{
    SendDlgItemMessageA(hDlg, IDC_TOPT_HISTORY, CB_SETCURSEL, stEdit.m_nHistory, 0);
    CheckDlgButton(hDlg, IDC_TOPT_CONSOLE, fnCheckOf(stEdit.m_bConsole == 1));
    CheckDlgButton(hDlg, IDC_TOPT_TIMESTAMPS, fnCheckOf(stEdit.m_bTimestamps == 1));
    SendDlgItemMessageA(hDlg, IDC_TOPT_BACKSPACE, CB_SETCURSEL, stEdit.m_nBackspace, 0);
    SendDlgItemMessageA(hDlg, IDC_TOPT_CONSOLE_ENTER, CB_SETCURSEL, stEdit.m_nConsoleEnter, 0);
    fnEnableConsoleKeys(hDlg, stEdit.m_bConsole == 1);
}

void fnShowEdit(HWND hDlg)
{
    const TermOptBlock &stEdit = gstTermOpt.m_stEdit;
    CheckDlgButton(hDlg, IDC_TOPT_KEYBOARD, fnCheckOf(stEdit.m_bKeyboard == 1));
    fnEnableTransmit(hDlg, stEdit.m_bKeyboard == 1);
    CheckDlgButton(hDlg, IDC_TOPT_LOCAL_ECHO, fnCheckOf(stEdit.m_bLocalEcho == 1));
    fnShowDisplay(hDlg, stEdit.m_nDisplay);
    SendDlgItemMessageA(hDlg, IDC_TOPT_ENTER_KEY, CB_SETCURSEL, stEdit.m_nEnterKey, 0);
    SendDlgItemMessageA(hDlg, IDC_TOPT_CR_TRANS, CB_SETCURSEL, stEdit.m_nCrTrans, 0);
    SendDlgItemMessageA(hDlg, IDC_TOPT_LF_TRANS, CB_SETCURSEL, stEdit.m_nLfTrans, 0);
    fnShowConsole(hDlg, stEdit);
}

void fnFillList(HWND hDlg, int iId, const char (*paachTexts)[32])
{
    for (int i = 0; i < kListTexts; ++i) {
        SendDlgItemMessageA(hDlg, iId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(paachTexts[i]));
    }
}

template <int N> void fnFillTexts(HWND hDlg, int iId, const char *const (&apszTexts)[N])
{
    for (const char *psz : apszTexts) {
        SendDlgItemMessageA(hDlg, iId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz));
    }
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstTermOpt.m_hDlg = hDlg;
    for (int i = 0; i < kHandleCount; ++i) {
        gstTermOpt.m_ahCtl[i] = GetDlgItem(hDlg, kaiHandleIds[i]);
    }
    fnFillList(hDlg, IDC_TOPT_ENTER_KEY, gstTermOpt.m_aachEnterKey);
    fnFillList(hDlg, IDC_TOPT_CR_TRANS, gstTermOpt.m_aachCrTrans);
    fnFillList(hDlg, IDC_TOPT_LF_TRANS, gstTermOpt.m_aachLfTrans);
    fnFillTexts(hDlg, IDC_TOPT_HISTORY, kapszHistory);
    fnFillTexts(hDlg, IDC_TOPT_BACKSPACE, kapszBackspace);
    fnFillTexts(hDlg, IDC_TOPT_CONSOLE_ENTER, kapszConsoleEnter);
    gstTermOpt.m_stEdit = gstTermOpt.m_stCur;
    fnShowEdit(hDlg);
    return TRUE;
}

void OnDisplay(HWND hDlg, ZDWORD nDisplay)
{
    gstTermOpt.m_stEdit.m_nDisplay = nDisplay;
    fnEnableTranslations(hDlg, nDisplay == kDisplayAscii);
}

void OnDefault(HWND hDlg)
{
    gstTermOpt.m_stEdit = fnDefaultTermOpt();
    fnShowEdit(hDlg);
}

void OnOk(HWND hDlg)
{
    TermOptBlock &stEdit = gstTermOpt.m_stEdit;
    stEdit.m_bKeyboard = fnIsChecked(hDlg, IDC_TOPT_KEYBOARD) ? 1 : 0;
    stEdit.m_bLocalEcho = fnIsChecked(hDlg, IDC_TOPT_LOCAL_ECHO) ? 1 : 0;
    if (fnIsChecked(hDlg, IDC_TOPT_DISPLAY_ASCII)) {
        stEdit.m_nDisplay = kDisplayAscii;
    } else if (fnIsChecked(hDlg, IDC_TOPT_DISPLAY_HEX)) {
        stEdit.m_nDisplay = kDisplayHex;
    }
    stEdit.m_nEnterKey = fnListPos(hDlg, IDC_TOPT_ENTER_KEY);
    stEdit.m_nCrTrans = fnListPos(hDlg, IDC_TOPT_CR_TRANS);
    stEdit.m_nLfTrans = fnListPos(hDlg, IDC_TOPT_LF_TRANS);
    stEdit.m_nHistory = fnListPos(hDlg, IDC_TOPT_HISTORY);
    stEdit.m_bConsole = fnIsChecked(hDlg, IDC_TOPT_CONSOLE) ? 1 : 0;
    stEdit.m_bTimestamps = fnIsChecked(hDlg, IDC_TOPT_TIMESTAMPS) ? 1 : 0;
    stEdit.m_nBackspace = fnListPos(hDlg, IDC_TOPT_BACKSPACE);
    stEdit.m_nConsoleEnter = fnListPos(hDlg, IDC_TOPT_CONSOLE_ENTER);
    fnTerminalChooseView(stEdit, gstTermOpt.m_stCur);
    gstTermOpt.m_stCur = stEdit;
    fnDisplaySetOptions(stEdit);
    fnUiRefresh(gstCommx.m_bCommOpen);
    EndDialog(hDlg, 1);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        OnOk(hDlg);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    case IDC_TOPT_DEFAULT:
        OnDefault(hDlg);
        return TRUE;
    case IDC_TOPT_KEYBOARD:
        fnEnableTransmit(hDlg, fnIsChecked(hDlg, IDC_TOPT_KEYBOARD));
        return TRUE;
    case IDC_TOPT_DISPLAY_ASCII:
        OnDisplay(hDlg, kDisplayAscii);
        return TRUE;
    case IDC_TOPT_DISPLAY_HEX:
        OnDisplay(hDlg, kDisplayHex);
        return TRUE;
    case IDC_TOPT_CONSOLE:
        fnEnableConsoleKeys(hDlg, fnIsChecked(hDlg, IDC_TOPT_CONSOLE));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK TermOptDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

INT_PTR fnTermOptDialog(HWND hOwner)
{
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_TERMOPTION), hOwner, TermOptDlgProc, 0);
}
