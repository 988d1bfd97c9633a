#include "line_end.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Translate(const std::vector<std::uint8_t> &vec, std::uint32_t nCr, std::uint32_t nLf)
{
    // Exactly the room the routine may need, so an overrun is caught.
    std::vector<char> vecOut(2 * vec.size() + 1, 'x');
    const int iLen = fnTranslateLineEnds(vec.data(), static_cast<std::uint32_t>(vec.size()),
                                         vecOut.data(), nCr, nLf);
    const std::string str(vecOut.data());
    EXPECT_EQ(static_cast<int>(str.size()), iLen);
    return str;
}

} // namespace

TEST(LineEnds, EveryCrAndLfTranslation)
{
    const char *const apszCr[] = {"\r\n", "\n", "\r", ""};
    const char *const apszLf[] = {"\r\n", "\r", "\n", ""};
    for (std::uint32_t nCr = 0; nCr < 4; ++nCr) {
        for (std::uint32_t nLf = 0; nLf < 4; ++nLf) {
            EXPECT_EQ(std::string("A") + apszCr[nCr] + apszLf[nLf] + "B",
                      Translate({0x41, 0x0D, 0x0A, 0x42}, nCr, nLf))
                << nCr << ' ' << nLf;
        }
    }
    EXPECT_EQ("AB", Translate({0x41, 0x0D, 0x0A, 0x42}, 0xFFFFFFFFu, 3));
}

TEST(LineEnds, ZeroDroppedOthersCopiedWorstCaseFits)
{
    EXPECT_EQ("x", Translate({0x00, 'x', 0x00}, 2, 2));
    EXPECT_EQ("", Translate({0x00}, 2, 2));
    EXPECT_EQ("", Translate({}, 2, 2));
    EXPECT_EQ("\x01\x7F\x80\xFF", Translate({0x01, 0x7F, 0x80, 0xFF}, 0, 0));
    const std::vector<std::uint8_t> vecCr(1023, 0x0D);
    EXPECT_EQ(2046u, Translate(vecCr, 0, 0).size());
}
