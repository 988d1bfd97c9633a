#include "hex_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct ScanCase {
    const char *psz;
    int nCode;
    std::vector<std::uint8_t> vecBytes;
};

} // namespace

TEST(HexScan, VerdictsAndBytesAgree)
{
    const ScanCase astCases[] = {
        {"", kHexNothing, {}},
        {"    ", kHexNothing, {}},
        {"0a", kHexOk, {0x0A}},
        {"0A", kHexOk, {0x0A}},
        {"  0A   ", kHexOk, {0x0A}},
        {"0A0b", kHexOk, {0x0A, 0x0B}},
        {"0A 0b", kHexOk, {0x0A, 0x0B}},
        {"fF 00 a5", kHexOk, {0xFF, 0x00, 0xA5}},
        {"A", kHexIllegal, {}},
        {"1 2", kHexIllegal, {}},
        {"0 A", kHexIllegal, {}},
        {"123", kHexIllegal, {}},
        {"1G", kHexIllegal, {}},
        {"12,34", kHexIllegal, {}},
        {"12\t34", kHexIllegal, {}},
        {"\t", kHexIllegal, {}},
        {"\xC1\xC2", kHexIllegal, {}},
    };
    for (const ScanCase &st : astCases) {
        std::uint8_t aby[256];
        std::uint32_t dwCount = 99;
        EXPECT_EQ(st.nCode, fnCheckHexStr(st.psz, 512)) << st.psz;
        EXPECT_EQ(st.nCode, fnHexStrToBuf(st.psz, aby, &dwCount, 512)) << st.psz;
        ASSERT_LE(dwCount, sizeof aby);
        EXPECT_EQ(st.vecBytes, std::vector<std::uint8_t>(aby, aby + dwCount)) << st.psz;
    }
}

TEST(HexScan, FailuresKeepStoredBytesButReportNone)
{
    std::uint8_t aby[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    std::uint32_t dwCount = 99;
    EXPECT_EQ(kHexIllegal, fnHexStrToBuf("12 3", aby, &dwCount, 32));
    EXPECT_EQ(0u, dwCount);
    EXPECT_EQ(0x12, aby[0]);

    dwCount = 99;
    EXPECT_EQ(kHexTooLong, fnHexStrToBuf("0102", aby, &dwCount, 4));
    EXPECT_EQ(0u, dwCount);
    EXPECT_EQ(0x01, aby[0]);
    EXPECT_EQ(0x02, aby[1]);
}

TEST(HexScan, LimitBoundsWhatIsExamined)
{
    // No terminator within the limit; arrays sized exactly so that a look
    // past the limit is caught by the address sanitizer.
    const char achPairs[8] = {'A', 'B', 'C', 'D', 'E', 'F', '0', '1'};
    const char achOdd[3] = {'A', 'B', 'C'};
    const char achBlanks[3] = {' ', ' ', ' '};
    std::uint8_t aby[4];
    std::uint32_t dwCount = 99;
    EXPECT_EQ(kHexTooLong, fnCheckHexStr(achPairs, sizeof achPairs));
    EXPECT_EQ(kHexTooLong, fnHexStrToBuf(achPairs, aby, &dwCount, sizeof achPairs));
    EXPECT_EQ(0u, dwCount);
    EXPECT_EQ(kHexTooLong, fnCheckHexStr(achOdd, sizeof achOdd));
    EXPECT_EQ(kHexTooLong, fnCheckHexStr(achBlanks, sizeof achBlanks));
    EXPECT_EQ(kHexTooLong, fnCheckHexStr("", 0));
    EXPECT_EQ(kHexNothing, fnCheckHexStr("", 1));
    EXPECT_EQ(kHexOk, fnHexStrToBuf("0A", aby, &dwCount, 3));
    EXPECT_EQ(1u, dwCount);
    EXPECT_EQ(kHexTooLong, fnCheckHexStr("0A", 2));
}

TEST(HexBytes, EveryByteFormatsAndParsesBack)
{
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t by = static_cast<std::uint8_t>(i);
        char ach[4] = {'x', 'x', 'x', 'x'};
        char achWant[3];
        std::snprintf(achWant, sizeof achWant, "%02X", i);
        fnByteToHexStr(&by, ach);
        ASSERT_STREQ(achWant, ach);
        ASSERT_EQ('x', ach[3]);
        std::uint8_t byBack = static_cast<std::uint8_t>(~by);
        const char achLower[3] = {static_cast<char>(std::tolower(ach[0])),
                                  static_cast<char>(std::tolower(ach[1])), 0};
        ASSERT_EQ(1, fnIsHexPair(achLower));
        ASSERT_EQ(1, fnHexPairToByte(achLower, &byBack));
        ASSERT_EQ(by, byBack);
    }
    std::uint8_t by = 0x5A;
    for (const char *psz : {"", "5", "g5", "5g", " 5", "5 "}) {
        EXPECT_EQ(0, fnIsHexPair(psz)) << psz;
        EXPECT_EQ(0, fnHexPairToByte(psz, &by)) << psz;
        EXPECT_EQ(0x5A, by);
    }
}

TEST(HexBytes, BufferFormatting)
{
    const std::uint8_t aby[] = {0x00, 0x7F, 0xFF};
    char ach[12];
    std::memset(ach, 'x', sizeof ach);
    EXPECT_EQ(3u, fnBufToHexStr(aby, ach, 3));
    EXPECT_STREQ("00 7F FF ", ach);
    EXPECT_EQ('x', ach[10]);

    const std::uint8_t abyTwo[] = {0x48, 0x0A};
    EXPECT_EQ(2u, fnBufToHexStr(abyTwo, ach, 2));
    EXPECT_STREQ("48 0A ", ach);

    std::memset(ach, 'x', sizeof ach);
    EXPECT_EQ(0u, fnBufToHexStr(aby, ach, 0));
    for (char ch : ach) {
        EXPECT_EQ('x', ch);
    }
}
