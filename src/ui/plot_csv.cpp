#include "plot_csv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Text added to a bounded buffer; what does not fit is left out (the
// callers leave room for a whole row).
struct CsvOut {
    char *m_pch;
    std::size_t m_cch;
    std::size_t m_cchUsed;
};

void fnPut(CsvOut &st, const char *pch, std::size_t cch)
{
    if (cch <= st.m_cch - st.m_cchUsed) {
        std::memcpy(st.m_pch + st.m_cchUsed, pch, cch);
        st.m_cchUsed += cch;
    }
}

void fnPutText(CsvOut &st, const char *psz)
{
    fnPut(st, psz, std::strlen(psz));
}

// Decimal digits without the C library's 64-bit format, which differs
// between the runtimes this is built for.
void fnPutLineNumber(CsvOut &st, std::uint64_t qw)
{
    char ach[20];
    std::size_t i = sizeof ach;
    do {
        ach[--i] = static_cast<char>('0' + qw % 10);
        qw /= 10;
    } while (qw != 0);
    fnPut(st, ach + i, sizeof ach - i);
}

// Names hold no comma or semicolon (they end fields), but may hold quotes.
void fnPutName(CsvOut &st, const char *pszName)
{
    if (std::strchr(pszName, '"') == nullptr) {
        fnPutText(st, pszName);
        return;
    }
    fnPut(st, "\"", 1);
    for (const char *p = pszName; *p != '\0'; ++p) {
        fnPut(st, *p == '"' ? "\"\"" : p, *p == '"' ? 2 : 1);
    }
    fnPut(st, "\"", 1);
}

void fnPutHeader(CsvOut &stOut, const PlotStore &st, unsigned nChannels)
{
    fnPutText(stOut, "time,line");
    for (unsigned c = 0; c < nChannels; ++c) {
        fnPut(stOut, ",", 1);
        fnPutName(stOut, st.m_stNames.m_aachName[c]);
    }
    fnPut(stOut, "\r\n", 2);
}

void fnPutRow(CsvOut &stOut, const PlotStore &st, std::uint64_t qwLine, unsigned nChannels)
{
    const std::uint32_t dwSlot = fnPlotSlot(st, qwLine);
    char ach[kPlotValueMax];
    std::snprintf(ach, sizeof ach, "%.6f,", st.m_adTime[dwSlot]);
    fnPutText(stOut, ach);
    fnPutLineNumber(stOut, qwLine + 1);
    for (unsigned c = 0; c < nChannels; ++c) {
        fnPut(stOut, ",", 1);
        if (fnPlotHas(st.m_awMask[dwSlot], c)) {
            fnPut(stOut, ach, fnPlotFormatValue(ach, sizeof ach, st.m_aadValue[c][dwSlot]));
        }
    }
    fnPut(stOut, "\r\n", 2);
}

} // namespace

void fnPlotCsvStart(PlotCsv &stCsv, const PlotStore &st, const PlotRange *pstRange)
{
    stCsv.m_qwNext = st.m_qwFirst;
    stCsv.m_qwEnd = st.m_qwEnd;
    if (pstRange != nullptr) {
        stCsv.m_qwNext = fnPlotLineAt(st, pstRange->m_nAxis, pstRange->m_dFrom, false);
        stCsv.m_qwEnd = std::max(stCsv.m_qwNext, fnPlotLineAt(st, pstRange->m_nAxis, pstRange->m_dTo, true));
    }
    stCsv.m_qwLost = 0;
    stCsv.m_byChannels = st.m_stNames.m_byCount;
    stCsv.m_bHeader = true;
}

std::size_t fnPlotCsvChunk(PlotCsv &stCsv, const PlotStore &st, char *pch, std::size_t cch)
{
    const std::uint64_t qwEnd = std::min(stCsv.m_qwEnd, st.m_qwEnd);
    const std::uint64_t qwFirst = std::min(st.m_qwFirst, qwEnd);
    if (stCsv.m_qwNext < qwFirst) {
        stCsv.m_qwLost += qwFirst - stCsv.m_qwNext;
        stCsv.m_qwNext = qwFirst;
    }
    CsvOut stOut = {pch, cch, 0};
    if (stCsv.m_bHeader && cch >= kPlotCsvRowMax) {
        fnPutHeader(stOut, st, stCsv.m_byChannels);
        stCsv.m_bHeader = false;
    }
    while (!stCsv.m_bHeader && stCsv.m_qwNext < qwEnd && cch - stOut.m_cchUsed >= kPlotCsvRowMax) {
        fnPutRow(stOut, st, stCsv.m_qwNext++, stCsv.m_byChannels);
    }
    return stOut.m_cchUsed;
}

std::size_t fnPlotFormatValue(char *pch, std::size_t cch, double d)
{
    char ach[kPlotValueMax];
    if (std::isnan(d)) {
        std::strcpy(ach, "nan");
    } else if (std::isinf(d)) {
        std::strcpy(ach, d < 0 ? "-inf" : "inf");
    } else {
        // 17 significant digits always read back; fewer usually do.
        for (int nDigits = 15; nDigits <= 17; ++nDigits) {
            const int n = std::snprintf(ach, sizeof ach, "%.*g", nDigits, d);
            double dBack = 0;
            if (fnPlotNumber(ach, ach + n, dBack) == ach + n && dBack == d) {
                break;
            }
        }
    }
    const int n = std::snprintf(pch, cch, "%s", ach);
    return std::min(static_cast<std::size_t>(n), cch > 0 ? cch - 1 : 0);
}
