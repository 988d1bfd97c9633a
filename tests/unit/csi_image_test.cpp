#include "csi_image.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

namespace {

enum Kind { kDword, kFlag, kByte, kBytes };

struct Field {
    int nField;
    ZDWORD dwOffset;
    Kind eKind;
    std::size_t cbMember; // offset of the member in CsiFileData
    ZDWORD dwSample;      // a value that passes the field's load check
};

#define ZF(member) offsetof(CsiFileData, member)

const Field kastFields[kCsiFieldCount] = {
    {1, 0, kDword, ZF(m_dwFormat), 1},
    {2, 4, kDword, ZF(m_dwImageSize), 4096},
    {3, 8, kDword, ZF(m_stComSet.m_nPort), 200},
    {4, 12, kDword, ZF(m_stComSet.m_nBaud), 26},
    {5, 16, kDword, ZF(m_stComSet.m_nDataBits), 2},
    {6, 20, kDword, ZF(m_stComSet.m_nParity), 4},
    {7, 24, kDword, ZF(m_stComSet.m_nStopBits), 2},
    {8, 28, kDword, ZF(m_stComSet.m_dwUserBaud), 14400},
    {9, 32, kDword, ZF(m_stTimeouts.ReadIntervalTimeout), 0xA1B2C309},
    {10, 36, kDword, ZF(m_stTimeouts.ReadTotalTimeoutMultiplier), 0xA1B2C30A},
    {11, 40, kDword, ZF(m_stTimeouts.ReadTotalTimeoutConstant), 0xA1B2C30B},
    {12, 44, kDword, ZF(m_stTimeouts.WriteTotalTimeoutMultiplier), 0xA1B2C30C},
    {13, 48, kDword, ZF(m_stTimeouts.WriteTotalTimeoutConstant), 0xA1B2C30D},
    {14, 52, kFlag, ZF(m_stFlow.m_bOutxCtsFlow), 1},
    {15, 53, kFlag, ZF(m_stFlow.m_bOutxDsrFlow), 1},
    {16, 54, kFlag, ZF(m_stFlow.m_bDsrSensitivity), 1},
    {17, 55, kFlag, ZF(m_stFlow.m_bOutX), 1},
    {18, 56, kFlag, ZF(m_stFlow.m_bInX), 1},
    {19, 57, kFlag, ZF(m_stFlow.m_bTXContinueOnXoff), 1},
    {20, 58, kDword, ZF(m_stFlow.m_nDtrControl), 2},
    {21, 62, kDword, ZF(m_stFlow.m_nRtsControl), 3},
    {22, 66, kDword, ZF(m_stFlow.m_dwXonLim), 70000},
    {23, 70, kDword, ZF(m_stFlow.m_dwXoffLim), 0xA1B2C317},
    {24, 74, kByte, ZF(m_stFlow.m_chXonChar), 0x91},
    {25, 75, kByte, ZF(m_stFlow.m_chXoffChar), 0x93},
    {26, 76, kFlag, ZF(m_bKeyboard), 1},
    {27, 77, kFlag, ZF(m_bLocalEcho), 1},
    {28, 78, kDword, ZF(m_nEnterKey), 2},
    {29, 82, kDword, ZF(m_nDisplay), 1},
    {30, 86, kDword, ZF(m_nCrTrans), 1},
    {31, 90, kDword, ZF(m_nLfTrans), 1},
    {32, 94, kDword, ZF(m_stPattern.m_nPattern), 2},
    {33, 98, kDword, ZF(m_stPattern.m_nCountMode), 1},
    {34, 102, kBytes, ZF(m_stPattern.m_achAscii), 34},
    {35, 614, kDword, ZF(m_stPattern.m_dwAsciiLen), 511},
    {36, 618, kBytes, ZF(m_stPattern.m_abyHex), 36},
    {37, 1130, kDword, ZF(m_stPattern.m_dwHexLen), 255},
    {38, 1134, kByte, ZF(m_stPattern.m_byRangeStart), 0x05},
    {39, 1135, kByte, ZF(m_stPattern.m_byRangeEnd), 0xFE},
    {40, 1136, kDword, ZF(m_stPattern.m_dwRepeatCount), 0xA1B2C328},
    {41, 1140, kDword, ZF(m_stPattern.m_dwInterval), 0xA1B2C329},
};

#undef ZF

ZDWORD SizeOf(const Field &st)
{
    const ZDWORD adwSize[] = {4, 1, 1, kPatternBytes};
    return adwSize[st.eKind];
}

// How the field holds the value in the image; runs hold a seeded pattern of
// non-zero bytes.
std::vector<ZBYTE> Encoded(const Field &st, ZDWORD dw)
{
    std::vector<ZBYTE> vec(SizeOf(st));
    for (std::size_t i = 0; i < vec.size(); ++i) {
        switch (st.eKind) {
        case kDword:
            vec[i] = static_cast<ZBYTE>(dw >> (8 * i));
            break;
        case kFlag:
            vec[i] = dw == 1 ? 0xFF : 0x00;
            break;
        case kByte:
            vec[i] = static_cast<ZBYTE>(dw);
            break;
        case kBytes:
            vec[i] = static_cast<ZBYTE>((dw + i) % 255 + 1);
            break;
        }
    }
    return vec;
}

ZBYTE *MemberOf(CsiFileData &stData, const Field &st)
{
    return reinterpret_cast<ZBYTE *>(&stData) + st.cbMember;
}

void SetField(CsiFileData &stData, const Field &st, ZDWORD dw)
{
    ZBYTE *pby = MemberOf(stData, st);
    if (st.eKind == kDword || st.eKind == kFlag) {
        std::memcpy(pby, &dw, 4);
    } else {
        const std::vector<ZBYTE> vec = Encoded(st, dw);
        std::memcpy(pby, vec.data(), vec.size());
    }
}

void ExpectField(CsiFileData &stData, const Field &st, ZDWORD dw)
{
    const ZBYTE *pby = MemberOf(stData, st);
    if (st.eKind == kDword || st.eKind == kFlag) {
        ZDWORD dwGot;
        std::memcpy(&dwGot, pby, 4);
        EXPECT_EQ(dw, dwGot) << "field " << st.nField;
    } else {
        const std::vector<ZBYTE> vec = Encoded(st, dw);
        EXPECT_EQ(0, std::memcmp(vec.data(), pby, vec.size())) << "field " << st.nField;
    }
}

void Poke(CsiImage &stCsi, const Field &st, ZDWORD dw)
{
    const std::vector<ZBYTE> vec = Encoded(st, dw);
    std::memcpy(stCsi.m_abyImage + st.dwOffset, vec.data(), vec.size());
}

struct Records {
    ComSetData m_stComSet;
    TimeoutsData m_stTimeouts;
    FlowCtrlData m_stFlow;
    TermOptData m_stTermOpt;
    DataTransData m_stDataTrans;
    LogSettings m_stLog = fnLogDefaults();
    CsiRecords Refs()
    {
        return {&m_stComSet, &m_stTimeouts, &m_stFlow, &m_stTermOpt, &m_stDataTrans, &m_stLog};
    }
};

// The image a save with these records writes.
void Encode(CsiImage &stCsi, Records &stRec)
{
    fnSettingsToFileData(stCsi, stRec.Refs());
    fnFileDataToBuf(stCsi);
}

void EncodeDefaults(CsiImage &stCsi)
{
    Records stRec;
    Encode(stCsi, stRec);
}

} // namespace

