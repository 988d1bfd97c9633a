#include "plot_csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fnSplit(const std::string &str, const std::string &strSep)
{
    std::vector<std::string> vec;
    std::size_t i = 0;
    for (std::size_t j; (j = str.find(strSep, i)) != std::string::npos; i = j + strSep.size()) {
        vec.push_back(str.substr(i, j - i));
    }
    vec.push_back(str.substr(i));
    return vec;
}

// The whole export, in chunks as small as allowed.
std::string fnExport(PlotCsv &stCsv, const PlotStore &st)
{
    std::string str;
    static char ach[kPlotCsvRowMax];
    for (std::size_t cch; (cch = fnPlotCsvChunk(stCsv, st, ach, sizeof ach)) != 0;) {
        str.append(ach, cch);
    }
    return str;
}

double fnRandomValue(std::mt19937 &stRand)
{
    const unsigned u = stRand() % 10;
    if (u == 0) {
        return stRand() % 2 == 0 ? std::numeric_limits<double>::quiet_NaN()
                                 : -std::numeric_limits<double>::infinity();
    }
    if (u < 5) {
        return (double(stRand() % 2000001) - 1000000) / 1000; // as a device prints "-12.345"
    }
    std::uint64_t qwBits = (std::uint64_t(stRand()) << 32 | stRand()) & ~(0x7FFull << 52);
    qwBits |= std::uint64_t(stRand() % 0x7FF) << 52; // any finite double
    double d;
    std::memcpy(&d, &qwBits, sizeof d);
    return d;
}

} // namespace

// Values exported and read back by the C library are the same doubles, rows
// keep their lines, an absent value is an empty cell.
TEST(PlotCsv, ExportReadsBackAsTheRecordedValues)
{
    static PlotStore st;
    std::mt19937 stRand(1144);
    fnPlotStoreInit(st, 256);
    PlotNames stNames = {{"a", "say \"hi\"", "c"}, 3};
    for (int i = 0; i < 300; ++i) {
        PlotLine stLine = {};
        stLine.m_wMask = static_cast<std::uint16_t>(1 + stRand() % 7);
        stLine.m_wNew = static_cast<std::uint16_t>(i == 0 ? 7 : 0);
        for (unsigned c = 0; c < 3; ++c) {
            stLine.m_adValue[c] = fnRandomValue(stRand);
        }
        fnPlotStoreAdd(st, stLine, stNames, i * 0.125);
    }
    PlotCsv stCsv;
    fnPlotCsvStart(stCsv, st, nullptr);
    const std::vector<std::string> vecRows = fnSplit(fnExport(stCsv, st), "\r\n");
    ASSERT_EQ(st.m_qwEnd - st.m_qwFirst + 2, vecRows.size()); // header, rows, nothing after the last CR LF
    EXPECT_EQ("time,line,a,\"say \"\"hi\"\"\",c", vecRows[0]);
    EXPECT_EQ("", vecRows.back());
    for (std::uint64_t q = st.m_qwFirst; q < st.m_qwEnd; ++q) {
        const std::uint32_t dwSlot = fnPlotSlot(st, q);
        const std::vector<std::string> vecCells = fnSplit(vecRows[1 + q - st.m_qwFirst], ",");
        ASSERT_EQ(5u, vecCells.size()) << q;
        EXPECT_EQ(st.m_adTime[dwSlot], std::strtod(vecCells[0].c_str(), nullptr)) << q;
        EXPECT_EQ(std::to_string(q + 1), vecCells[1]);
        for (unsigned c = 0; c < 3; ++c) {
            const std::string &strCell = vecCells[2 + c];
            if (((st.m_awMask[dwSlot] >> c) & 1) == 0) {
                EXPECT_EQ("", strCell) << q;
                continue;
            }
            const double dWant = st.m_aadValue[c][dwSlot];
            const double dGot = std::strtod(strCell.c_str(), nullptr);
            EXPECT_TRUE(std::memcmp(&dWant, &dGot, sizeof dGot) == 0 ||
                        (std::isnan(dWant) && std::isnan(dGot)))
                << q << " " << strCell;
        }
    }

    // A range: the lines with times 20 to 30 s; lines the ring drops before
    // their turn are counted, not written.
    const PlotRange stRange = {kPlotAxisTime, 20, 30};
    fnPlotCsvStart(stCsv, st, &stRange);
    EXPECT_EQ(81u, fnSplit(fnExport(stCsv, st), "\r\n").size() - 2);
    fnPlotCsvStart(stCsv, st, &stRange);
    char ach[kPlotCsvRowMax];
    EXPECT_NE(0u, fnPlotCsvChunk(stCsv, st, ach, sizeof ach)); // the header alone
    for (int i = 0; i < 100; ++i) {
        fnPlotStoreAdd(st, PlotLine{1, 0, {1.0}}, stNames, 40);
    }
    // Lines 193 to 241 are left of 161 to 241.
    EXPECT_EQ(49u, fnSplit(fnExport(stCsv, st), "\r\n").size() - 1);
    EXPECT_EQ(32u, stCsv.m_qwLost);
}

TEST(PlotCsv, ValuesInTheFewestDigitsThatReadBack)
{
    struct Case {
        double d;
        const char *pszWant;
    };
    const Case astCases[] = {
        {0.1, "0.1"},
        {-0.0015, "-0.0015"},
        {23.5, "23.5"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1.0 / 3, "0.3333333333333333"},
        {9007199254740993.0, "9007199254740992"},
        {1e21, "1e+21"},
        {-0.0, "-0"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const Case &stCase : astCases) {
        char ach[kPlotValueMax];
        const std::size_t cch = fnPlotFormatValue(ach, sizeof ach, stCase.d);
        EXPECT_STREQ(stCase.pszWant, ach);
        EXPECT_EQ(std::strlen(ach), cch);
    }
}
