#include "settings.h"

ComSetRecord gstComSet;
FlowCtrlRecord gstFlowCtrl;
TimeoutsRecord gstTimeouts;
TermOptRecord gstTermOpt;
DataTransRecord gstDataTrans;

ZDWORD fnGetDlgUint(HWND hDlg, int iId)
{
    // The whole text is read, leading blanks and zeros included; a text too
    // long for any sensible entry is taken as a number too large.
    char achText[256] = {0};
    if (GetWindowTextLengthA(GetDlgItem(hDlg, iId)) >= static_cast<int>(sizeof achText)) {
        return kDialogUintOverflow;
    }
    GetDlgItemTextA(hDlg, iId, achText, sizeof achText);
    return fnDialogUint(achText);
}