TEST(CsiImage, FreshImageAndDefaultFileBytes)
{
    CsiImage stCsi;
    EXPECT_EQ(1u, stCsi.m_stFileData.m_dwFormat);
    EXPECT_EQ(4096u, stCsi.m_stFileData.m_dwImageSize);
    EXPECT_EQ(0u, stCsi.m_stFileData.m_stComSet.m_nBaud);
    EXPECT_EQ(0u, stCsi.m_dwPos);
    EXPECT_EQ(1, fnBufToFileData(stCsi));

    EncodeDefaults(stCsi);
    const ZBYTE abyStart[] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
    const ZBYTE abyUserBaud[] = {0x80, 0x25, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(abyStart, stCsi.m_abyImage, sizeof abyStart));
    EXPECT_EQ(0, std::memcmp(abyUserBaud, stCsi.m_abyImage + 28, sizeof abyUserBaud));
    EXPECT_EQ(kCsiFieldsEnd, stCsi.m_dwPos);
    EXPECT_EQ(0, fnBufToFileData(stCsi));
    EXPECT_EQ(kCsiFieldsEnd, stCsi.m_dwPos);
}

TEST(CsiImage, EachFieldIsWrittenAtItsOffsetAlone)
{
    for (const Field &st : kastFields) {
        CsiImage stCsi;
        stCsi.m_stFileData = CsiFileData();
        // Some settings of the block after the fields default to non-zero.
        stCsi.m_stFileData.m_stTail = fnDefaultTail();
        SetField(stCsi.m_stFileData, st, st.dwSample);
        fnFileDataToBuf(stCsi);
        const std::vector<ZBYTE> vec = Encoded(st, st.dwSample);
        for (ZDWORD i = 0; i < kCsiImageSize; ++i) {
            const bool bInField = i >= st.dwOffset && i < st.dwOffset + vec.size();
            ASSERT_EQ(bInField ? vec[i - st.dwOffset] : 0, stCsi.m_abyImage[i])
                << "field " << st.nField << " byte " << i;
        }
    }
}

