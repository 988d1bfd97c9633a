#include "csi_image.h"

#include <cstring>

namespace {

const ZDWORD kAny = 0xFFFFFFFFu;

// Decoding state: the number of the field being decoded, the first field
// that failed (0 while none has) and the bytes that may be decoded.
struct FieldReader {
    CsiImage *m_pstCsi;
    ZDWORD m_dwEnd;
    int m_nField;
    int m_nFailed;
};

// Counts the next field; true when it is to be decoded: nothing has failed
// yet and the field lies within the valid bytes.
bool fnNextField(FieldReader &stRd, ZDWORD dwSize)
{
    ++stRd.m_nField;
    if (stRd.m_nFailed != 0) {
        return false;
    }
    const ZDWORD dwPos = stRd.m_pstCsi->m_dwPos;
    if (dwPos > stRd.m_dwEnd || dwSize > stRd.m_dwEnd - dwPos) {
        stRd.m_nFailed = stRd.m_nField;
        return false;
    }
    return true;
}

void fnCheckField(FieldReader &stRd, bool bOk)
{
    if (!bOk) {
        stRd.m_nFailed = stRd.m_nField;
    }
}

void fnReadDword(FieldReader &stRd, ZDWORD *pdw, ZDWORD dwMin = 0, ZDWORD dwMax = kAny)
{
    if (fnNextField(stRd, 4)) {
        CsiImage &stCsi = *stRd.m_pstCsi;
        fnCheckField(stRd, fnGetDword(stCsi.m_abyImage, &stCsi.m_dwPos, pdw) != 0 && *pdw >= dwMin &&
                               *pdw <= dwMax);
    }
}

void fnReadBool(FieldReader &stRd, ZDWORD *pb)
{
    if (fnNextField(stRd, 1)) {
        CsiImage &stCsi = *stRd.m_pstCsi;
        fnCheckField(stRd, fnGetBool(stCsi.m_abyImage, &stCsi.m_dwPos, pb) != 0);
    }
}

void fnReadByte(FieldReader &stRd, ZBYTE *pby, ZBYTE byMin = 0)
{
    if (fnNextField(stRd, 1)) {
        CsiImage &stCsi = *stRd.m_pstCsi;
        fnCheckField(stRd, fnGetByte(stCsi.m_abyImage, &stCsi.m_dwPos, pby) != 0 && *pby >= byMin);
    }
}

void fnReadBytes(FieldReader &stRd, void *pv, ZDWORD dwCount)
{
    if (fnNextField(stRd, dwCount)) {
        CsiImage &stCsi = *stRd.m_pstCsi;
        fnCheckField(stRd, fnGetBytes(stCsi.m_abyImage, &stCsi.m_dwPos, pv, dwCount) != 0);
    }
}

void fnReadComSet(FieldReader &stRd, ComSetSel &st)
{
    fnReadDword(stRd, &st.m_nPort, 0, kPortCount - 1);
    fnReadDword(stRd, &st.m_nBaud, 0, kBaudCount - 1);
    fnReadDword(stRd, &st.m_nDataBits, 0, kDataBitsCount - 1);
    fnReadDword(stRd, &st.m_nParity, 0, kParityCount - 1);
    fnReadDword(stRd, &st.m_nStopBits, 0, kStopBitsCount - 1);
    fnReadDword(stRd, &st.m_dwUserBaud);
}

void fnReadTimeouts(FieldReader &stRd, TimeoutsBlock &st)
{
    fnReadDword(stRd, &st.ReadIntervalTimeout);
    fnReadDword(stRd, &st.ReadTotalTimeoutMultiplier);
    fnReadDword(stRd, &st.ReadTotalTimeoutConstant);
    fnReadDword(stRd, &st.WriteTotalTimeoutMultiplier);
    fnReadDword(stRd, &st.WriteTotalTimeoutConstant);
}

void fnReadFlow(FieldReader &stRd, FlowBlock &st)
{
    fnReadBool(stRd, &st.m_bOutxCtsFlow);
    fnReadBool(stRd, &st.m_bOutxDsrFlow);
    fnReadBool(stRd, &st.m_bDsrSensitivity);
    fnReadBool(stRd, &st.m_bOutX);
    fnReadBool(stRd, &st.m_bInX);
    fnReadBool(stRd, &st.m_bTXContinueOnXoff);
    fnReadDword(stRd, &st.m_nDtrControl, 0, 2);
    fnReadDword(stRd, &st.m_nRtsControl, 0, 3);
    fnReadDword(stRd, &st.m_dwXonLim);
    fnReadDword(stRd, &st.m_dwXoffLim);
    fnReadByte(stRd, &st.m_chXonChar);
    fnReadByte(stRd, &st.m_chXoffChar);
}

void fnReadTermOpt(FieldReader &stRd, CsiFileData &st)
{
    fnReadBool(stRd, &st.m_bKeyboard);
    fnReadBool(stRd, &st.m_bLocalEcho);
    fnReadDword(stRd, &st.m_nEnterKey, 0, 2);
    fnReadDword(stRd, &st.m_nDisplay, 0, 1);
    fnReadDword(stRd, &st.m_nCrTrans, 0, 2);
    fnReadDword(stRd, &st.m_nLfTrans, 0, 2);
}

void fnReadPattern(FieldReader &stRd, PatternBlock &st)
{
    fnReadDword(stRd, &st.m_nPattern, 0, 2);
    fnReadDword(stRd, &st.m_nCountMode, 0, 1);
    fnReadBytes(stRd, st.m_achAscii, kPatternBytes);
    fnReadDword(stRd, &st.m_dwAsciiLen, 1, kCsiMaxAsciiLen);
    fnReadBytes(stRd, st.m_abyHex, kPatternBytes);
    fnReadDword(stRd, &st.m_dwHexLen, 1, kCsiMaxHexLen);
    fnReadByte(stRd, &st.m_byRangeStart);
    fnReadByte(stRd, &st.m_byRangeEnd, st.m_byRangeStart);
    fnReadDword(stRd, &st.m_dwRepeatCount, 1);
    fnReadDword(stRd, &st.m_dwInterval);
}

void fnWriteComSet(CsiImage &stCsi, const ComSetSel &st)
{
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nPort);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nBaud);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nDataBits);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nParity);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nStopBits);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwUserBaud);
}

