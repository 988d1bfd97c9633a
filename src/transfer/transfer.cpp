#include "transfer.h"

#include <commctrl.h>

#include "data_transfer.h"
#include "file_transfer.h"
#include "jobs.h"
#include "resource.h"
#include "tx_info.h"
#include "ui_state.h"
#include "window_records.h"

int fnRunDataTransfer(HWND hMain)
{
    if (DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_DATATRANSFER), hMain, fnDataTransferProc,
                        0) != 1) {
        return 1;
    }
    fnBuildTxData();
    gstTxInfo.m_dwTxCount = 0;
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_TXINFO), hMain, fnTxInfoProc, 0);
    fnStopDataJob();
    return 0;
}

// The progress bar's class is registered before its dialog is created.
int fnRunFileTransfer(HWND hMain)
{
    if (DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_FILETRANSFER), hMain, fnFileDirProc, 0) !=
        1) {
        return kFileJobCancelled;
    }
    INITCOMMONCONTROLSEX stInit = {sizeof stInit, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&stInit);
    fnPrepareFileDialogs(hMain);
    return fnOpenAndStartFile(hMain);
}
