#include "window_records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "all_zero.h"

TEST(WindowRecords, Toolbar)
{
    const char *const apszTip[kToolbarButtons] = {"Open csi File",    "Save csi File",  "Exit",
                                                  "Open COM",         "Close COM",      "COM Set",
                                                  "Clear Screen",     "File Transfer",  "Data Transfer",
                                                  "Display as ASCII", "Display as HEX", "Receive Enable"};
    EXPECT_EQ(nullptr, gstToolbar.m_hDlg);
    EXPECT_TRUE(AllZero(gstToolbar.m_ahButton, sizeof gstToolbar.m_ahButton));
    EXPECT_EQ(1, gstToolbar.m_bRxEnable);
    for (int i = 0; i < kToolbarButtons; ++i) {
        EXPECT_STREQ(apszTip[i], gstToolbar.m_aachTip[i]);
    }
}

TEST(WindowRecords, TerminalFontChooserAndEcho)
{
    const TerminalRecord &st = gstTerminal;
    const CHOOSEFONTA &stCf = st.m_stChooseFont;
#ifndef _WIN64
    EXPECT_EQ(60u, sizeof(CHOOSEFONTA));
#endif
    EXPECT_EQ(sizeof(CHOOSEFONTA), stCf.lStructSize);
    EXPECT_EQ(&gstTerminal.m_stLogFont, stCf.lpLogFont);
    EXPECT_EQ(10, stCf.iPointSize);
    EXPECT_EQ(0x141u, stCf.Flags);
    EXPECT_TRUE(stCf.hwndOwner == nullptr && stCf.hDC == nullptr && stCf.lpfnHook == nullptr &&
                stCf.lpTemplateName == nullptr && stCf.hInstance == nullptr && stCf.lpszStyle == nullptr);
    EXPECT_EQ(0u, stCf.rgbColors);
    EXPECT_EQ(0, stCf.lCustData);
    EXPECT_EQ(0, stCf.nFontType | stCf.nSizeMin | stCf.nSizeMax);
    LOGFONTA stWantLf = {};
    std::strcpy(stWantLf.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(0, std::memcmp(&stWantLf, &st.m_stLogFont, sizeof stWantLf));
    EXPECT_TRUE(st.m_hDlg == nullptr && st.m_hEdit == nullptr && st.m_hFont == nullptr &&
                st.m_hEchoEvent == nullptr);
    EXPECT_EQ(0, st.m_bClearScreen);
}

TEST(WindowRecords, StatusBar)
{
    const StatusBarRecord &st = gstStatusBar;
    const BYTE *pbyHandles = reinterpret_cast<const BYTE *>(&st.m_hDlg);
    EXPECT_TRUE(AllZero(pbyHandles, reinterpret_cast<const BYTE *>(&st.m_bDtr) - pbyHandles));
    EXPECT_EQ(1, st.m_bDtr);
    EXPECT_EQ(1, st.m_bRts);
    EXPECT_TRUE(AllZero(st.m_achSummary, sizeof st.m_achSummary));
}

TEST(WindowRecords, FileTransferAndTransmitInfo)
{
    const FileTransRecord &st = gstFileTrans;
    const char achFilter[] = "*.*\0*.*\0";
    EXPECT_TRUE(AllZero(st.m_achFileName, sizeof st.m_achFileName));
    EXPECT_EQ(INVALID_HANDLE_VALUE, st.m_hFile);
    EXPECT_EQ(0u, st.m_dwFileSizeHigh | st.m_dwFileSize);
    EXPECT_EQ(0, std::memcmp(achFilter, st.m_achTxFilter, sizeof achFilter));
    EXPECT_EQ(0, std::memcmp(achFilter, st.m_achRxFilter, sizeof achFilter));
    EXPECT_TRUE(AllZero(&st.m_stTxOfn, sizeof st.m_stTxOfn));
    EXPECT_TRUE(AllZero(&st.m_stRxOfn, sizeof st.m_stRxOfn));
    EXPECT_TRUE(AllZero(&gstFileTx, sizeof gstFileTx));
    EXPECT_TRUE(AllZero(&gstFileRx, sizeof gstFileRx));
    EXPECT_TRUE(AllZero(&gstTxInfo, sizeof gstTxInfo));
}