TEST(CsiImage, AllFieldsDecodeFromTheirOffsetsAndRoundTrip)
{
    CsiImage stCsi;
    EncodeDefaults(stCsi);
    for (const Field &st : kastFields) {
        Poke(stCsi, st, st.dwSample);
    }
    CsiImage stLoaded;
    std::memcpy(stLoaded.m_abyImage, stCsi.m_abyImage, kCsiImageSize);
    stLoaded.m_dwValid = kCsiImageSize;
    ASSERT_EQ(0, fnBufToFileData(stLoaded));
    for (const Field &st : kastFields) {
        ExpectField(stLoaded.m_stFileData, st, st.dwSample);
    }

    Records stRec;
    fnFileDataToSettings(stLoaded, stRec.Refs());
    CsiImage stSaved;
    Encode(stSaved, stRec);
    for (const Field &st : kastFields) {
        ExpectField(stSaved.m_stFileData, st, st.dwSample);
    }
    EXPECT_EQ(0, std::memcmp(stCsi.m_abyImage, stSaved.m_abyImage, kCsiImageSize));
}

TEST(CsiImage, LoadChecksReportTheirFieldNumber)
{
    struct Check {
        int nField;
        ZDWORD dwValue;
        int nResult;
    };
    const Check astChecks[] = {
        {1, 0, 1},    {1, 0x101, 1},  {2, 4095, 2},  {3, 256, 3},  {3, 255, 0}, {4, 27, 4},
        {4, 26, 0},   {5, 4, 5},      {6, 5, 6},     {7, 3, 7},    {20, 3, 20}, {21, 3, 0},
        {21, 4, 21},  {28, 3, 28},    {29, 2, 29},   {30, 3, 30},  {31, 3, 31}, {32, 3, 32},
        {33, 2, 33},  {35, 0, 35},    {35, 512, 35}, {35, 511, 0}, {37, 0, 37}, {37, 256, 37},
        {37, 255, 0}, {39, 0x2F, 39}, {39, 0x30, 0}, {40, 0, 40},  {40, 1, 0},
    };
    for (const Check &stCheck : astChecks) {
        CsiImage stCsi;
        EncodeDefaults(stCsi);
        Poke(stCsi, kastFields[stCheck.nField - 1], stCheck.dwValue);
        EXPECT_EQ(stCheck.nResult, fnBufToFileData(stCsi))
            << "field " << stCheck.nField << " value " << stCheck.dwValue;
    }
}

