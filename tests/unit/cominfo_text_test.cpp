#include "cominfo_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::size_t kSlotChars = 48;
const char kCanary = '\x5A';

void fnPut(std::vector<ZBYTE> &vby, std::size_t uOffset, ZDWORD dwValue, std::size_t uSize) {
    for (std::size_t i = 0; i < uSize; ++i) {
        vby[uOffset + i] = static_cast<ZBYTE>(dwValue >> (8 * i));
    }
}

// Line slots and text, each followed by a canary byte, so a write beyond the
// last slot or beyond the text shows.
struct Buffers {
    std::vector<char> vchLines;
    std::vector<char> vchText;
    std::size_t uSlot;
    std::size_t uText;
    Buffers(int nLines, std::size_t uSlotChars, std::size_t uTextChars)
        : vchLines(nLines * uSlotChars + 1, kCanary), vchText(uTextChars + 1, kCanary), uSlot(uSlotChars),
          uText(uTextChars) {}
    InfoTarget Target() {
        InfoTarget st = {vchLines.data(), uSlot, vchText.data(), uText};
        return st;
    }
    std::string Slot(int i) const {
        return std::string(vchLines.data() + i * uSlot);
    }
    std::string Text() const {
        return std::string(vchText.data());
    }
    bool CanariesIntact() const {
        return vchLines.back() == kCanary && vchText[uText] == kCanary;
    }
};

std::vector<std::string> fnLines(const std::string &strText) {
    std::vector<std::string> v;
    std::size_t uStart = 0;
    while (uStart < strText.size()) {
        const std::size_t uEnd = strText.find("\r\n", uStart);
        if (uEnd == std::string::npos) {
            v.push_back(strText.substr(uStart) + "<no line end>");
            break;
        }
        v.push_back(strText.substr(uStart, uEnd + 2 - uStart));
        uStart = uEnd + 2;
    }
    return v;
}

// The DCB of a port opened with the default settings, as the driver fills it.
std::vector<ZBYTE> fnDefaultDcb() {
    std::vector<ZBYTE> vby(kDcbBytes, 0);
    fnPut(vby, 0, 28, 4);                            // DCBlength
    fnPut(vby, 4, 9600, 4);                          // BaudRate
    fnPut(vby, 8, 0x1u | (1u << 4) | (1u << 12), 4); // fBinary, DTR and RTS enabled
    fnPut(vby, 14, 2048, 2);                         // XonLim
    fnPut(vby, 16, 512, 2);                          // XoffLim
    fnPut(vby, 18, 8, 1);                            // ByteSize
    fnPut(vby, 21, 0x11, 1);                         // XonChar
    fnPut(vby, 22, 0x13, 1);                         // XoffChar
    return vby;
}

TEST(ComInfoText, DcbOfDefaultPortHasEveryLineInOrder) {
    Buffers stBuf(kDcbInfoLines, kSlotChars, 2042);
    const std::vector<ZBYTE> vbyDcb = fnDefaultDcb();
    EXPECT_EQ(kDcbInfoLines, fnDcbInfoText(vbyDcb.data(), stBuf.Target()));
    const std::vector<std::string> vExpected = {
        "DCBLength=28 \r\n",
        "BaudRate=9600 \r\n",
        "fBinary=1 \r\n",
        "fParity=0 \r\n",
        "fOutxCtsFlow=0 \r\n",
        "fOutxDsrFlow=0 \r\n",
        "fDtrControl=1 \r\n",
        "fDsrSensitivity=0 \r\n",
        "fTXContinueOnXoff=0 \r\n",
        "fOutX=0 \r\n",
        "fInX=0 \r\n",
        "fErrorChar=0 \r\n",
        "fNull=0 \r\n",
        "fRtsControl=1 \r\n",
        "fAbortOnError=0 \r\n",
        "fDummy2=0 \r\n",
        "wReserved=0 \r\n",
        "XonLim=2048 \r\n",
        "XoffLim=512 \r\n",
        "ByteSize=8 \r\n",
        "Parity=0 \r\n",
        "StopBits=0 \r\n",
        "XonChar=0x11 \r\n",
        "XoffChar=0x13 \r\n",
        "ErrorChar=0x00 \r\n",
        "EofChar=0x00 \r\n",
        "EvtChar=0x00 \r\n",
        "wReserved1=0x0000 \r\n",
    };
    EXPECT_EQ(vExpected, fnLines(stBuf.Text()));
    for (int i = 0; i < kDcbInfoLines; ++i) {
        EXPECT_EQ(vExpected[i], stBuf.Slot(i)) << "slot " << i;
    }
    EXPECT_TRUE(stBuf.CanariesIntact());
}

