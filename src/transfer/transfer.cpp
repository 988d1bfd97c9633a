#include "transfer.h"

#include <commctrl.h>

#include "data_transfer.h"
#include "file_transfer.h"
#include "jobs.h"
#include "resource.h"
#include "settings.h"
#include "tx_info.h"
#include "ui_state.h"
#include "window_records.h"
#include "xfer_dialog.h"

namespace {

const int kTransferBusy = -1;

// The main window is disabled while a transfer's dialogs are shown, yet a
// command posted to it is still dispatched by their modal loops: one
// transfer at a time, never one nested inside another.
struct TransferRunRecord {
    LONG m_bRunning;
};

TransferRunRecord gstTransferRun;

class TransferScope {
public:
    TransferScope() : m_bEntered(gstTransferRun.m_bRunning == 0)
    {
        gstTransferRun.m_bRunning = 1;
    }
    ~TransferScope()
    {
        if (m_bEntered) {
            gstTransferRun.m_bRunning = 0;
        }
    }
    bool Entered() const
    {
        return m_bEntered;
    }
    TransferScope(const TransferScope &) = delete;
    TransferScope &operator=(const TransferScope &) = delete;

private:
    bool m_bEntered;
};

int fnDataTransfer(HWND hMain)
{
    if (DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_DATATRANSFER), hMain, fnDataTransferProc, 0) != 1) {
        return 1;
    }
    fnBuildTxData();
    gstTxInfo.m_dwTxCount = 0;
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_TXINFO), hMain, fnTxInfoProc, 0);
    fnStopDataJob();
    return 0;
}

// The progress bar's class is registered before its dialog is created.
int fnFileTransfer(HWND hMain)
{
    if (DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_FILETRANSFER), hMain, fnFileDirProc, 0) != 1) {
        return kFileJobCancelled;
    }
    if (gstDataTrans.m_stXfer.m_nProtocol != 0) {
        return fnRunProtocolTransfer(hMain, gstFileDir.m_nDirection == 0);
    }
    INITCOMMONCONTROLSEX stInit = {sizeof stInit, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&stInit);
    fnPrepareFileDialogs(hMain);
    return fnOpenAndStartFile(hMain);
}

} // namespace

int fnRunDataTransfer(HWND hMain)
{
    TransferScope stScope;
    return stScope.Entered() ? fnDataTransfer(hMain) : kTransferBusy;
}

int fnRunFileTransfer(HWND hMain)
{
    TransferScope stScope;
    return stScope.Entered() ? fnFileTransfer(hMain) : kTransferBusy;
}

int fnRunAutoReceive(HWND hMain)
{
    TransferScope stScope;
    return stScope.Entered() ? fnRunXferAutoStart(hMain) : kTransferBusy;
}
