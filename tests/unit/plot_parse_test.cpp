#include "plot_parse.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// "name:value,name:value" per line with values, in channel order, lines
// joined by " | "; values with 17 digits, so a value off by one bit shows.
std::string fnText(const PlotParser &st, const PlotLine &stLine)
{
    std::string str;
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        if (((stLine.m_wMask >> c) & 1u) != 0) {
            char ach[80];
            std::snprintf(ach, sizeof ach, "%s%s:%.17g", str.empty() ? "" : ",", st.m_stNames.m_aachName[c],
                          stLine.m_adValue[c]);
            str += ach;
        }
    }
    return str;
}

// The input in reads of cchRead bytes, each read fed until used up, then a flush.
std::string fnParseAll(PlotParser &st, std::uint8_t byFormats, const std::string &strIn, std::size_t cchRead)
{
    fnPlotParseInit(st, byFormats);
    std::string strOut;
    PlotLine stLine;
    const auto fnTake = [&] {
        if (stLine.m_wMask != 0) {
            strOut += (strOut.empty() ? "" : " | ") + fnText(st, stLine);
        }
    };
    for (std::size_t i = 0; i < strIn.size(); i += cchRead) {
        const std::string strRead = strIn.substr(i, cchRead);
        for (std::size_t j = 0; j < strRead.size(); fnTake()) {
            j += fnPlotParseFeed(st, strRead.data() + j, strRead.size() - j, stLine);
        }
    }
    fnPlotParseFlush(st, stLine);
    fnTake();
    return strOut;
}

// "c1:1 c2:2 ..." with nLabels labels, padded with words to cchLine bytes.
std::string fnLabels(int nLabels, std::size_t cchLine)
{
    std::string str;
    for (int i = 1; i <= nLabels; ++i) {
        str += "c" + std::to_string(i) + ":" + std::to_string(i) + " ";
    }
    return str + std::string(cchLine - str.size(), 'x');
}

std::string fnLabelsText(int nLabels)
{
    std::string str;
    for (int i = 1; i <= nLabels; ++i) {
        str += (i > 1 ? ",c" : "c") + std::to_string(i) + ":" + std::to_string(i);
    }
    return str;
}

} // namespace

