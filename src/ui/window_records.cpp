#include "window_records.h"

#include <cstring>

ToolbarRecord gstToolbar;
TerminalRecord gstTerminal;
StatusBarRecord gstStatusBar;
FileTransRecord gstFileTrans;
FileTxRecord gstFileTx;
FileRxRecord gstFileRx;
TxInfoRecord gstTxInfo;

namespace {

const char *const kapszTip[kToolbarButtons] = {
    "Open csi File", "Save csi File", "Exit",          "Open COM",         "Close COM",      "COM Set",
    "Clear Screen",  "File Transfer", "Data Transfer", "Display as ASCII", "Display as HEX", "Receive Enable",
};

// Display text and pattern "*.*", then the closing empty string.
const char kachAllFiles[] = "*.*\0*.*\0";

} // namespace

ToolbarRecord::ToolbarRecord() : m_hDlg(), m_ahButton(), m_bRxEnable(1), m_aachTip()
{
    for (int i = 0; i < kToolbarButtons; ++i) {
        lstrcpynA(m_aachTip[i], kapszTip[i], sizeof m_aachTip[i]);
    }
}

TerminalRecord::TerminalRecord()
    : m_hDlg(), m_hEdit(), m_hView(), m_stChooseFont(), m_stLogFont(), m_hFont(), m_hEchoEvent(),
      m_bClearScreen(0)
{
    lstrcpynA(m_stLogFont.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    m_stChooseFont.lStructSize = sizeof m_stChooseFont;
    m_stChooseFont.lpLogFont = &m_stLogFont;
    m_stChooseFont.iPointSize = 10;
    m_stChooseFont.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
}

StatusBarRecord::StatusBarRecord()
    : m_hDlg(), m_hSummary(), m_hDsr(), m_hCts(), m_hRi(), m_hDcd(), m_hDtr(), m_hRts(), m_hDc(), m_bDsr(0),
      m_bCts(0), m_bRi(0), m_bDcd(0), m_bDtr(1), m_bRts(1), m_achSummary()
{
}

FileTransRecord::FileTransRecord()
    : m_achFileName(), m_hFile(INVALID_HANDLE_VALUE), m_dwFileSizeHigh(0), m_dwFileSize(0), m_achTxFilter(),
      m_stTxOfn(), m_achRxFilter(), m_stRxOfn()
{
    std::memcpy(m_achTxFilter, kachAllFiles, sizeof kachAllFiles);
    std::memcpy(m_achRxFilter, kachAllFiles, sizeof kachAllFiles);
}
