#include "comset_dialog.h"

#include "dialog_place.h"
#include "port_names.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

UserBaudRecord gstUserBaud;

namespace {

// The ports found when the dialog opened (its parameter).
const PortPresence *gpstPresence;

void fnFillList(HWND hList, const char *pchTexts, int iCount, int iStride)
{
    for (int i = 0; i < iCount; ++i) {
        SendMessageA(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pchTexts + i * iStride));
    }
}

// With the port check on, each present port says so in its item; the items
// keep their places, so a selection still means the same port.
void fnFillPortList(bool bMark)
{
    HWND hList = gstComSet.m_hPortList;
    const LRESULT lSel = SendMessageA(hList, CB_GETCURSEL, 0, 0);
    SendMessageA(hList, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kPortCount; ++i) {
        char achItem[sizeof gstComSet.m_aachPort[0] + 16];
        const bool bPresent = bMark && gpstPresence != NULL && gpstPresence->m_abPresent[i];
        fnFormatPortItem(achItem, sizeof achItem, gstComSet.m_aachPort[i], bPresent);
        SendMessageA(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(achItem));
    }
    SendMessageA(hList, CB_SETCURSEL, lSel, 0);
}

void fnFillLists()
{
    fnFillPortList(gstComSet.m_stEdit.m_bPortCheck != 0);
    fnFillList(gstComSet.m_hBaudList, gstComSet.m_aachBaud[0], kBaudCount, sizeof(gstComSet.m_aachBaud[0]));
    fnFillList(gstComSet.m_hDataBitsList, gstComSet.m_aachDataBits[0], kDataBitsCount,
               sizeof(gstComSet.m_aachDataBits[0]));
    fnFillList(gstComSet.m_hParityList, gstComSet.m_aachParity[0], kParityCount,
               sizeof(gstComSet.m_aachParity[0]));
    fnFillList(gstComSet.m_hStopBitsList, gstComSet.m_aachStopBits[0], kStopBitsCount,
               sizeof(gstComSet.m_aachStopBits[0]));
}

void fnSelect(HWND hList, ZDWORD nIndex)
{
    SendMessageA(hList, CB_SETCURSEL, nIndex, 0);
}

ZDWORD fnSelection(HWND hList)
{
    return static_cast<ZDWORD>(SendMessageA(hList, CB_GETCURSEL, 0, 0));
}

void fnShowUserBaud(bool bShow)
{
    ShowWindow(gstComSet.m_hUserBaudButton, bShow ? SW_SHOW : SW_HIDE);
    ShowWindow(gstComSet.m_hUserBaudText, bShow ? SW_SHOW : SW_HIDE);
}

void fnShowUserBaudText()
{
    SetDlgItemInt(gstComSet.m_hDlg, IDC_CS_USERBAUD_TEXT, gstComSet.m_stEdit.m_dwUserBaud, FALSE);
}

void fnShowChoice(int iControl, ZDWORD bOn)
{
    CheckDlgButton(gstComSet.m_hDlg, iControl, bOn ? BST_CHECKED : BST_UNCHECKED);
}

ZDWORD fnChoice(int iControl)
{
    return IsDlgButtonChecked(gstComSet.m_hDlg, iControl) == BST_CHECKED ? 1 : 0;
}

// While the port is open its number cannot change.
INT_PTR OnComSetInit(HWND hDlg, LPARAM lParam)
{
    gpstPresence = reinterpret_cast<const PortPresence *>(lParam);
    fnCentreOverOwner(hDlg);
    gstComSet.m_hDlg = hDlg;
    gstComSet.m_hPortList = GetDlgItem(hDlg, IDC_CS_PORT);
    gstComSet.m_hBaudList = GetDlgItem(hDlg, IDC_CS_BAUD);
    gstComSet.m_hDataBitsList = GetDlgItem(hDlg, IDC_CS_DATABITS);
    gstComSet.m_hParityList = GetDlgItem(hDlg, IDC_CS_PARITY);
    gstComSet.m_hStopBitsList = GetDlgItem(hDlg, IDC_CS_STOPBITS);
    gstComSet.m_hUserBaudButton = GetDlgItem(hDlg, IDC_CS_USERBAUD_BUTTON);
    gstComSet.m_hUserBaudText = GetDlgItem(hDlg, IDC_CS_USERBAUD_TEXT);
    gstComSet.m_stEdit = gstComSet.m_stCur;
    fnFillLists();
    fnShowChoice(IDC_CS_PORTCHECK, gstComSet.m_stEdit.m_bPortCheck);
    fnShowChoice(IDC_CS_REOPEN, gstComSet.m_stEdit.m_bReopen);
    fnSelect(gstComSet.m_hPortList, gstComSet.m_stEdit.m_nPort);
    fnSelect(gstComSet.m_hBaudList, gstComSet.m_stEdit.m_nBaud);
    fnSelect(gstComSet.m_hDataBitsList, gstComSet.m_stEdit.m_nDataBits);
    fnSelect(gstComSet.m_hParityList, gstComSet.m_stEdit.m_nParity);
    fnSelect(gstComSet.m_hStopBitsList, gstComSet.m_stEdit.m_nStopBits);
    fnShowUserBaudText();
    EnableWindow(gstComSet.m_hPortList, gstCommx.m_bCommOpen != 1);
    if (gstComSet.m_stEdit.m_nBaud != static_cast<ZDWORD>(kBaudUserIndex)) {
        fnShowUserBaud(false);
    }
    return TRUE;
}

