#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "all_zero.h"

namespace {

class Rebuild : public ::testing::Test {
protected:
    void SetUp() override
    {
        gstComSet.m_stCur = fnDefaultComSet();
        gstFlowCtrl.m_stCur = fnDefaultFlow();
        gstTimeouts.m_stCur = fnDefaultTimeouts();
    }

    static std::string Summary()
    {
        char ach[100] = {};
        fnCommxSummary(ach, sizeof ach);
        return ach;
    }
};

} // namespace

TEST(Commx, StartUpValues)
{
    static CommxRecord stFresh;
    EXPECT_EQ(INVALID_HANDLE_VALUE, stFresh.m_hComm);
    EXPECT_EQ(INVALID_HANDLE_VALUE, gstCommx.m_hComm);
    EXPECT_EQ(0, gstCommx.m_bCommOpen);
    const BYTE *pbyFirst = reinterpret_cast<const BYTE *>(&stFresh.m_achCurCommNum);
    const BYTE *pbyEnd = reinterpret_cast<const BYTE *>(&stFresh + 1);
    EXPECT_TRUE(AllZero(pbyFirst, pbyEnd - pbyFirst));
}

TEST_F(Rebuild, DefaultsGiveCom1At9600)
{
    fnRebuildCommx();
    const DCB &st = gstCommx.m_stDcb;
    EXPECT_STREQ("\\\\.\\COM1", gstCommx.m_achCurCommNum);
    EXPECT_STREQ("COM1", gstCommx.m_achCurCommNumShort);
    EXPECT_EQ(9600u, st.BaudRate);
    EXPECT_EQ(8, st.ByteSize);
    EXPECT_EQ(NOPARITY, st.Parity);
    EXPECT_EQ(0u, st.fParity);
    EXPECT_EQ(ONESTOPBIT, st.StopBits);
    EXPECT_EQ(0u, st.fOutxCtsFlow | st.fOutxDsrFlow | st.fDsrSensitivity | st.fOutX | st.fInX |
                      st.fTXContinueOnXoff);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_ENABLE), st.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_ENABLE), st.fRtsControl);
    EXPECT_EQ(0, st.XonLim | st.XoffLim);
    EXPECT_EQ(0x11, st.XonChar);
    EXPECT_EQ(0x13, st.XoffChar);
    const COMMTIMEOUTS &stTo = gstCommx.m_stTimeouts;
    EXPECT_EQ(1u, stTo.ReadIntervalTimeout);
    EXPECT_EQ(0u, stTo.ReadTotalTimeoutMultiplier | stTo.ReadTotalTimeoutConstant |
                      stTo.WriteTotalTimeoutMultiplier | stTo.WriteTotalTimeoutConstant);
    EXPECT_EQ("COM1, 9600, 8, None, 1", Summary());
}

TEST_F(Rebuild, EdgeSettings)
{
    gstComSet.m_stCur.m_nPort = 255;
    gstComSet.m_stCur.m_nBaud = kBaudUserIndex;
    gstComSet.m_stCur.m_dwUserBaud = 14400;
    gstComSet.m_stCur.m_nParity = 1;
    gstComSet.m_stCur.m_nStopBits = 2;
    FlowBlock &stFlow = gstFlowCtrl.m_stCur;
    stFlow.m_bOutxCtsFlow = 3;
    stFlow.m_bOutxDsrFlow = 2;
    stFlow.m_bInX = 1;
    stFlow.m_nDtrControl = 2;
    stFlow.m_nRtsControl = 3;
    stFlow.m_dwXonLim = 70000;
    stFlow.m_dwXoffLim = 0x12345;
    gstTimeouts.m_stCur = {11, 22, 33, 44, 55};
    gstCommx.m_stDcb.fAbortOnError = 1;
    fnRebuildCommx();

    const DCB &st = gstCommx.m_stDcb;
    EXPECT_STREQ("\\\\.\\COM256", gstCommx.m_achCurCommNum);
    EXPECT_STREQ("COM256", gstCommx.m_achCurCommNumShort);
    EXPECT_EQ(14400u, st.BaudRate);
    EXPECT_EQ(EVENPARITY, st.Parity);
    EXPECT_EQ(1u, st.fParity);
    EXPECT_EQ(TWOSTOPBITS, st.StopBits);
    EXPECT_EQ(1u, st.fOutxCtsFlow);
    EXPECT_EQ(0u, st.fOutxDsrFlow);
    EXPECT_EQ(1u, st.fInX);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_HANDSHAKE), st.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_TOGGLE), st.fRtsControl);
    EXPECT_EQ(4464, st.XonLim);
    EXPECT_EQ(0x2345, st.XoffLim);
    EXPECT_EQ(0u, st.fAbortOnError);
    const COMMTIMEOUTS &stTo = gstCommx.m_stTimeouts;
    EXPECT_EQ(11u, stTo.ReadIntervalTimeout);
    EXPECT_EQ(22u, stTo.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(33u, stTo.ReadTotalTimeoutConstant);
    EXPECT_EQ(44u, stTo.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(55u, stTo.WriteTotalTimeoutConstant);
    EXPECT_EQ("COM256, 14400, 8, Even, 2", Summary());

    gstComSet.m_stCur.m_nParity = 0;
    gstComSet.m_stCur.m_nBaud = 27;
    fnRebuildCommx();
    EXPECT_EQ(NOPARITY, st.Parity);
    EXPECT_EQ(0u, st.fParity);
    EXPECT_EQ(0u, st.BaudRate);
}

TEST_F(Rebuild, DriverOwnedMembersSurviveRebuilds)
{
    DCB &st = gstCommx.m_stDcb;
    st.DCBlength = sizeof(DCB);
    st.fBinary = 1;
    st.fErrorChar = 1;
    st.fNull = 1;
    st.fDummy2 = 0x1ABCD;
    st.wReserved = 0x5555;
    st.ErrorChar = 0x3F;
    st.EofChar = 0x1A;
    st.EvtChar = 0x7E;
    st.wReserved1 = 0x6666;
    gstCommx.m_stCommProp.wPacketLength = 77;
    gstCommx.m_achDcbInfo[0] = 'Z';
    for (DWORD nParity = 0; nParity < 5; ++nParity) {
        gstComSet.m_stCur.m_nParity = nParity;
        gstFlowCtrl.m_stCur.m_nDtrControl = nParity;
        fnRebuildCommx();
    }
    EXPECT_EQ(sizeof(DCB), st.DCBlength);
    EXPECT_EQ(1u, st.fBinary);
    EXPECT_EQ(1u, st.fErrorChar);
    EXPECT_EQ(1u, st.fNull);
    EXPECT_EQ(0x1ABCDu, st.fDummy2);
    EXPECT_EQ(0x5555, st.wReserved);
    EXPECT_EQ(0x3F, st.ErrorChar);
    EXPECT_EQ(0x1A, st.EofChar);
    EXPECT_EQ(0x7E, st.EvtChar);
    EXPECT_EQ(0x6666, st.wReserved1);
    EXPECT_EQ(77, gstCommx.m_stCommProp.wPacketLength);
    EXPECT_EQ('Z', gstCommx.m_achDcbInfo[0]);
}

TEST_F(Rebuild, SummaryIsBounded)
{
    fnRebuildCommx();
    char ach[8];
    std::memset(ach, 'x', sizeof ach);
    fnCommxSummary(ach, 6);
    EXPECT_STREQ("COM1,", ach);
    EXPECT_EQ('x', ach[6]);
    fnCommxSummary(ach, 0);
    EXPECT_STREQ("COM1,", ach);
}