TEST(CsiImage, FirstFailureWinsAndRecordsStayUntouched)
{
    Records stRec;
    CsiImage stCsi;
    Encode(stCsi, stRec);
    Poke(stCsi, kastFields[4 - 1], 27);
    Poke(stCsi, kastFields[40 - 1], 0);
    stCsi.m_stFileData = CsiFileData();
    EXPECT_EQ(4, fnBufToFileData(stCsi));
    EXPECT_EQ(27u, stCsi.m_stFileData.m_stComSet.m_nBaud);
    EXPECT_EQ(0u, stCsi.m_stFileData.m_stComSet.m_nDataBits);
    EXPECT_EQ(11u, stRec.m_stComSet.m_stCur.m_nBaud);
    EXPECT_EQ(1u, stRec.m_stDataTrans.m_stCur.m_dwRepeatCount);
}

TEST(CsiImage, ShortImageRefusedWithTheFieldItCuts)
{
    CsiImage stCsi;
    EncodeDefaults(stCsi);
    for (const Field &st : kastFields) {
        stCsi.m_dwValid = st.dwOffset + SizeOf(st) - 1;
        EXPECT_EQ(st.nField, fnBufToFileData(stCsi)) << "valid " << stCsi.m_dwValid;
    }
    stCsi.m_dwValid = kCsiFieldsEnd;
    EXPECT_EQ(0, fnBufToFileData(stCsi));
    stCsi.m_dwValid = 0xFFFFFFFFu;
    EXPECT_EQ(0, fnBufToFileData(stCsi));
}

TEST(CsiImage, FlagsReadAnyNonZeroAndWriteFF)
{
    CsiImage stCsi;
    EncodeDefaults(stCsi);
    stCsi.m_abyImage[52] = 0x01;
    stCsi.m_abyImage[53] = 0x80;
    ASSERT_EQ(0, fnBufToFileData(stCsi));
    EXPECT_EQ(1u, stCsi.m_stFileData.m_stFlow.m_bOutxCtsFlow);
    EXPECT_EQ(1u, stCsi.m_stFileData.m_stFlow.m_bOutxDsrFlow);
    stCsi.m_stFileData.m_stFlow.m_bInX = 2;
    fnFileDataToBuf(stCsi);
    EXPECT_EQ(0xFF, stCsi.m_abyImage[52]);
    EXPECT_EQ(0xFF, stCsi.m_abyImage[53]);
    EXPECT_EQ(0x00, stCsi.m_abyImage[56]);
}

TEST(CsiImage, TailIsCarriedOverUnchanged)
{
    CsiImage stCsi;
    EncodeDefaults(stCsi);
    for (ZDWORD i = kCsiFieldsEnd; i < kCsiImageSize; ++i) {
        stCsi.m_abyImage[i] = static_cast<ZBYTE>(i * 7 + 3);
    }
    ASSERT_EQ(0, fnBufToFileData(stCsi));
    Records stRec;
    stRec.m_stComSet.m_stCur.m_nPort = 7;
    Encode(stCsi, stRec);
    EXPECT_EQ(7, stCsi.m_abyImage[8]);
    for (ZDWORD i = kCsiFieldsEnd; i < kCsiImageSize; ++i) {
        ASSERT_EQ(static_cast<ZBYTE>(i * 7 + 3), stCsi.m_abyImage[i]) << i;
    }
}

