#include "flow_dialog.h"

#include "dialog_place.h"
#include "hex_text.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

namespace {

const int kHandleCount = 16;
const int kaiHandleIds[kHandleCount] = {
    IDC_FC_CTS_OUT,    IDC_FC_DSR_OUT,     IDC_FC_DSR_SENS, IDC_FC_XONXOFF_OUT,
    IDC_FC_XONXOFF_IN, IDC_FC_TX_CONTINUE, IDC_FC_DTR,      IDC_FC_RTS,
    IDC_FC_XON_LIMIT,  IDC_FC_XOFF_LIMIT,  IDC_FC_XON_CHAR, IDC_FC_XOFF_CHAR,
    IDC_FC_RTSCTS,     IDC_FC_DTRDSR,      IDC_FC_XONXOFF,  IDC_FC_DEFAULT};

const int kCheckCount = 6;
const int kaiCheckIds[kCheckCount] = {IDC_FC_CTS_OUT,     IDC_FC_DSR_OUT,    IDC_FC_DSR_SENS,
                                      IDC_FC_XONXOFF_OUT, IDC_FC_XONXOFF_IN, IDC_FC_TX_CONTINUE};
ZDWORD FlowBlock::*const kapCheckFlags[kCheckCount] = {
    &FlowBlock::m_bOutxCtsFlow, &FlowBlock::m_bOutxDsrFlow, &FlowBlock::m_bDsrSensitivity,
    &FlowBlock::m_bOutX,        &FlowBlock::m_bInX,         &FlowBlock::m_bTXContinueOnXoff};

// List positions of the sorted DTR and RTS lists.
const ZDWORD kEnable = 1;
const ZDWORD kHandshake = 2;

// A preset sets the six check boxes and both line controls; "Default" also
// resets limits and characters and is taken from the record defaults.
struct FlowPreset {
    ZDWORD m_abFlags[kCheckCount];
    ZDWORD m_nDtrControl;
    ZDWORD m_nRtsControl;
};
const FlowPreset kstRtsCts = {{1, 0, 0, 0, 0, 0}, kEnable, kHandshake};
const FlowPreset kstDtrDsr = {{0, 1, 0, 0, 0, 0}, kHandshake, kEnable};
const FlowPreset kstXonXoff = {{0, 0, 0, 1, 1, 0}, kEnable, kEnable};

// Text of a character box: 31 characters and the terminator.
const int kCharTextChars = 32;

void fnShowEdit(HWND hDlg)
{
    const FlowBlock &stEdit = gstFlowCtrl.m_stEdit;
    for (int i = 0; i < kCheckCount; ++i) {
        SendDlgItemMessageA(hDlg, kaiCheckIds[i], BM_SETCHECK,
                            stEdit.*kapCheckFlags[i] == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    SendDlgItemMessageA(hDlg, IDC_FC_DTR, CB_SETCURSEL, stEdit.m_nDtrControl, 0);
    SendDlgItemMessageA(hDlg, IDC_FC_RTS, CB_SETCURSEL, stEdit.m_nRtsControl, 0);
    SetDlgItemInt(hDlg, IDC_FC_XON_LIMIT, stEdit.m_dwXonLim, FALSE);
    SetDlgItemInt(hDlg, IDC_FC_XOFF_LIMIT, stEdit.m_dwXoffLim, FALSE);
    char achHex[3];
    fnByteToHexStr(&stEdit.m_chXonChar, achHex);
    SetDlgItemTextA(hDlg, IDC_FC_XON_CHAR, achHex);
    fnByteToHexStr(&stEdit.m_chXoffChar, achHex);
    SetDlgItemTextA(hDlg, IDC_FC_XOFF_CHAR, achHex);
}

void fnFillList(HWND hDlg, int iId, const char (*paachTexts)[32], int nTexts)
{
    for (int i = 0; i < nTexts; ++i) {
        SendDlgItemMessageA(hDlg, iId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(paachTexts[i]));
    }
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstFlowCtrl.m_hDlg = hDlg;
    for (int i = 0; i < kHandleCount; ++i) {
        gstFlowCtrl.m_ahCtl[i] = GetDlgItem(hDlg, kaiHandleIds[i]);
    }
    fnFillList(hDlg, IDC_FC_DTR, gstFlowCtrl.m_aachDtrControl, 3);
    fnFillList(hDlg, IDC_FC_RTS, gstFlowCtrl.m_aachRtsControl, 4);
    gstFlowCtrl.m_stEdit = gstFlowCtrl.m_stCur;
    fnShowEdit(hDlg);
    return TRUE;
}

void OnPreset(HWND hDlg, const FlowPreset &stPreset)
{
    for (int i = 0; i < kCheckCount; ++i) {
        gstFlowCtrl.m_stEdit.*kapCheckFlags[i] = stPreset.m_abFlags[i];
    }
    gstFlowCtrl.m_stEdit.m_nDtrControl = stPreset.m_nDtrControl;
    gstFlowCtrl.m_stEdit.m_nRtsControl = stPreset.m_nRtsControl;
    fnShowEdit(hDlg);
}

void OnDefault(HWND hDlg)
{
    gstFlowCtrl.m_stEdit = fnDefaultFlow();
    fnShowEdit(hDlg);
}

// 0 and the byte when the box holds exactly one hexadecimal byte, else 1.
ZDWORD fnReadCharBox(HWND hDlg, int iId, ZBYTE *pbyChar)
{
    char achText[kCharTextChars];
    GetDlgItemTextA(hDlg, iId, achText, kCharTextChars);
    ZBYTE abyBytes[kCharTextChars / 2];
    ZDWORD dwCount = 0;
    if (fnHexStrToBuf(achText, abyBytes, &dwCount, kCharTextChars) != kHexOk || dwCount != 1) {
        return 1;
    }
    *pbyChar = abyBytes[0];
    return 0;
}

void fnReadControls(HWND hDlg, ZBYTE byXonChar, ZBYTE byXoffChar)
{
    FlowBlock &stEdit = gstFlowCtrl.m_stEdit;
    for (int i = 0; i < kCheckCount; ++i) {
        stEdit.*kapCheckFlags[i] = IsDlgButtonChecked(hDlg, kaiCheckIds[i]) == BST_CHECKED ? 1 : 0;
    }
    stEdit.m_nDtrControl = static_cast<ZDWORD>(SendDlgItemMessageA(hDlg, IDC_FC_DTR, CB_GETCURSEL, 0, 0));
    stEdit.m_nRtsControl = static_cast<ZDWORD>(SendDlgItemMessageA(hDlg, IDC_FC_RTS, CB_GETCURSEL, 0, 0));
    stEdit.m_dwXonLim = fnGetDlgUint(hDlg, IDC_FC_XON_LIMIT);
    stEdit.m_dwXoffLim = fnGetDlgUint(hDlg, IDC_FC_XOFF_LIMIT);
    stEdit.m_chXonChar = byXonChar;
    stEdit.m_chXoffChar = byXoffChar;
}

void OnOk(HWND hDlg)
{
    ZBYTE byXonChar = 0;
    ZBYTE byXoffChar = 0;
    gstFlowCtrl.m_bXonCharErr = fnReadCharBox(hDlg, IDC_FC_XON_CHAR, &byXonChar);
    gstFlowCtrl.m_bXoffCharErr = fnReadCharBox(hDlg, IDC_FC_XOFF_CHAR, &byXoffChar);
    if (gstFlowCtrl.m_bXonCharErr == 1) {
        MessageBoxA(hDlg, "Xon Char Input Error!", gstCommx.m_achCurCommNumShort, MB_OK);
        return;
    }
    if (gstFlowCtrl.m_bXoffCharErr == 1) {
        MessageBoxA(hDlg, "Xoff Char Input Error!", gstCommx.m_achCurCommNumShort, MB_OK);
        return;
    }
    fnReadControls(hDlg, byXonChar, byXoffChar);
    gstFlowCtrl.m_stCur = gstFlowCtrl.m_stEdit;
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
    case IDC_FC_RTSCTS:
        OnPreset(hDlg, kstRtsCts);
        return TRUE;
    case IDC_FC_DTRDSR:
        OnPreset(hDlg, kstDtrDsr);
        return TRUE;
    case IDC_FC_XONXOFF:
        OnPreset(hDlg, kstXonXoff);
        return TRUE;
    case IDC_FC_DEFAULT:
        OnDefault(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK FlowCtrlDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
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

INT_PTR fnFlowCtrlDialog(HWND hOwner)
{
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_FLOWCONTROL), hOwner, FlowCtrlDlgProc, 0);
}
