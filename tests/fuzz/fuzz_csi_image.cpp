// Arbitrary bytes as a settings file: decoding must never crash, and an image
// it accepts must hold only values the program itself could have saved.
#include "csi_image.h"
#include "fuzz_require.h"
#include "default_image.h"

#include <cstring>
#include <vector>

namespace {

bool IsFlag(ZDWORD b)
{
    return b == 0 || b == 1;
}

bool IsFlagOffset(ZDWORD dwOffset)
{
    return (dwOffset >= 52 && dwOffset <= 57) || dwOffset == 76 || dwOffset == 77;
}

void RequireInRange(const CsiFileData &st)
{
    const ComSetSel &stCom = st.m_stComSet;
    Require(stCom.m_nPort <= 255 && stCom.m_nBaud <= 26 && stCom.m_nDataBits <= 3 && stCom.m_nParity <= 4 &&
            stCom.m_nStopBits <= 2);
    const FlowBlock &stFlow = st.m_stFlow;
    Require(IsFlag(stFlow.m_bOutxCtsFlow) && IsFlag(stFlow.m_bOutxDsrFlow) &&
            IsFlag(stFlow.m_bDsrSensitivity) && IsFlag(stFlow.m_bOutX) && IsFlag(stFlow.m_bInX) &&
            IsFlag(stFlow.m_bTXContinueOnXoff));
    Require(stFlow.m_nDtrControl <= 2 && stFlow.m_nRtsControl <= 3);
    Require(IsFlag(st.m_bKeyboard) && IsFlag(st.m_bLocalEcho) && st.m_nEnterKey <= 2 && st.m_nDisplay <= 1 &&
            st.m_nCrTrans <= 2 && st.m_nLfTrans <= 2);
    for (int i = 0; i < kCsiTailCount; ++i) {
        const ZDWORD dwValue = st.m_stTail.m_adwValue[i];
        Require(dwValue >= kastCsiTail[i].m_dwMin && dwValue <= kastCsiTail[i].m_dwMax);
    }
    const PatternBlock &stPat = st.m_stPattern;
    Require(stPat.m_nPattern <= 2 && stPat.m_nCountMode <= 1);
    Require(stPat.m_dwAsciiLen >= 1 && stPat.m_dwAsciiLen <= 511);
    Require(stPat.m_dwHexLen >= 1 && stPat.m_dwHexLen <= 255);
    Require(stPat.m_byRangeEnd >= stPat.m_byRangeStart && stPat.m_dwRepeatCount >= 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    static CsiImage stCsi;
    static CsiImage stAgain;
    static const CsiImage &stPrevious = DefaultImage();
    const ZDWORD dwValid = cbData < kCsiImageSize ? static_cast<ZDWORD>(cbData) : kCsiImageSize;
    // Bytes beyond the input are those of an earlier, valid load.
    std::memcpy(stCsi.m_abyImage, stPrevious.m_abyImage, kCsiImageSize);
    if (dwValid != 0) {
        std::memcpy(stCsi.m_abyImage, pbyData, dwValid);
    }
    stCsi.m_dwValid = dwValid;
    const int nResult = fnBufToFileData(stCsi);
    Require(nResult >= 0 && (nResult <= kCsiFieldCount || nResult == kCsiTailFieldNumber));
    // The block's reader once more on the file's bytes alone, in a heap buffer
    // of their size, where ASan sees any read past them.
    const std::vector<ZBYTE> vecFile(pbyData, pbyData + dwValid);
    CsiTailData stTail = {};
    const bool bTail = fnReadTail(vecFile.data(), dwValid, stTail);
    Require(nResult == 0 ? bTail && std::memcmp(&stTail, &stCsi.m_stFileData.m_stTail, sizeof stTail) == 0
                         : nResult != kCsiTailFieldNumber || !bTail);
    if (nResult != 0) {
        return 0;
    }
    const ZBYTE abyHead[] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00};
    Require(dwValid >= kCsiFieldsEnd && std::memcmp(abyHead, stCsi.m_abyImage, 8) == 0);
    Require(stCsi.m_dwPos == kCsiFieldsEnd);
    RequireInRange(stCsi.m_stFileData);

    // What was accepted saves back byte for byte, flags written as 0xFF, and
    // loads again with the same settings in the block after the fields.
    stAgain.m_stFileData = stCsi.m_stFileData;
    fnFileDataToBuf(stAgain);
    for (ZDWORD i = 0; i < kCsiFieldsEnd; ++i) {
        const ZBYTE byRead = stCsi.m_abyImage[i];
        const ZBYTE byWant = IsFlagOffset(i) && byRead != 0 ? 0xFF : byRead;
        Require(stAgain.m_abyImage[i] == byWant);
    }
    Require(fnBufToFileData(stAgain) == 0);
    Require(std::memcmp(&stAgain.m_stFileData.m_stTail, &stCsi.m_stFileData.m_stTail, sizeof(CsiTailData)) ==
            0);
    return 0;
}