void fnWriteTimeouts(CsiImage &stCsi, const TimeoutsBlock &st)
{
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.ReadIntervalTimeout);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.ReadTotalTimeoutMultiplier);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.ReadTotalTimeoutConstant);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.WriteTotalTimeoutMultiplier);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.WriteTotalTimeoutConstant);
}

void fnWriteFlow(CsiImage &stCsi, const FlowBlock &st)
{
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bOutxCtsFlow);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bOutxDsrFlow);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bDsrSensitivity);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bOutX);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bInX);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bTXContinueOnXoff);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nDtrControl);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nRtsControl);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwXonLim);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwXoffLim);
    fnPutByte(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_chXonChar);
    fnPutByte(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_chXoffChar);
}

void fnWriteTermOpt(CsiImage &stCsi, const CsiFileData &st)
{
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bKeyboard);
    fnPutBool(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_bLocalEcho);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nEnterKey);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nDisplay);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nCrTrans);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nLfTrans);
}

void fnWritePattern(CsiImage &stCsi, const PatternBlock &st)
{
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nPattern);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_nCountMode);
    fnPutBytes(stCsi.m_abyImage, &stCsi.m_dwPos, st.m_achAscii, kPatternBytes);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwAsciiLen);
    fnPutBytes(stCsi.m_abyImage, &stCsi.m_dwPos, st.m_abyHex, kPatternBytes);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwHexLen);
    fnPutByte(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_byRangeStart);
    fnPutByte(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_byRangeEnd);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwRepeatCount);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &st.m_dwInterval);
}