// Each flag of the DCB's flag word reads from its own bits and no other.
TEST(ComInfoText, DcbFlagWordBitsMapToTheirMembers) {
    struct Case {
        ZDWORD dwFlags;
        int iLine;
        const char *pszLine;
    };
    const Case kaCases[] = {
        {1u << 0, 2, "fBinary=1 \r\n"},         {1u << 1, 3, "fParity=1 \r\n"},
        {1u << 2, 4, "fOutxCtsFlow=1 \r\n"},    {1u << 3, 5, "fOutxDsrFlow=1 \r\n"},
        {3u << 4, 6, "fDtrControl=3 \r\n"},     {2u << 4, 6, "fDtrControl=2 \r\n"},
        {1u << 6, 7, "fDsrSensitivity=1 \r\n"}, {1u << 7, 8, "fTXContinueOnXoff=1 \r\n"},
        {1u << 8, 9, "fOutX=1 \r\n"},           {1u << 9, 10, "fInX=1 \r\n"},
        {1u << 10, 11, "fErrorChar=1 \r\n"},    {1u << 11, 12, "fNull=1 \r\n"},
        {3u << 12, 13, "fRtsControl=3 \r\n"},   {2u << 12, 13, "fRtsControl=2 \r\n"},
        {1u << 14, 14, "fAbortOnError=1 \r\n"}, {0xFFFF8000u, 15, "fDummy2=131071 \r\n"},
        {1u << 31, 15, "fDummy2=65536 \r\n"},
    };
    for (const Case &stCase : kaCases) {
        std::vector<ZBYTE> vbyDcb(kDcbBytes, 0);
        fnPut(vbyDcb, 8, stCase.dwFlags, 4);
        Buffers stBuf(kDcbInfoLines, kSlotChars, 2042);
        fnDcbInfoText(vbyDcb.data(), stBuf.Target());
        const std::vector<std::string> vLines = fnLines(stBuf.Text());
        ASSERT_EQ(static_cast<std::size_t>(kDcbInfoLines), vLines.size());
        for (int i = 2; i <= 15; ++i) {
            if (i == stCase.iLine) {
                EXPECT_EQ(stCase.pszLine, vLines[i]) << "flags " << std::hex << stCase.dwFlags;
            } else {
                EXPECT_NE(std::string::npos, vLines[i].find("=0 \r\n"))
                    << vLines[i] << " for flags " << std::hex << stCase.dwFlags;
            }
        }
    }
}

// Characters and 16-bit members are widened without sign.
TEST(ComInfoText, DcbBytesAndWordsShowUnsigned) {
    std::vector<ZBYTE> vbyDcb(kDcbBytes, 0);
    fnPut(vbyDcb, 4, 0xFFFFFFFFu, 4);
    fnPut(vbyDcb, 12, 0xFFFF, 2);
    fnPut(vbyDcb, 14, 0xFFFF, 2);
    fnPut(vbyDcb, 16, 0x8000, 2);
    fnPut(vbyDcb, 20, 0xFF, 1);
    for (std::size_t u = 21; u <= 25; ++u) {
        fnPut(vbyDcb, u, 0xFF, 1);
    }
    fnPut(vbyDcb, 26, 0xFFFF, 2);
    Buffers stBuf(kDcbInfoLines, kSlotChars, 2042);
    fnDcbInfoText(vbyDcb.data(), stBuf.Target());
    const std::vector<std::string> vLines = fnLines(stBuf.Text());
    ASSERT_EQ(static_cast<std::size_t>(kDcbInfoLines), vLines.size());
    EXPECT_EQ("BaudRate=-1 \r\n", vLines[1]);
    EXPECT_EQ("wReserved=65535 \r\n", vLines[16]);
    EXPECT_EQ("XonLim=65535 \r\n", vLines[17]);
    EXPECT_EQ("XoffLim=32768 \r\n", vLines[18]);
    EXPECT_EQ("StopBits=255 \r\n", vLines[21]);
    EXPECT_EQ("XonChar=0xFF \r\n", vLines[22]);
    EXPECT_EQ("XoffChar=0xFF \r\n", vLines[23]);
    EXPECT_EQ("ErrorChar=0xFF \r\n", vLines[24]);
    EXPECT_EQ("EofChar=0xFF \r\n", vLines[25]);
    EXPECT_EQ("EvtChar=0xFF \r\n", vLines[26]);
    EXPECT_EQ("wReserved1=0xFFFF \r\n", vLines[27]);
}

TEST(ComInfoText, TimeoutsShowSignedAndTheLongestLineIsWhole) {
    std::vector<ZBYTE> vby(kTimeoutsBytes, 0);
    fnPut(vby, 0, 1, 4);
    fnPut(vby, 4, 4294967295u, 4);
    fnPut(vby, 8, 2147483647u, 4);
    fnPut(vby, 12, 2147483648u, 4);
    fnPut(vby, 16, 0, 4);
    Buffers stBuf(kTimeoutsInfoLines, kSlotChars, 2042);
    EXPECT_EQ(kTimeoutsInfoLines, fnTimeoutsInfoText(vby.data(), stBuf.Target()));
    const std::vector<std::string> vExpected = {
        "ReadIntervalTimeout=1 \r\n",
        "ReadTotalTimeoutMultiplier=-1 \r\n",
        "ReadTotalTimeoutConstant=2147483647 \r\n",
        "WriteTotalTimeoutMultiplier=-2147483648 \r\n",
        "WriteTotalTimeoutConstant=0 \r\n",
    };
    EXPECT_EQ(vExpected, fnLines(stBuf.Text()));
    EXPECT_EQ(kInfoLineMax, vExpected[3].size() + 1);
}