INT_PTR OnBaudChosen()
{
    gstComSet.m_stEdit.m_nBaud = fnSelection(gstComSet.m_hBaudList);
    const bool bUser = gstComSet.m_stEdit.m_nBaud == static_cast<ZDWORD>(kBaudUserIndex);
    fnShowUserBaud(bUser);
    if (bUser) {
        fnShowUserBaudText();
    }
    return TRUE;
}

INT_PTR OnComSetOk(HWND hDlg)
{
    gstComSet.m_stEdit.m_nPort = fnSelection(gstComSet.m_hPortList);
    gstComSet.m_stEdit.m_nBaud = fnSelection(gstComSet.m_hBaudList);
    gstComSet.m_stEdit.m_nDataBits = fnSelection(gstComSet.m_hDataBitsList);
    gstComSet.m_stEdit.m_nParity = fnSelection(gstComSet.m_hParityList);
    gstComSet.m_stEdit.m_nStopBits = fnSelection(gstComSet.m_hStopBitsList);
    gstComSet.m_stEdit.m_bPortCheck = fnChoice(IDC_CS_PORTCHECK);
    gstComSet.m_stEdit.m_bReopen = fnChoice(IDC_CS_REOPEN);
    gstComSet.m_stCur = gstComSet.m_stEdit;
    EndDialog(hDlg, 1);
    return TRUE;
}

INT_PTR OnUserBaudButton(HWND hDlg)
{
    gstUserBaud.m_dwBaud = gstComSet.m_stEdit.m_dwUserBaud;
    if (DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_USERBAUD), hDlg, fnUserBaudProc, 0) == 1) {
        gstComSet.m_stEdit.m_dwUserBaud = gstUserBaud.m_dwBaud;
        fnShowUserBaudText();
    }
    return TRUE;
}

INT_PTR OnComSetCommand(HWND hDlg, WPARAM wParam)
{
    if (wParam == MAKEWPARAM(IDC_CS_BAUD, CBN_SELENDOK)) {
        return OnBaudChosen();
    }
    switch (wParam) {
    case IDOK:
        return OnComSetOk(hDlg);
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    case IDC_CS_USERBAUD_BUTTON:
        return OnUserBaudButton(hDlg);
    case IDC_CS_PORTCHECK:
        fnFillPortList(fnChoice(IDC_CS_PORTCHECK) != 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnUserBaudInit(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstUserBaud.m_hDlg = hDlg;
    gstUserBaud.m_hEdit = GetDlgItem(hDlg, IDC_UB_RATE);
    gstUserBaud.m_dwEdit = gstUserBaud.m_dwBaud;
    SetDlgItemInt(hDlg, IDC_UB_RATE, gstUserBaud.m_dwEdit, FALSE);
    return TRUE;
}

// An empty box, or a number too large for 32 bits, reads as 0.
INT_PTR OnUserBaudOk(HWND hDlg)
{
    gstUserBaud.m_dwEdit = fnGetDlgUint(hDlg, IDC_UB_RATE);
    gstUserBaud.m_dwBaud = gstUserBaud.m_dwEdit;
    EndDialog(hDlg, 1);
    return TRUE;
}

INT_PTR OnUserBaudCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        return OnUserBaudOk(hDlg);
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK fnComSetProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnComSetInit(hDlg, lParam);
    case WM_COMMAND:
        return OnComSetCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK fnUserBaudProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnUserBaudInit(hDlg);
    case WM_COMMAND:
        return OnUserBaudCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}