TEST(CsiImage, FieldRoutinesStayInsideTheImage)
{
    ZBYTE aby[kCsiImageSize] = {};
    ZDWORD dwPos = kCsiImageSize - 3;
    ZDWORD dw = 0x12345678;
    EXPECT_EQ(0, fnPutDword(aby, &dwPos, &dw));
    EXPECT_EQ(0, fnGetDword(aby, &dwPos, &dw));
    EXPECT_EQ(kCsiImageSize - 3, dwPos);
    EXPECT_EQ(0x12345678u, dw);
    dwPos = kCsiImageSize - 4;
    EXPECT_EQ(1, fnPutDword(aby, &dwPos, &dw));
    EXPECT_EQ(kCsiImageSize, dwPos);
    EXPECT_EQ(0x12, aby[kCsiImageSize - 1]);
    ZBYTE by = 0;
    EXPECT_EQ(0, fnGetByte(aby, &dwPos, &by));
    EXPECT_EQ(0, fnGetBool(aby, &dwPos, &dw));
    dwPos = 1;
    EXPECT_EQ(0, fnGetBytes(aby, &dwPos, &by, 0xFFFFFFFFu));
    EXPECT_EQ(0, fnPutBytes(aby, &dwPos, &by, 0xFFFFFFFFu));
    EXPECT_EQ(1u, dwPos);
}

// OK of the Data Transfer dialog commits boxes the chosen pattern and count
// mode do not check as they parse: an empty ASCII box, a HEX box without a
// byte, a range end below its start, a repeat count of 0. Whatever sequence
// of such commits the user makes, the settings saved afterwards load back.
TEST(CsiImage, EverySequenceOfDialogCommitsSavesAFileThatLoadsBack)
{
    unsigned uSeed = 12345;
    auto fnNext = [&uSeed](unsigned uRange) {
        uSeed = uSeed * 1103515245u + 12345u;
        return (uSeed >> 8) % uRange;
    };
    Records stRec;
    for (int iCommit = 0; iCommit < 2000; ++iCommit) {
        PatternBlock stBoxes = stRec.m_stDataTrans.m_stCur;
        stBoxes.m_nPattern = fnNext(3);
        stBoxes.m_nCountMode = fnNext(2);
        stBoxes.m_dwAsciiLen = fnNext(2) ? fnNext(kCsiMaxAsciiLen + 1) : 0;
        stBoxes.m_dwHexLen = fnNext(2) ? fnNext(kCsiMaxHexLen + 1) : 0;
        stBoxes.m_byRangeStart = static_cast<ZBYTE>(fnNext(256));
        stBoxes.m_byRangeEnd = static_cast<ZBYTE>(fnNext(256));
        stBoxes.m_dwRepeatCount = fnNext(3);
        // The dialog's own checks refuse these for the chosen pattern and mode.
        const bool bRefused = (stBoxes.m_nPattern == 0 && stBoxes.m_dwAsciiLen == 0) ||
                              (stBoxes.m_nPattern == 1 && stBoxes.m_dwHexLen == 0) ||
                              (stBoxes.m_nPattern == 2 && stBoxes.m_byRangeEnd < stBoxes.m_byRangeStart) ||
                              (stBoxes.m_nCountMode == 1 && stBoxes.m_dwRepeatCount == 0);
        if (bRefused) {
            continue;
        }
        const PatternBlock stChosen = stBoxes;
        fnKeepUnusedBoxes(stBoxes, stRec.m_stDataTrans.m_stCur);
        // What the chosen pattern and count mode use is committed as typed.
        const ZDWORD adwUsed[3][2] = {{stChosen.m_dwAsciiLen, stBoxes.m_dwAsciiLen},
                                      {stChosen.m_dwHexLen, stBoxes.m_dwHexLen},
                                      {stChosen.m_byRangeEnd, stBoxes.m_byRangeEnd}};
        ASSERT_EQ(adwUsed[stChosen.m_nPattern][0], adwUsed[stChosen.m_nPattern][1]);
        if (stChosen.m_nCountMode == 1) {
            ASSERT_EQ(stChosen.m_dwRepeatCount, stBoxes.m_dwRepeatCount);
        }
        stRec.m_stDataTrans.m_stCur = stBoxes;

        CsiImage stCsi;
        Encode(stCsi, stRec);
        stCsi.m_dwValid = kCsiImageSize;
        ASSERT_EQ(0, fnBufToFileData(stCsi)) << "commit " << iCommit;
    }
}