void fnLogToTail(const LogSettings &stLog, CsiTailData &stTail)
{
    ZDWORD *pdw = stTail.m_adwValue;
    pdw[kTailLogFormat] = stLog.m_nFormat;
    pdw[kTailLogStamp] = stLog.m_nStamp;
    pdw[kTailLogDirs] = stLog.m_nDirs;
    pdw[kTailLogPause] = stLog.m_dwPauseMs;
    pdw[kTailLogAppend] = stLog.m_bAppend;
    pdw[kTailLogRotate] = stLog.m_nRotate;
    pdw[kTailLogRotateBytes] = stLog.m_dwRotateBytes;
    pdw[kTailLogOnOpening] = stLog.m_bOnOpening;
    std::memcpy(stTail.m_achLogPattern, stLog.m_achPattern, sizeof stTail.m_achLogPattern);
}

void fnLogFromTail(const CsiTailData &stTail, LogSettings &stLog)
{
    const ZDWORD *pdw = stTail.m_adwValue;
    stLog.m_nFormat = pdw[kTailLogFormat];
    stLog.m_nStamp = pdw[kTailLogStamp];
    stLog.m_nDirs = pdw[kTailLogDirs];
    stLog.m_dwPauseMs = pdw[kTailLogPause];
    stLog.m_bAppend = pdw[kTailLogAppend];
    stLog.m_nRotate = pdw[kTailLogRotate];
    stLog.m_dwRotateBytes = pdw[kTailLogRotateBytes];
    stLog.m_bOnOpening = pdw[kTailLogOnOpening];
    std::memcpy(stLog.m_achPattern, stTail.m_achLogPattern, sizeof stLog.m_achPattern);
}

// A double as its IEEE 754 bits in two values of the block, low half first,
// so that any limit comes back exactly.
void fnPutDouble(ZDWORD *pdwTail, int nLow, double d)
{
    std::uint64_t qw = 0;
    std::memcpy(&qw, &d, sizeof qw);
    pdwTail[nLow] = static_cast<ZDWORD>(qw);
    pdwTail[nLow + 1] = static_cast<ZDWORD>(qw >> 32);
}

double fnGetDouble(const ZDWORD *pdwTail, int nLow)
{
    const std::uint64_t qw = pdwTail[nLow] | static_cast<std::uint64_t>(pdwTail[nLow + 1]) << 32;
    double d = 0;
    std::memcpy(&d, &qw, sizeof d);
    return d;
}

} // namespace

CsiImage::CsiImage() : m_abyImage(), m_dwPos(0), m_dwValid(0), m_stFileData()
{
    m_stFileData.m_dwFormat = kCsiFormat;
    m_stFileData.m_dwImageSize = kCsiImageSize;
}

int fnBufToFileData(CsiImage &stCsi)
{
    CsiFileData &stData = stCsi.m_stFileData;
    FieldReader stRd = {&stCsi, stCsi.m_dwValid < kCsiImageSize ? stCsi.m_dwValid : kCsiImageSize, 0, 0};
    ZDWORD dwFormat = 0;
    ZDWORD dwImageSize = 0;
    stCsi.m_dwPos = 0;
    fnReadDword(stRd, &dwFormat, kCsiFormat, kCsiFormat);
    fnReadDword(stRd, &dwImageSize, kCsiImageSize, kCsiImageSize);
    fnReadComSet(stRd, stData.m_stComSet);
    fnReadTimeouts(stRd, stData.m_stTimeouts);
    fnReadFlow(stRd, stData.m_stFlow);
    fnReadTermOpt(stRd, stData);
    fnReadPattern(stRd, stData.m_stPattern);
    if (stRd.m_nFailed == 0 && !fnReadTail(stCsi.m_abyImage, stRd.m_dwEnd, stData.m_stTail)) {
        stRd.m_nFailed = kCsiTailFieldNumber;
    }
    return stRd.m_nFailed;
}

