#include "settings.h"

ComSetRecord gstComSet;
FlowCtrlRecord gstFlowCtrl;
TimeoutsRecord gstTimeouts;
TermOptRecord gstTermOpt;
DataTransRecord gstDataTrans;

ZDWORD fnGetDlgUint(HWND hDlg, int iId)
{
    // Room for the digits and then some: a longer text overflows anyway.
    char achText[32] = {0};
    GetDlgItemTextA(hDlg, iId, achText, sizeof achText);
    return fnDialogUint(achText);
}
