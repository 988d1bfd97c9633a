#include "tx_info.h"

#include "ccc.h"
#include "dialog_place.h"
#include "hex_text.h"
#include "jobs.h"
#include "resource.h"
#include "settings.h"
#include "window_records.h"

namespace {

const ZDWORD kMaxShownBytes = (sizeof gstTxInfo.m_achDataHex - 1) / 3;

// The user and the transmit thread may both want to close the dialog at
// once. Whoever takes gstTxInfo.m_hDlg from hDlg to null closes it, so the
// thread never sends its OK to a dialog the user has already closed, and the
// counter updates stop reaching the dialog with it.
bool fnTakeEnd(HWND hDlg)
{
    PVOID volatile *ppvDlg = reinterpret_cast<PVOID volatile *>(&gstTxInfo.m_hDlg);
    return hDlg != NULL && InterlockedCompareExchangePointer(ppvDlg, NULL, hDlg) == hDlg;
}

void fnStoreHandles(HWND hDlg)
{
    gstTxInfo.m_hPort = GetDlgItem(hDlg, IDC_TI_PORT);
    gstTxInfo.m_hTotalBytes = GetDlgItem(hDlg, IDC_TI_TOTAL_BYTES);
    gstTxInfo.m_hDataHex = GetDlgItem(hDlg, IDC_TI_DATA_HEX);
    gstTxInfo.m_hRepeat = GetDlgItem(hDlg, IDC_TI_REPEAT);
    gstTxInfo.m_hCount = GetDlgItem(hDlg, IDC_TI_COUNT);
}

void fnShowJob(HWND hDlg)
{
    const TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    SetDlgItemTextA(hDlg, IDC_TI_PORT, gstCommx.m_achCurCommNumShort);
    wsprintfA(gstTxInfo.m_achTotalBytes, "TotalBytes: %d", static_cast<int>(stData.m_dwLen));
    SetDlgItemTextA(hDlg, IDC_TI_TOTAL_BYTES, gstTxInfo.m_achTotalBytes);

    gstTxInfo.m_achDataHex[0] = '\0';
    fnBufToHexStr(stData.m_abyBuf, gstTxInfo.m_achDataHex,
                  stData.m_dwLen < kMaxShownBytes ? stData.m_dwLen : kMaxShownBytes);
    SetDlgItemTextA(hDlg, IDC_TI_DATA_HEX, gstTxInfo.m_achDataHex);

    if (gstDataTrans.m_stCur.m_nCountMode == 0) {
        SetDlgItemTextA(hDlg, IDC_TI_REPEAT, "Send Until User Break");
    } else if (gstDataTrans.m_stCur.m_nCountMode == 1) {
        wsprintfA(gstTxInfo.m_achRepeat, "%lu",
                  static_cast<unsigned long>(gstDataTrans.m_stCur.m_dwRepeatCount));
        SetDlgItemTextA(hDlg, IDC_TI_REPEAT, gstTxInfo.m_achRepeat);
    }
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstTxInfo.m_hDlg = hDlg;
    fnStoreHandles(hDlg);
    fnShowJob(hDlg);
    fnStartDataJob();
    return TRUE;
}

// OK, Enter and Esc all stop the job, at once: tearing the dialog down can
// take a while, and no packet may start meanwhile. Only the transmit thread
// sends OK with no control behind it; when the thread has taken the end, a
// click of the user waits for that OK, which is on its way.
void OnCloseRequest(HWND hDlg, WPARAM wParam, LPARAM lParam)
{
    bool bFromThread = wParam == IDOK && lParam == 0;
    if (!fnTakeEnd(hDlg) && !bFromThread) {
        return;
    }
    fnStopDataJob();
    EndDialog(hDlg, 1);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case IDOK:
    case IDCANCEL:
        OnCloseRequest(hDlg, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK fnTxInfoProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam, lParam);
    default:
        return FALSE;
    }
}

void fnTxInfoEndByThread(HWND hDlg)
{
    if (fnTakeEnd(hDlg)) {
        SendMessageA(hDlg, WM_COMMAND, IDOK, 0);
    }
}