void fnFileDataToBuf(CsiImage &stCsi)
{
    const CsiFileData &stData = stCsi.m_stFileData;
    stCsi.m_dwPos = 0;
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &stData.m_dwFormat);
    fnPutDword(stCsi.m_abyImage, &stCsi.m_dwPos, &stData.m_dwImageSize);
    fnWriteComSet(stCsi, stData.m_stComSet);
    fnWriteTimeouts(stCsi, stData.m_stTimeouts);
    fnWriteFlow(stCsi, stData.m_stFlow);
    fnWriteTermOpt(stCsi, stData);
    fnWritePattern(stCsi, stData.m_stPattern);
    fnWriteTail(stCsi.m_abyImage, stData.m_stTail);
    stCsi.m_dwValid = kCsiImageSize;
}

void fnSettingsToFileData(CsiImage &stCsi, const CsiRecords &stRecords)
{
    CsiFileData &stData = stCsi.m_stFileData;
    const TermOptBlock &stTermOpt = stRecords.m_pstTermOpt->m_stCur;
    stData.m_dwFormat = kCsiFormat;
    stData.m_dwImageSize = kCsiImageSize;
    stData.m_stComSet = stRecords.m_pstComSet->m_stCur;
    stData.m_stTimeouts = stRecords.m_pstTimeouts->m_stCur;
    stData.m_stFlow = stRecords.m_pstFlowCtrl->m_stCur;
    stData.m_bKeyboard = stTermOpt.m_bKeyboard;
    stData.m_bLocalEcho = stTermOpt.m_bLocalEcho;
    stData.m_nEnterKey = stTermOpt.m_nEnterKey;
    stData.m_nDisplay = stTermOpt.m_nDisplay;
    stData.m_nCrTrans = stTermOpt.m_nCrTrans;
    stData.m_nLfTrans = stTermOpt.m_nLfTrans;
    stData.m_stPattern = stRecords.m_pstDataTrans->m_stCur;
    ZDWORD *pdwTail = stData.m_stTail.m_adwValue;
    pdwTail[kTailHistory] = stTermOpt.m_nHistory;
    pdwTail[kTailConsole] = stTermOpt.m_bConsole;
    pdwTail[kTailTimestamps] = stTermOpt.m_bTimestamps;
    pdwTail[kTailBackspace] = stTermOpt.m_nBackspace;
    pdwTail[kTailConsoleEnter] = stTermOpt.m_nConsoleEnter;
    pdwTail[kTailConsoleSize] = stTermOpt.m_bFollowSize;
    pdwTail[kTailReopen] = stRecords.m_pstComSet->m_stCur.m_bReopen;
    pdwTail[kTailPrbs] = stRecords.m_pstDataTrans->m_stCur.m_nPrbs;
    pdwTail[kTailRxStream] = stRecords.m_pstDataTrans->m_nRxStream;
    pdwTail[kTailPortCheck] = stRecords.m_pstComSet->m_stCur.m_bPortCheck;
    const XferChoice &stXfer = stRecords.m_pstDataTrans->m_stXfer;
    pdwTail[kTailXferProtocol] = stXfer.m_nProtocol;
    pdwTail[kTailXmodemBlock] = stXfer.m_nXmodemVariant;
    pdwTail[kTailZEscapeAll] = stXfer.m_bEscapeAll;
    pdwTail[kTailZCrc32] = stXfer.m_bCrc32;
    pdwTail[kTailXferWait] = stXfer.m_dwFirstWait;
    pdwTail[kTailZAutoStart] = stXfer.m_bAutoStart;
    fnLogToTail(*stRecords.m_pstLog, stData.m_stTail);
}

