#include "settings.h"

CommxRecord gstCommx;

CommxRecord::CommxRecord()
    : m_hComm(INVALID_HANDLE_VALUE), m_achCurCommNum(), m_achCurCommNumShort(), m_bCommOpen(0),
      m_aachInfoLine(), m_achDcbInfo(), m_achTimeoutsInfo(), m_achCommPropInfo(), m_stDcb(), m_stTimeouts(),
      m_stCommProp(), m_dwSession(0), m_stHeld(), m_bHeldKnown(0), m_bWaiting(0), m_bReopened(0)
{
}

namespace {

void fnRebuildNames(const ComSetSel &stSel)
{
    fnFormatPortPath(gstCommx.m_achCurCommNum, sizeof gstCommx.m_achCurCommNum, stSel.m_nPort);
    fnFormatPortShort(gstCommx.m_achCurCommNumShort, sizeof gstCommx.m_achCurCommNumShort, stSel.m_nPort);
}

void fnRebuildLine(DCB &stDcb, const ComSetSel &stSel)
{
    stDcb.BaudRate = fnBaudRateOf(stSel.m_nBaud, stSel.m_dwUserBaud);
    stDcb.ByteSize = fnByteSizeOf(stSel.m_nDataBits);
    stDcb.Parity = fnParityOf(stSel.m_nParity);
    stDcb.fParity = stDcb.Parity != NOPARITY ? 1 : 0;
    stDcb.StopBits = fnStopBitsOf(stSel.m_nStopBits);
}

void fnRebuildFlow(DCB &stDcb, const FlowBlock &stFlow)
{
    stDcb.fOutxCtsFlow = stFlow.m_bOutxCtsFlow & 1;
    stDcb.fOutxDsrFlow = stFlow.m_bOutxDsrFlow & 1;
    stDcb.fDsrSensitivity = stFlow.m_bDsrSensitivity & 1;
    stDcb.fDtrControl = fnDtrControlOf(stFlow.m_nDtrControl);
    stDcb.fRtsControl = fnRtsControlOf(stFlow.m_nRtsControl);
    stDcb.fOutX = stFlow.m_bOutX & 1;
    stDcb.fInX = stFlow.m_bInX & 1;
    stDcb.fTXContinueOnXoff = stFlow.m_bTXContinueOnXoff & 1;
    stDcb.XonLim = static_cast<WORD>(stFlow.m_dwXonLim);
    stDcb.XoffLim = static_cast<WORD>(stFlow.m_dwXoffLim);
    stDcb.XonChar = static_cast<char>(stFlow.m_chXonChar);
    stDcb.XoffChar = static_cast<char>(stFlow.m_chXoffChar);
    stDcb.fAbortOnError = 0;
}

void fnRebuildTimeouts(COMMTIMEOUTS &stTo, const TimeoutsBlock &stCur)
{
    stTo.ReadIntervalTimeout = stCur.ReadIntervalTimeout;
    stTo.ReadTotalTimeoutMultiplier = stCur.ReadTotalTimeoutMultiplier;
    stTo.ReadTotalTimeoutConstant = stCur.ReadTotalTimeoutConstant;
    stTo.WriteTotalTimeoutMultiplier = stCur.WriteTotalTimeoutMultiplier;
    stTo.WriteTotalTimeoutConstant = stCur.WriteTotalTimeoutConstant;
}

} // namespace

void fnRebuildCommx()
{
    fnRebuildNames(gstComSet.m_stCur);
    fnRebuildLine(gstCommx.m_stDcb, gstComSet.m_stCur);
    fnRebuildFlow(gstCommx.m_stDcb, gstFlowCtrl.m_stCur);
    fnRebuildTimeouts(gstCommx.m_stTimeouts, gstTimeouts.m_stCur);
}

LineFormat fnLineOfDcb(const DCB &stDcb)
{
    LineFormat st = {};
    st.m_dwBaud = stDcb.BaudRate;
    st.m_byByteSize = stDcb.ByteSize;
    st.m_byParity = stDcb.Parity;
    st.m_byStopBits = stDcb.StopBits;
    return st;
}

void fnCommxSummary(char *pchOut, int cchOut)
{
    if (cchOut <= 0) {
        return;
    }
    if (gstCommx.m_bWaiting) {
        fnFormatWaitingSummary(pchOut, static_cast<std::size_t>(cchOut), gstCommx.m_achCurCommNumShort);
        return;
    }
    fnCommxLineSummary(pchOut, cchOut);
}

// A line the driver holds differently is shown only with the port check on.
void fnCommxLineSummary(char *pchOut, int cchOut)
{
    const std::size_t cch = static_cast<std::size_t>(cchOut);
    const LineFormat stAsked = fnLineOfDcb(gstCommx.m_stDcb);
    if (gstComSet.m_stCur.m_bPortCheck && gstCommx.m_bHeldKnown &&
        fnLineDiffers(stAsked, gstCommx.m_stHeld)) {
        fnFormatHeldSummary(pchOut, cch, gstCommx.m_achCurCommNumShort, stAsked, gstCommx.m_stHeld);
        return;
    }
    fnFormatSummary(pchOut, static_cast<std::size_t>(cchOut), gstCommx.m_achCurCommNumShort,
                    static_cast<long>(static_cast<LONG>(gstCommx.m_stDcb.BaudRate)), gstComSet);
}