// Writes the block's checksum anew, as a writer would after the change.
void Reseal(CsiImage &stCsi)
{
    ZDWORD dwPos = kCsiFieldsEnd + 8;
    ZDWORD dwSize = 0;
    fnGetDword(stCsi.m_abyImage, &dwPos, &dwSize);
    ZDWORD dwCrc = 0xFFFFFFFFu;
    for (ZDWORD i = kCsiFieldsEnd + 16; i < kCsiFieldsEnd + 16 + dwSize; ++i) {
        dwCrc ^= stCsi.m_abyImage[i];
        for (int n = 0; n < 8; ++n) {
            dwCrc = (dwCrc >> 1) ^ ((dwCrc & 1u) != 0 ? 0xEDB88320u : 0u);
        }
    }
    dwCrc = ~dwCrc;
    fnPutDword(stCsi.m_abyImage, &dwPos, &dwCrc);
}

// The block after the fields: a setting that differs from its default is
// saved there and loads back, the fields' bytes do not move, and each kind
// of damage is refused with the block's number and no record touched, also
// by the block's reader alone on the file's bytes in a buffer of their size
// (so that ASan sees a read past them).
TEST(CsiImage, TailBlockRoundTripsAndRefusesDamage)
{
    Records stRec;
    CsiImage stPlain;
    Encode(stPlain, stRec);
    stRec.m_stTermOpt.m_stCur.m_bConsole = 1;
    stRec.m_stTermOpt.m_stCur.m_bFollowSize = 1;
    stRec.m_stComSet.m_stCur.m_bReopen = 1;
    stRec.m_stComSet.m_stCur.m_bPortCheck = 1;
    stRec.m_stDataTrans.m_stCur.m_nPrbs = 3;
    stRec.m_stDataTrans.m_nRxStream = 2;
    const LogSettings stLog = {
        kLogHex, kLogStampSeconds,     kLogBothDirections, 50, 1, kLogRotateSize, 0xFFFFFFFFu,
        1,       "C:\\logs\\%P %N.log"};
    stRec.m_stLog = stLog;
    const XferChoice stXfer = {3, 2, 1, 0, 3600, 1};
    stRec.m_stDataTrans.m_stXfer = stXfer;
    CsiImage stCsi;
    Encode(stCsi, stRec);
    EXPECT_EQ(0, std::memcmp(stPlain.m_abyImage, stCsi.m_abyImage, kCsiFieldsEnd));
    EXPECT_EQ(0, std::memcmp("ZXTB", stCsi.m_abyImage + kCsiFieldsEnd, 4));

    Records stLoaded;
    ASSERT_EQ(0, fnBufToFileData(stCsi));
    fnFileDataToSettings(stCsi, stLoaded.Refs());
    EXPECT_EQ(1u, stLoaded.m_stTermOpt.m_stCur.m_bConsole);
    EXPECT_EQ(1u, stLoaded.m_stTermOpt.m_stCur.m_bFollowSize);
    EXPECT_EQ(1u, stLoaded.m_stComSet.m_stCur.m_bReopen);
    EXPECT_EQ(1u, stLoaded.m_stComSet.m_stCur.m_bPortCheck);
    EXPECT_EQ(3u, stLoaded.m_stDataTrans.m_stCur.m_nPrbs);
    EXPECT_EQ(2u, stLoaded.m_stDataTrans.m_nRxStream);
    EXPECT_EQ(0, std::memcmp(&stXfer, &stLoaded.m_stDataTrans.m_stXfer, sizeof stXfer));
    EXPECT_EQ(0u, stLoaded.m_stTermOpt.m_stCur.m_nHistory);
    EXPECT_EQ(0, std::memcmp(&stLog, &stLoaded.m_stLog, sizeof stLog));

    // The plot's settings, the Y limits to the bit; limits a file may hold
    // out of order or not finite load as the defaults, 0 to 100.
    const double kdNan = std::numeric_limits<double>::quiet_NaN();
    const PlotSettings astPlot[][2] = {
        {{5, 1, true, 3600, 1048576, -1.5e-3, 2.5e9}, {5, 1, true, 3600, 1048576, -1.5e-3, 2.5e9}},
        {{1, 0, false, 1, 10, -1e308, 4.9e-324}, {1, 0, false, 1, 10, -1e308, 4.9e-324}},
        {{7, 0, false, 10, 1000, -0.0, 100}, {7, 0, false, 10, 1000, -0.0, 100}},
        {{2, 0, true, 7, 20, 3, 3}, {2, 0, true, 7, 20, 0, 100}},
        {{4, 1, true, 8, 30, kdNan, 1}, {4, 1, true, 8, 30, 0, 100}},
    };
    for (const PlotSettings *pstRow : astPlot) {
        fnSettingsToFileData(stCsi, stRec.Refs());
        fnPlotToFileData(stCsi, pstRow[0]);
        fnFileDataToBuf(stCsi);
        ASSERT_EQ(0, fnBufToFileData(stCsi));
        PlotSettings st = {};
        fnFileDataToPlot(stCsi, st);
        const PlotSettings &stWant = pstRow[1];
        EXPECT_EQ(stWant.m_byFormats, st.m_byFormats);
        EXPECT_EQ(stWant.m_byAxis, st.m_byAxis);
        EXPECT_EQ(stWant.m_bYFixed, st.m_bYFixed);
        EXPECT_EQ(stWant.m_dwSpanSeconds, st.m_dwSpanSeconds);
        EXPECT_EQ(stWant.m_dwSpanLines, st.m_dwSpanLines);
        EXPECT_EQ(0, std::memcmp(&stWant.m_dYMin, &st.m_dYMin, sizeof st.m_dYMin)) << st.m_dYMin;
        EXPECT_EQ(0, std::memcmp(&stWant.m_dYMax, &st.m_dYMax, sizeof st.m_dYMax)) << st.m_dYMax;
    }
    // The plot's defaults are the block's: with the others they write none.
    Records stDefaults;
    PlotSettings stPlotDefault;
    fnPlotSettingsDefault(stPlotDefault);
    CsiImage stNone;
    fnSettingsToFileData(stNone, stDefaults.Refs());
    fnPlotToFileData(stNone, stPlotDefault);
    fnFileDataToBuf(stNone);
    EXPECT_NE(0, std::memcmp("ZXTB", stNone.m_abyImage + kCsiFieldsEnd, 4));
    Encode(stCsi, stRec);

    // A setting put back to its default is saved as such, not left behind.
    stRec.m_stComSet.m_stCur.m_bReopen = 0;
    Encode(stCsi, stRec);
    ASSERT_EQ(0, fnBufToFileData(stCsi));
    EXPECT_EQ(0u, stCsi.m_stFileData.m_stTail.m_adwValue[kTailReopen]);

    const ZDWORD dwHead = kCsiFieldsEnd;
    const ZDWORD dwFirst = dwHead + 16; // the first entry: "HIST", 4, value
    const ZDWORD dwPad = dwFirst + 12 * kCsiTailCount;
    struct Patch {
        ZDWORD dwOffset;
        std::vector<ZBYTE> vecBytes;
    };
    struct Damage {
        const char *pszWhat;
        std::vector<Patch> vecPatches;
        bool bReseal;
        ZDWORD dwValid;
    };
    // Entries to the image's last byte, the last one a known tag of length 0.
    const ZDWORD dwLast = kCsiImageSize - 8;
    const ZDWORD dwPadLen = dwLast - dwPad - 8;
    const std::vector<Patch> vecEndsWithEmpty = {
        {dwHead + 8, {static_cast<ZBYTE>((kCsiImageSize - dwFirst) & 0xFF), (kCsiImageSize - dwFirst) >> 8}},
        {dwPad, {'P', 'A', 'D', '?', static_cast<ZBYTE>(dwPadLen & 0xFF), dwPadLen >> 8, 0, 0}},
        {dwLast, {'C', 'O', 'N', 'S', 0, 0, 0, 0}},
    };
    const Damage astDamage[] = {
        {"version 0", {{dwHead + 4, {0}}}, false, kCsiImageSize},
        {"size beyond the image", {{dwHead + 9, {0x40}}}, false, kCsiImageSize},
        {"checksum", {{dwHead + 12, {0x5A}}}, false, kCsiImageSize},
        {"a value changed, the checksum not", {{dwFirst + 8, {2}}}, false, kCsiImageSize},
        {"file ends inside the block", {}, false, dwHead + 20},
        {"a known entry of length 0", {{dwFirst + 4, {0}}}, true, kCsiImageSize},
        {"a known entry of length 0 ends the image", vecEndsWithEmpty, true, kCsiImageSize},
        {"the name pattern runs past the block", {{dwPad + 4, {0xFF}}}, true, kCsiImageSize},
    };
    for (const Damage &st : astDamage) {
        CsiImage stBad = stCsi;
        for (const Patch &stPatch : st.vecPatches) {
            std::memcpy(stBad.m_abyImage + stPatch.dwOffset, stPatch.vecBytes.data(),
                        stPatch.vecBytes.size());
        }
        if (st.bReseal) {
            Reseal(stBad);
        }
        stBad.m_dwValid = st.dwValid;
        const std::vector<ZBYTE> vecFile(stBad.m_abyImage, stBad.m_abyImage + st.dwValid);
        stBad.m_stFileData.m_stTail.m_adwValue[kTailConsole] = 7;
        EXPECT_EQ(kCsiTailFieldNumber, fnBufToFileData(stBad)) << st.pszWhat;
        EXPECT_EQ(7u, stBad.m_stFileData.m_stTail.m_adwValue[kTailConsole]) << st.pszWhat;
        CsiTailData stTail = {};
        EXPECT_FALSE(fnReadTail(vecFile.data(), st.dwValid, stTail)) << st.pszWhat;
    }

    // A later version with a tag unknown here loads what it knows; a block
    // without the console size's row (an earlier version's) gives its default.
    CsiImage stLater = stCsi;
    std::memcpy(stLater.m_abyImage + dwFirst, "NEW?", 4);
    std::memcpy(stLater.m_abyImage + dwFirst + 12 * kTailConsoleSize, "OLD?", 4);
    stLater.m_abyImage[dwHead + 4] = 2;
    Reseal(stLater);
    ASSERT_EQ(0, fnBufToFileData(stLater));
    EXPECT_EQ(1u, stLater.m_stFileData.m_stTail.m_adwValue[kTailConsole]);
    EXPECT_EQ(0u, stLater.m_stFileData.m_stTail.m_adwValue[kTailConsoleSize]);

    // A value out of range in a sound block comes from a version that
    // widened the range: that setting keeps its default, the others load.
    CsiImage stWider = stCsi;
    stWider.m_abyImage[dwFirst + 12 + 8] = 2; // "CONS"
    Reseal(stWider);
    ASSERT_EQ(0, fnBufToFileData(stWider));
    EXPECT_EQ(0u, stWider.m_stFileData.m_stTail.m_adwValue[kTailConsole]);
    EXPECT_EQ(3u, stWider.m_stFileData.m_stTail.m_adwValue[kTailPrbs]);

    // So does a name pattern this version cannot hold: one with a NUL in
    // it, or an empty one that ends the block.
    for (bool bEmpty : {false, true}) {
        CsiImage stOdd = stCsi;
        stOdd.m_abyImage[bEmpty ? dwPad + 4 : dwPad + 9] = 0;
        if (bEmpty) {
            ZDWORD dwPos = dwHead + 8;
            const ZDWORD dwSize = dwPad + 8 - dwFirst;
            fnPutDword(stOdd.m_abyImage, &dwPos, &dwSize);
        }
        Reseal(stOdd);
        ASSERT_EQ(0, fnBufToFileData(stOdd)) << bEmpty;
        EXPECT_STREQ(kLogPatternDefault, stOdd.m_stFileData.m_stTail.m_achLogPattern);
        EXPECT_EQ(kLogHex, stOdd.m_stFileData.m_stTail.m_adwValue[kTailLogFormat]);
    }
}