void fnFileDataToSettings(const CsiImage &stCsi, const CsiRecords &stRecords)
{
    const CsiFileData &stData = stCsi.m_stFileData;
    TermOptBlock &stTermOpt = stRecords.m_pstTermOpt->m_stCur;
    stRecords.m_pstComSet->m_stCur = stData.m_stComSet;
    stRecords.m_pstTimeouts->m_stCur = stData.m_stTimeouts;
    stRecords.m_pstFlowCtrl->m_stCur = stData.m_stFlow;
    stTermOpt.m_bKeyboard = stData.m_bKeyboard;
    stTermOpt.m_bLocalEcho = stData.m_bLocalEcho;
    stTermOpt.m_nEnterKey = stData.m_nEnterKey;
    stTermOpt.m_nDisplay = stData.m_nDisplay;
    stTermOpt.m_nCrTrans = stData.m_nCrTrans;
    stTermOpt.m_nLfTrans = stData.m_nLfTrans;
    stRecords.m_pstDataTrans->m_stCur = stData.m_stPattern;
    const ZDWORD *pdwTail = stData.m_stTail.m_adwValue;
    stTermOpt.m_nHistory = pdwTail[kTailHistory];
    stTermOpt.m_bConsole = pdwTail[kTailConsole];
    stTermOpt.m_bTimestamps = pdwTail[kTailTimestamps];
    stTermOpt.m_nBackspace = pdwTail[kTailBackspace];
    stTermOpt.m_nConsoleEnter = pdwTail[kTailConsoleEnter];
    stTermOpt.m_bFollowSize = pdwTail[kTailConsoleSize];
    stRecords.m_pstComSet->m_stCur.m_bReopen = pdwTail[kTailReopen];
    stRecords.m_pstDataTrans->m_stCur.m_nPrbs = pdwTail[kTailPrbs];
    stRecords.m_pstDataTrans->m_nRxStream = pdwTail[kTailRxStream];
    stRecords.m_pstComSet->m_stCur.m_bPortCheck = pdwTail[kTailPortCheck];
    XferChoice &stXfer = stRecords.m_pstDataTrans->m_stXfer;
    stXfer.m_nProtocol = pdwTail[kTailXferProtocol];
    stXfer.m_nXmodemVariant = pdwTail[kTailXmodemBlock];
    stXfer.m_bEscapeAll = pdwTail[kTailZEscapeAll];
    stXfer.m_bCrc32 = pdwTail[kTailZCrc32];
    stXfer.m_dwFirstWait = pdwTail[kTailXferWait];
    stXfer.m_bAutoStart = pdwTail[kTailZAutoStart];
    fnLogFromTail(stData.m_stTail, *stRecords.m_pstLog);
}

void fnPlotToFileData(CsiImage &stCsi, const PlotSettings &st)
{
    ZDWORD *pdwTail = stCsi.m_stFileData.m_stTail.m_adwValue;
    pdwTail[kTailPlotFormats] = st.m_byFormats;
    pdwTail[kTailPlotAxis] = st.m_byAxis;
    pdwTail[kTailPlotYFixed] = st.m_bYFixed ? 1 : 0;
    pdwTail[kTailPlotSeconds] = st.m_dwSpanSeconds;
    pdwTail[kTailPlotLines] = st.m_dwSpanLines;
    fnPutDouble(pdwTail, kTailPlotYMinLow, st.m_dYMin);
    fnPutDouble(pdwTail, kTailPlotYMaxLow, st.m_dYMax);
}

// The block's ranges keep the whole numbers in range; the limits are
// checked as a pair.
void fnFileDataToPlot(const CsiImage &stCsi, PlotSettings &st)
{
    const ZDWORD *pdwTail = stCsi.m_stFileData.m_stTail.m_adwValue;
    st.m_byFormats = static_cast<std::uint8_t>(pdwTail[kTailPlotFormats]);
    st.m_byAxis = static_cast<std::uint8_t>(pdwTail[kTailPlotAxis]);
    st.m_bYFixed = pdwTail[kTailPlotYFixed] != 0;
    st.m_dwSpanSeconds = pdwTail[kTailPlotSeconds];
    st.m_dwSpanLines = pdwTail[kTailPlotLines];
    st.m_dYMin = fnGetDouble(pdwTail, kTailPlotYMinLow);
    st.m_dYMax = fnGetDouble(pdwTail, kTailPlotYMaxLow);
    fnPlotSettingsCheck(st);
}
