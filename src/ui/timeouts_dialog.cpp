#include "timeouts_dialog.h"

#include "dialog_place.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

namespace {

const int kBoxCount = 5;
const int kaiBoxIds[kBoxCount] = {IDC_TMO_READ_INTERVAL, IDC_TMO_READ_MULTIPLIER, IDC_TMO_READ_CONSTANT,
                                  IDC_TMO_WRITE_MULTIPLIER, IDC_TMO_WRITE_CONSTANT};

// Box order is COMMTIMEOUTS member order.
ZDWORD TimeoutsBlock::*const kapMembers[kBoxCount] = {
    &TimeoutsBlock::ReadIntervalTimeout, &TimeoutsBlock::ReadTotalTimeoutMultiplier,
    &TimeoutsBlock::ReadTotalTimeoutConstant, &TimeoutsBlock::WriteTotalTimeoutMultiplier,
    &TimeoutsBlock::WriteTotalTimeoutConstant};

void fnShowEdit(HWND hDlg)
{
    for (int i = 0; i < kBoxCount; ++i) {
        SetDlgItemInt(hDlg, kaiBoxIds[i], gstTimeouts.m_stEdit.*kapMembers[i], FALSE);
    }
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstTimeouts.m_hDlg = hDlg;
    for (int i = 0; i < kBoxCount; ++i) {
        gstTimeouts.m_ahBox[i] = GetDlgItem(hDlg, kaiBoxIds[i]);
    }
    gstTimeouts.m_hDefault = GetDlgItem(hDlg, IDC_TMO_DEFAULT);
    gstTimeouts.m_stEdit = gstTimeouts.m_stCur;
    fnShowEdit(hDlg);
    return TRUE;
}

void OnDefault(HWND hDlg)
{
    gstTimeouts.m_stEdit = fnDefaultTimeouts();
    fnShowEdit(hDlg);
}

void OnOk(HWND hDlg)
{
    for (int i = 0; i < kBoxCount; ++i) {
        gstTimeouts.m_stEdit.*kapMembers[i] = fnGetDlgUint(hDlg, kaiBoxIds[i]);
    }
    gstTimeouts.m_stCur = gstTimeouts.m_stEdit;
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
    case IDC_TMO_DEFAULT:
        OnDefault(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK TimeoutsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
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

INT_PTR fnTimeoutsDialog(HWND hOwner)
{
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_TIMEOUTS), hOwner, TimeoutsDlgProc, 0);
}