// A slot one character short of the longest line: that line is left out of
// slot and text, nothing is written beyond any slot, the others stay whole.
TEST(ComInfoText, LineTooLongForItsSlotIsLeftOutNotCut) {
    std::vector<ZBYTE> vby(kTimeoutsBytes, 0);
    fnPut(vby, 12, 2147483648u, 4);
    Buffers stBuf(kTimeoutsInfoLines, kInfoLineMax - 1, 2042);
    EXPECT_EQ(kTimeoutsInfoLines - 1, fnTimeoutsInfoText(vby.data(), stBuf.Target()));
    EXPECT_EQ(
        (std::vector<std::string>{"ReadIntervalTimeout=0 \r\n", "ReadTotalTimeoutMultiplier=0 \r\n",
                                  "ReadTotalTimeoutConstant=0 \r\n", "WriteTotalTimeoutConstant=0 \r\n"}),
        fnLines(stBuf.Text()));
    EXPECT_EQ("", stBuf.Slot(3));
    EXPECT_EQ("WriteTotalTimeoutConstant=0 \r\n", stBuf.Slot(4));
    EXPECT_TRUE(stBuf.CanariesIntact());
}

// A text buffer too small for all lines holds the whole lines that fit, is
// terminated, and nothing is written beyond it.
TEST(ComInfoText, TextBufferTooSmallKeepsWholeLinesOnly) {
    const std::vector<ZBYTE> vbyDcb = fnDefaultDcb();
    Buffers stBuf(kDcbInfoLines, kSlotChars, 40);
    EXPECT_EQ(2, fnDcbInfoText(vbyDcb.data(), stBuf.Target()));
    EXPECT_EQ("DCBLength=28 \r\nBaudRate=9600 \r\n", stBuf.Text());
    EXPECT_TRUE(stBuf.CanariesIntact());
}

TEST(ComInfoText, TextIsEmptiedBeforeBuilding) {
    Buffers stBuf(kTimeoutsInfoLines, kSlotChars, 2042);
    std::memset(stBuf.vchText.data(), 'x', 2042);
    const std::vector<ZBYTE> vby(kTimeoutsBytes, 0);
    fnTimeoutsInfoText(vby.data(), stBuf.Target());
    EXPECT_EQ(0u, stBuf.Text().find("ReadIntervalTimeout=0 \r\n"));
    EXPECT_EQ(5u, fnLines(stBuf.Text()).size());
}

TEST(ComInfoText, CommPropMembersAtTheirOffsetsAndFormats) {
    std::vector<ZBYTE> vby(kCommPropBytes, 0);
    fnPut(vby, 0, 64, 2);
    fnPut(vby, 2, 2, 2);
    fnPut(vby, 4, 0x00000001, 4);
    fnPut(vby, 8, 0xFFFFFFFFu, 4);
    fnPut(vby, 12, 1024, 4);
    fnPut(vby, 16, 2048, 4);
    fnPut(vby, 20, 0x10000000, 4);
    fnPut(vby, 24, 0x00000001, 4);
    fnPut(vby, 28, 0x000000FF, 4);
    fnPut(vby, 32, 0x0000007F, 4);
    fnPut(vby, 36, 0x1006FFFF, 4);
    fnPut(vby, 40, 0x000F, 2);
    fnPut(vby, 42, 0x1F07, 2);
    fnPut(vby, 44, 1023, 4);
    fnPut(vby, 48, 2047, 4);
    fnPut(vby, 52, 7, 4);
    fnPut(vby, 56, 0x80000000u, 4);
    fnPut(vby, 60, 0xFFFF, 2);
    Buffers stBuf(kCommPropInfoLines, kSlotChars, 2042);
    EXPECT_EQ(kCommPropInfoLines, fnCommPropInfoText(vby.data(), stBuf.Target()));
    const std::vector<std::string> vExpected = {
        "wPacketLength=64 \r\n",
        "wPacketVersion=2 \r\n",
        "dwServiceMask=0x00000001 \r\n",
        "dwReserved1=-1 \r\n",
        "dwMaxTxQueue=1024 \r\n",
        "dwMaxRxQueue=2048 \r\n",
        "dwMaxBaud=0x10000000 \r\n",
        "dwProvSubType=0x00000001 \r\n",
        "dwProvCapabilities=0x000000FF \r\n",
        "dwSettableParams=0x0000007F \r\n",
        "dwSettableBaud=0x1006FFFF \r\n",
        "wSettableData=0x000F \r\n",
        "wSettableStopParity=0x1F07 \r\n",
        "dwCurrentTxQueue=1023 \r\n",
        "dwCurrentRxQueue=2047 \r\n",
        "dwProvSpec1=7 \r\n",
        "dwProvSpec2=-2147483648 \r\n",
        "wcProvChar=65535 \r\n",
    };
    EXPECT_EQ(vExpected, fnLines(stBuf.Text()));
}

} // namespace