TEST(PlotParse, FormsAndEdgesInReadsOfAnySize)
{
    struct Case {
        const char *pszWhat;
        std::string strIn;
        std::uint8_t byFormats;
        std::string strWant;
        std::uint64_t qwLong;
        std::uint64_t qwNoChannel;
    };
    const Case astCases[] = {
        {"labels", "temp:23.5 hum:41\n", kPlotFormatAll, "temp:23.5,hum:41", 0, 0},
        {"= labels, spaced", "x=1,y=2\r\nx = 3; y= 4\r\nT = 5, H : 6\n", kPlotFormatAll,
         "x:1,y:2 | x:3,y:4 | T:5,H:6", 0, 0},
        {">name:value", ">temp:23.5\n>hum:41\n", kPlotFormatAll, "temp:23.5 | hum:41", 0, 0},
        {"order first seen", "b:1 a:2\na:3 b:4\n", kPlotFormatAll, "b:1,a:2 | b:4,a:3", 0, 0},
        {"columns", "12,34.5,-7\n1\t2\n3   4\n", kPlotFormatAll, "1:12,2:34.5,3:-7 | 1:1,2:2 | 1:3,2:4", 0,
         0},
        {"empty fields", "1,,3\n,5\n", kPlotFormatAll, "1:1,3:3 | 2:5", 0, 0},
        {"names line, renamed", "time,a,b\n1,2,3\n4,5,6\nc;d\n\r\n7;8\n", kPlotFormatAll,
         "time:1,a:2,b:3 | time:4,a:5,b:6 | c:7,d:8", 0, 0},
        {"names line not just before", "a,b\nhello\n1,2\n", kPlotFormatAll, "1:1,2:2", 0, 0},
        {"numbers", "-1.5e-3 2E+2 .5 5. +7 1e400 007 -0 -2.5e999 1e-400 -0.7e-330\n", kPlotFormatAll,
         "1:-0.0015,2:200,3:0.5,4:5,5:7,6:inf,7:7,8:-0,9:-inf,10:0,11:-0", 0, 0},
        {"rounded once", "12345678901234567890123 0.1 0.30000000000000004 3.3 4.9e-324\n", kPlotFormatAll,
         "1:1.2345678901234568e+22,2:0.10000000000000001,3:0.30000000000000004,4:3.2999999999999998,"
         "5:4.9406564584124654e-324",
         0, 0},
        // Products an x87 unit rounds twice, to 64 bits and then to 53.
        {"rounded once, products",
         "-4039318801243454.e11 771132266.6310722e15 6514369946051e13 4352973143e21\n", kPlotFormatAll,
         "1:-4.0393188012434537e+26,2:7.7113226663107227e+23,3:6.5143699460509996e+25,"
         "4:4.3529731430000003e+30",
         0, 0},
        {"gaps", "a:nan b:inf c:-Infinity d:NaN\n", kPlotFormatAll, "a:nan,b:inf,c:-inf,d:nan", 0, 0},
        {"text between", "Temperature 23.5 C Humidity 41 %\n", kPlotFormatAll, "1:23.5,2:41", 0, 0},
        {"units, not numbers", "3.3V 12ms 50% v1.2.3 0x1F 3/4 information (7)\n", kPlotFormatAll,
         "1:3.2999999999999998,2:12,3:50,4:7", 0, 0},
        {"clock and failed labels", "time: 12:30:05 T=21.5\nx:1:2 =5 y:z 7\n", kPlotFormatAll, "T:21.5 | 1:7",
         0, 0},
        {"junk bytes",
         std::string("\x1b[1;31m\x01\xff\x80"
                     "abc 12") +
             '\0' + "\x7f 8\x1b[0m\n",
         kPlotFormatAll, "1:12,2:8", 0, 0},
        {"no number", "hello world\n\n,\n", kPlotFormatAll, "", 0, 0},
        {"no line end at the end", "a:1\nb:2", kPlotFormatAll, "a:1 | b:2", 0, 0},
        {"CR, LF, CR LF", "1\r2\r\n3\n\n4", kPlotFormatAll, "1:1 | 1:2 | 1:3 | 1:4", 0, 0},
        {"1,000-byte line", fnLabels(16, 1000) + "\n", kPlotFormatAll, fnLabelsText(16), 0, 0},
        {"longest line kept, longer dropped",
         "a:1 " + std::string(1020, 'x') + "\na:9 " + std::string(1021, 'x') + "\na:2", kPlotFormatAll,
         "a:1 | a:2", 1, 0},
        {"17 labels", fnLabels(17, 120) + "\n", kPlotFormatAll, fnLabelsText(16), 0, 1},
        {"labels only", "a:1 5\np,q\n1,2\n", kPlotFormatLabels, "a:1", 0, 0},
        {"columns only", "a:1 5\n", kPlotFormatColumns, "1:5", 0, 0},
        {"no names lines", "p,q\n1,2\n", kPlotFormatLabels | kPlotFormatColumns, "1:1,2:2", 0, 0},
    };
    static PlotParser st;
    for (const Case &stCase : astCases) {
        for (std::size_t cchRead : {stCase.strIn.size(), std::size_t(1), std::size_t(7)}) {
            EXPECT_EQ(stCase.strWant, fnParseAll(st, stCase.byFormats, stCase.strIn, cchRead))
                << stCase.pszWhat << ", reads of " << cchRead;
            EXPECT_EQ(stCase.qwLong, st.m_qwLongLines) << stCase.pszWhat;
            EXPECT_EQ(stCase.qwNoChannel, st.m_qwNoChannel) << stCase.pszWhat;
        }
    }
}

// Random numbers of every form against the C library's reading, nearest
// double: whole digits times a power of ten, read with integers here, and
// fractions and long mantissas, left to the standard library.
TEST(PlotParse, NumbersReadAsTheNearestDouble)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        std::string str = std::to_string(rng() >> rng() % 64);
        if (rng() % 2 == 0) {
            str.insert(rng() % (str.size() + 1), ".");
        }
        str += "e" + std::to_string(static_cast<int>(rng() % 90) - 40);
        const double dWant = std::strtod(str.c_str(), nullptr);
        double dGot = -1;
        ASSERT_EQ(str.data() + str.size(), fnPlotNumber(str.data(), str.data() + str.size(), dGot)) << str;
        ASSERT_EQ(0, std::memcmp(&dWant, &dGot, sizeof dGot)) << str << " read as " << dGot;
    }
}
