#include "plot_parse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Significant digits an unsigned 64-bit integer always holds.
const int kExactDigits = 19;
// Integers up to 2^53 are exact doubles.
const std::uint64_t kqwExactInt = 1ull << 53;
// 5^22 is the largest power of five below 2^53.
const int kPow5Max = 22;
// Exponent digits beyond this many make no difference to a double.
const int kExpClamp = 100000;

struct Pow5 {
    std::uint64_t m_aqw[kPow5Max + 1];
    constexpr Pow5() : m_aqw()
    {
        m_aqw[0] = 1;
        for (int i = 1; i <= kPow5Max; ++i) {
            m_aqw[i] = m_aqw[i - 1] * 5;
        }
    }
};

constexpr Pow5 kPow5;

// A decimal number: m_qwDigits * 10^m_nExp10, with m_bMore when non-zero
// digits beyond the first kExactDigits were left out.
struct Decimal {
    std::uint64_t m_qwDigits;
    int m_nDigits;
    int m_nExp10;
    bool m_bMore;
};

bool fnIsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

void fnTakeDigit(Decimal &st, char ch, bool bFraction)
{
    const unsigned u = static_cast<unsigned>(ch - '0');
    if (st.m_nDigits == 0 && u == 0) {
        st.m_nExp10 -= bFraction ? 1 : 0;
        return;
    }
    if (st.m_nDigits < kExactDigits) {
        st.m_qwDigits = st.m_qwDigits * 10 + u;
        ++st.m_nDigits;
        st.m_nExp10 -= bFraction ? 1 : 0;
        return;
    }
    st.m_bMore = st.m_bMore || u != 0;
    st.m_nExp10 += bFraction ? 0 : 1;
}

// An exponent ("e-3") at pch adds to the decimal; returns its end, pch when
// there is none (the 'e' then belongs to a unit).
const char *fnExponent(const char *pch, const char *pchEnd, Decimal &st)
{
    const char *p = pch + 1;
    if (p >= pchEnd || (*pch != 'e' && *pch != 'E')) {
        return pch;
    }
    const bool bNeg = *p == '-';
    p += *p == '-' || *p == '+' ? 1 : 0;
    if (p >= pchEnd || !fnIsDigit(*p)) {
        return pch;
    }
    int nExp = 0;
    for (; p < pchEnd && fnIsDigit(*p); ++p) {
        nExp = std::min(nExp * 10 + (*p - '0'), kExpClamp);
    }
    st.m_nExp10 += bNeg ? -nExp : nExp;
    return p;
}

// An integer of up to 128 bits; its value is m_qwHigh * 2^64 + m_qwLow.
struct Wide {
    std::uint64_t m_qwHigh;
    std::uint64_t m_qwLow;
};

// Times five, unless the product might not fit.
bool fnTimesFive(Wide &st)
{
    if (st.m_qwHigh >> 61 != 0) {
        return false;
    }
    const std::uint64_t qwFour = st.m_qwLow << 2;
    const std::uint64_t qwLow = qwFour + st.m_qwLow;
    st.m_qwHigh = st.m_qwHigh * 5 + (st.m_qwLow >> 62) + (qwLow < qwFour ? 1 : 0);
    st.m_qwLow = qwLow;
    return true;
}

// st * 2^nExp2 rounded once to the nearest double, ties to even, from its
// top 64 bits and whether any bit below them is set.
double fnRoundWide(Wide st, int nExp2)
{
    if (st.m_qwHigh == 0) {
        st.m_qwHigh = st.m_qwLow;
        st.m_qwLow = 0;
        nExp2 -= 64;
    }
    int nShift = 0;
    while ((st.m_qwHigh << nShift) >> 63 == 0) {
        ++nShift;
    }
    const std::uint64_t qwTop =
        nShift == 0 ? st.m_qwHigh : st.m_qwHigh << nShift | st.m_qwLow >> (64 - nShift);
    const bool bBelow = (st.m_qwLow << nShift) != 0;
    std::uint64_t qwMantissa = qwTop >> 11;
    const std::uint64_t qwRest = qwTop & 0x7FF;
    if (qwRest > 0x400 || (qwRest == 0x400 && (bBelow || (qwMantissa & 1) != 0))) {
        ++qwMantissa;
    }
    return std::ldexp(static_cast<double>(qwMantissa), nExp2 + 64 - nShift + 11);
}

// The value of a decimal without a fraction, when its digits times 10^n fit
// in 128 bits: worked out with integers, since the x87 unit of the 32-bit
// build would round a product twice (to 64 bits, then to 53).
bool fnWholeValue(const Decimal &st, double &d)
{
    if (st.m_qwDigits <= kqwExactInt && st.m_nExp10 == 0) {
        d = static_cast<double>(st.m_qwDigits);
        return true;
    }
    Wide stWide = {0, st.m_qwDigits};
    for (int i = 0; i < st.m_nExp10; ++i) {
        if (!fnTimesFive(stWide)) {
            return false;
        }
    }
    d = fnRoundWide(stWide, st.m_nExp10);
    return true;
}

// The value when integers can work it out: a decimal without a fraction, or
// one divided by a power of two (no rounding then). Others are left to the
// standard library.
bool fnExactValue(const Decimal &st, double &d)
{
    if (st.m_bMore) {
        return false;
    }
    const std::uint64_t qw = st.m_qwDigits;
    if (qw == 0) {
        d = 0;
        return true;
    }
    if (st.m_nExp10 >= 0) {
        return fnWholeValue(st, d);
    }
    const int nFive = -st.m_nExp10;
    if (nFive > kPow5Max || qw % kPow5.m_aqw[nFive] != 0 || qw / kPow5.m_aqw[nFive] > kqwExactInt) {
        return false;
    }
    d = std::ldexp(static_cast<double>(qw / kPow5.m_aqw[nFive]), -nFive);
    return true;
}

// Any other value is rounded by the standard library, which reads the text
// the same in every locale and rounds with integers only.
double fnRoundedValue(const char *pch, std::size_t cch, const Decimal &st)
{
    const char *pchDigits = pch + (cch > 0 && (*pch == '-' || *pch == '+') ? 1 : 0);
    double d = 0;
    if (std::from_chars(pchDigits, pch + cch, d).ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: which one, the decimal's scale tells.
        d = st.m_nDigits + st.m_nExp10 > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return d;
}

bool fnIsBlank(unsigned char ch)
{
    return ch <= ' ' || ch == 0x7F;
}

bool fnIsAssign(unsigned char ch)
{
    return ch == ':' || ch == '=';
}

bool fnIsFieldEnd(unsigned char ch)
{
    return ch == ',' || ch == ';' || ch == '\t';
}

// ASCII only, whatever the locale.
bool fnSameWord(const char *pch, std::size_t cch, const char *pszLower)
{
    std::size_t i = 0;
    for (; i < cch && pszLower[i] != '\0'; ++i) {
        const char chLower =
            pch[i] >= 'A' && pch[i] <= 'Z' ? static_cast<char>(pch[i] + ('a' - 'A')) : pch[i];
        if (chLower != pszLower[i]) {
            return false;
        }
    }
    return i == cch && pszLower[i] == '\0';
}

// "nan", "inf", "infinity" in any case, signed.
bool fnGapWord(const char *pch, std::size_t cch, double &d)
{
    const bool bNeg = cch > 0 && pch[0] == '-';
    const std::size_t cchSign = cch > 0 && (pch[0] == '-' || pch[0] == '+') ? 1 : 0;
    if (fnSameWord(pch + cchSign, cch - cchSign, "nan")) {
        d = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (fnSameWord(pch + cchSign, cch - cchSign, "inf") ||
        fnSameWord(pch + cchSign, cch - cchSign, "infinity")) {
        d = bNeg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    return false;
}

// What may follow a number in its word: a unit ("V", "%", "ms"), with no
// digit in it and not a prefixed number ("0x1F").
bool fnIsUnit(const char *pchNumber, const char *p, const char *pchEnd)
{
    if (p == pchEnd) {
        return true;
    }
    if (*p == '.' || *p == '+' || *p == '-' || *p == '_') {
        return false;
    }
    const bool bZero = p[-1] == '0' && (p - 1 == pchNumber || p[-2] == '-' || p[-2] == '+');
    if (bZero && (*p == 'x' || *p == 'X' || *p == 'b' || *p == 'B')) {
        return false;
    }
    return std::find_if(p, pchEnd, fnIsDigit) == pchEnd;
}

// A word that is a value: a number with a unit, or a gap word; opening
// brackets and quotes before it are skipped.
bool fnValueWord(const char *pch, std::size_t cch, double &d)
{
    static const char kachOpen[] = "([{\"'";
    while (cch > 0 && std::memchr(kachOpen, pch[0], sizeof kachOpen - 1) != nullptr) {
        ++pch;
        --cch;
    }
    const char *p = fnPlotNumber(pch, pch + cch, d);
    return p != nullptr ? fnIsUnit(pch, p, pch + cch) : fnGapWord(pch, cch, d);
}

bool fnIsName(const char *pch, std::size_t cch)
{
    return cch > 0 && !fnIsDigit(pch[0]) && pch[0] != '+' && pch[0] != '-' && pch[0] != '.';
}

// Cut to kPlotNameMax - 1 bytes; control bytes become spaces.
void fnCopyName(char *pszName, const char *pch, std::size_t cch)
{
    const std::size_t cchCopy = std::min(cch, kPlotNameMax - 1);
    for (std::size_t i = 0; i < cchCopy; ++i) {
        pszName[i] = fnIsBlank(static_cast<unsigned char>(pch[i])) ? ' ' : pch[i];
    }
    pszName[cchCopy] = '\0';
}

bool fnNameIs(const char *pszName, const char *pch, std::size_t cch)
{
    return std::memcmp(pszName, pch, cch) == 0 && pszName[cch] == '\0';
}

// The channel of a name, made when new. Lines name their channels in the
// same order each time, so the search starts after the last one found.
unsigned fnChannel(PlotParser &st, const char *pch, std::size_t cch, PlotLine &stLine)
{
    PlotNames &stNames = st.m_stNames;
    cch = std::min(cch, kPlotNameMax - 1);
    for (unsigned n = 0; n < stNames.m_byCount; ++n) {
        const unsigned c = (st.m_byHint + n) % stNames.m_byCount;
        if (fnNameIs(stNames.m_aachName[c], pch, cch)) {
            st.m_byHint = static_cast<std::uint8_t>(c + 1);
            return c;
        }
    }
    if (stNames.m_byCount == kPlotChannels) {
        return kPlotNoChannel;
    }
    const unsigned c = stNames.m_byCount++;
    fnCopyName(stNames.m_aachName[c], pch, cch);
    stLine.m_wNew = static_cast<std::uint16_t>(stLine.m_wNew | 1u << c);
    return c;
}

void fnPut(PlotParser &st, unsigned nChannel, double d, PlotLine &stLine)
{
    if (nChannel == kPlotNoChannel) {
        ++st.m_qwNoChannel;
        return;
    }
    stLine.m_adValue[nChannel] = d;
    stLine.m_wMask = static_cast<std::uint16_t>(stLine.m_wMask | 1u << nChannel);
}

// Where the reader stands in one line.
struct LineScan {
    const char *m_pch;
    std::size_t m_cch;
    std::size_t m_i;
    bool m_bFields;      // fields end at commas, semicolons and tabs
    unsigned m_nColumn;  // fields: this field's column; spaces: the columns taken
    bool m_bColumnTaken; // fields: this field gave its value
    bool m_bAfterAssign; // the next word follows a ':' or '=' that gave no label
    bool m_bNumber;      // a number was seen
    bool m_bAssign;      // a ':' or '=' was seen
    bool m_bUnlabelled;  // an unlabelled value came
};

bool fnIsSeparator(const LineScan &sc, unsigned char ch)
{
    return sc.m_bFields && fnIsFieldEnd(ch);
}

bool fnIsWordByte(const LineScan &sc, unsigned char ch)
{
    return !fnIsBlank(ch) && !fnIsAssign(ch) && !fnIsSeparator(sc, ch);
}

std::size_t fnSkipBlanks(const LineScan &sc, std::size_t i)
{
    while (i < sc.m_cch && fnIsBlank(static_cast<unsigned char>(sc.m_pch[i])) &&
           !fnIsSeparator(sc, static_cast<unsigned char>(sc.m_pch[i]))) {
        ++i;
    }
    return i;
}

std::size_t fnWordEnd(const LineScan &sc, std::size_t i)
{
    while (i < sc.m_cch && fnIsWordByte(sc, static_cast<unsigned char>(sc.m_pch[i]))) {
        ++i;
    }
    return i;
}

// A names line waiting from the line before gives the columns their channels.
void fnTakeHeader(PlotParser &st, PlotLine &stLine)
{
    for (unsigned k = 0; k < st.m_byHeader; ++k) {
        const char *pszName = st.m_aachHeader[k];
        st.m_abyColumn[k] = static_cast<std::uint8_t>(fnChannel(st, pszName, std::strlen(pszName), stLine));
    }
    st.m_byHeader = 0;
}

unsigned fnColumnChannel(PlotParser &st, unsigned nColumn, PlotLine &stLine)
{
    std::uint8_t &byChannel = st.m_abyColumn[nColumn - 1];
    if (byChannel == kPlotNoChannel) {
        char achName[4];
        const std::size_t cch = nColumn < 10 ? 1 : 2;
        achName[0] = static_cast<char>(nColumn < 10 ? '0' + nColumn : '0' + nColumn / 10);
        achName[1] = static_cast<char>('0' + nColumn % 10);
        byChannel = static_cast<std::uint8_t>(fnChannel(st, achName, cch, stLine));
    }
    return byChannel;
}

void fnUnlabelled(PlotParser &st, LineScan &sc, double d, PlotLine &stLine)
{
    if (sc.m_bFields && sc.m_bColumnTaken) {
        return;
    }
    sc.m_bColumnTaken = true;
    const unsigned nColumn = sc.m_bFields ? sc.m_nColumn : ++sc.m_nColumn;
    if ((st.m_byFormats & kPlotFormatColumns) == 0) {
        return;
    }
    if (!sc.m_bUnlabelled) {
        sc.m_bUnlabelled = true;
        fnTakeHeader(st, stLine);
    }
    fnPut(st, nColumn <= kPlotChannels ? fnColumnChannel(st, nColumn, stLine) : kPlotNoChannel, d, stLine);
}

// The word [iName, iName + cchName) stands before a ':' or '=' at iAssign.
void fnLabel(PlotParser &st, LineScan &sc, std::size_t iName, std::size_t cchName, std::size_t iAssign,
             PlotLine &stLine)
{
    sc.m_bAssign = true;
    const std::size_t iValue = fnSkipBlanks(sc, iAssign + 1);
    const std::size_t iEnd = fnWordEnd(sc, iValue);
    const std::size_t iAfter = fnSkipBlanks(sc, iEnd);
    double d = 0;
    const bool bLabel = fnIsName(sc.m_pch + iName, cchName) &&
                        (iAfter == sc.m_cch || !fnIsAssign(static_cast<unsigned char>(sc.m_pch[iAfter]))) &&
                        fnValueWord(sc.m_pch + iValue, iEnd - iValue, d);
    if (!bLabel) {
        sc.m_i = iAssign + 1;
        sc.m_bAfterAssign = true;
        return;
    }
    sc.m_i = iEnd;
    sc.m_bNumber = true;
    sc.m_bAfterAssign = false;
    sc.m_bColumnTaken = true;
    if ((st.m_byFormats & kPlotFormatLabels) != 0) {
        fnPut(st, fnChannel(st, sc.m_pch + iName, cchName, stLine), d, stLine);
    }
}

void fnScanWord(PlotParser &st, LineScan &sc, PlotLine &stLine)
{
    const std::size_t iWord = sc.m_i;
    sc.m_i = fnWordEnd(sc, sc.m_i);
    const std::size_t iNext = fnSkipBlanks(sc, sc.m_i);
    if (iNext < sc.m_cch && fnIsAssign(static_cast<unsigned char>(sc.m_pch[iNext]))) {
        fnLabel(st, sc, iWord, sc.m_i - iWord, iNext, stLine);
        return;
    }
    double d = 0;
    const bool bNumber = fnValueWord(sc.m_pch + iWord, sc.m_i - iWord, d);
    sc.m_bNumber = sc.m_bNumber || bNumber;
    if (bNumber && !sc.m_bAfterAssign) {
        fnUnlabelled(st, sc, d, stLine);
    }
    sc.m_bAfterAssign = false;
}

// Colour and other control sequences (ESC [ ... final byte) would glue
// their letters to the next word, and their ';' would make fields.
std::size_t fnSkipEscape(const char *pch, std::size_t cch, std::size_t i)
{
    if (i + 1 == cch || pch[i + 1] != '[') {
        return i + 1;
    }
    for (i += 2; i < cch && (pch[i] < 0x40 || pch[i] > 0x7E); ++i) {
    }
    return std::min(i + 1, cch);
}

bool fnHasFields(const char *pch, std::size_t cch)
{
    for (std::size_t i = 0; i < cch;) {
        if (pch[i] == 0x1B) {
            i = fnSkipEscape(pch, cch, i);
        } else if (fnIsFieldEnd(static_cast<unsigned char>(pch[i++]))) {
            return true;
        }
    }
    return false;
}

void fnScanItem(PlotParser &st, LineScan &sc, PlotLine &stLine)
{
    const unsigned char ch = static_cast<unsigned char>(sc.m_pch[sc.m_i]);
    if (ch == 0x1B) {
        sc.m_i = fnSkipEscape(sc.m_pch, sc.m_cch, sc.m_i);
    } else if (fnIsSeparator(sc, ch)) {
        ++sc.m_i;
        ++sc.m_nColumn;
        sc.m_bColumnTaken = false;
        sc.m_bAfterAssign = false;
    } else if (fnIsBlank(ch)) {
        ++sc.m_i;
    } else if (fnIsAssign(ch)) {
        ++sc.m_i;
        sc.m_bAssign = true;
        sc.m_bAfterAssign = true;
    } else {
        fnScanWord(st, sc, stLine);
    }
}

// A names line: at least two fields, none of them empty; the caller has
// seen that it holds no number and no ':' or '='.
bool fnNamesLine(PlotParser &st, const char *pch, std::size_t cch)
{
    unsigned nFields = 0;
    for (std::size_t i = 0; i <= cch; ++i) {
        std::size_t iEnd = i;
        while (iEnd < cch && !fnIsFieldEnd(static_cast<unsigned char>(pch[iEnd]))) {
            ++iEnd;
        }
        while (i < iEnd && fnIsBlank(static_cast<unsigned char>(pch[i]))) {
            ++i;
        }
        std::size_t iLast = iEnd;
        while (iLast > i && fnIsBlank(static_cast<unsigned char>(pch[iLast - 1]))) {
            --iLast;
        }
        if (iLast == i) {
            return false;
        }
        if (nFields < kPlotChannels) {
            fnCopyName(st.m_aachHeader[nFields], pch + i, iLast - i);
        }
        ++nFields;
        i = iEnd;
    }
    st.m_byHeader = static_cast<std::uint8_t>(std::min(nFields, kPlotChannels));
    return nFields >= 2;
}

bool fnIsBlankLine(const char *pch, std::size_t cch)
{
    return std::all_of(pch, pch + cch, [](char ch) { return fnIsBlank(static_cast<unsigned char>(ch)); });
}

void fnParseLine(PlotParser &st, const char *pch, std::size_t cch, PlotLine &stLine)
{
    if (fnIsBlankLine(pch, cch)) {
        return;
    }
    LineScan sc = {};
    sc.m_pch = pch;
    sc.m_cch = cch;
    sc.m_i = pch[0] == '>' ? 1 : 0;
    sc.m_bFields = fnHasFields(pch, cch);
    sc.m_nColumn = sc.m_bFields ? 1 : 0;
    while (sc.m_i < cch) {
        fnScanItem(st, sc, stLine);
    }
    const bool bNames = (st.m_byFormats & kPlotFormatNames) != 0 && sc.m_bFields && !sc.m_bNumber &&
                        !sc.m_bAssign && fnNamesLine(st, pch, cch);
    if (!bNames) {
        st.m_byHeader = 0;
    }
}

// Adds bytes to the pending line; a line that grows past kPlotLineMax is
// marked to be dropped at its end.
void fnHold(PlotParser &st, const char *pch, std::size_t cch)
{
    if (st.m_bOverlong) {
        return;
    }
    if (cch > kPlotLineMax - st.m_dwPending) {
        st.m_bOverlong = true;
        st.m_dwPending = 0;
        return;
    }
    std::memcpy(st.m_achPending + st.m_dwPending, pch, cch);
    st.m_dwPending += static_cast<std::uint32_t>(cch);
}

void fnEndLine(PlotParser &st, const char *pch, std::size_t cch, PlotLine &stLine)
{
    if (st.m_dwPending > 0) {
        fnHold(st, pch, cch);
        pch = st.m_achPending;
        cch = st.m_dwPending;
    }
    if (st.m_bOverlong) {
        ++st.m_qwLongLines;
    } else {
        fnParseLine(st, pch, cch, stLine);
    }
    st.m_dwPending = 0;
    st.m_bOverlong = false;
}

// The first CR or LF in [pch, pch + cch), or nullptr.
const char *fnLineEnd(const char *pch, std::size_t cch)
{
    const char *pchLf = static_cast<const char *>(std::memchr(pch, '\n', cch));
    const char *pchCr =
        static_cast<const char *>(std::memchr(pch, '\r', pchLf != nullptr ? pchLf - pch : cch));
    return pchCr != nullptr ? pchCr : pchLf;
}

void fnClearLine(PlotLine &stLine)
{
    stLine.m_wMask = 0;
    stLine.m_wNew = 0;
}

} // namespace

const char *fnPlotNumber(const char *pch, const char *pchEnd, double &d)
{
    const char *p = pch;
    const bool bNeg = p < pchEnd && *p == '-';
    p += p < pchEnd && (*p == '-' || *p == '+') ? 1 : 0;
    Decimal st = {};
    const char *pchDigits = p;
    for (; p < pchEnd && fnIsDigit(*p); ++p) {
        fnTakeDigit(st, *p, false);
    }
    bool bDigits = p != pchDigits;
    if (p < pchEnd && *p == '.') {
        for (pchDigits = ++p; p < pchEnd && fnIsDigit(*p); ++p) {
            fnTakeDigit(st, *p, true);
        }
        bDigits = bDigits || p != pchDigits;
    }
    if (!bDigits) {
        return nullptr;
    }
    p = p < pchEnd ? fnExponent(p, pchEnd, st) : p;
    if (static_cast<std::size_t>(p - pch) > kPlotLineMax) {
        return nullptr;
    }
    if (!fnExactValue(st, d)) {
        d = fnRoundedValue(pch, static_cast<std::size_t>(p - pch), st);
    }
    d = bNeg ? -d : d;
    return p;
}

void fnPlotParseInit(PlotParser &st, std::uint8_t byFormats)
{
    std::memset(&st, 0, sizeof st);
    st.m_byFormats = byFormats;
    std::memset(st.m_abyColumn, kPlotNoChannel, sizeof st.m_abyColumn);
}

std::size_t fnPlotParseFeed(PlotParser &st, const char *pch, std::size_t cch, PlotLine &stLine)
{
    fnClearLine(stLine);
    std::size_t i = 0;
    while (i < cch && stLine.m_wMask == 0 && stLine.m_wNew == 0) {
        // With no line end in the next kPlotLineMax + 1 bytes the line is too long.
        const std::size_t cchLook = std::min(cch - i, kPlotLineMax + 1 - st.m_dwPending);
        const char *pchEnd = fnLineEnd(pch + i, cchLook);
        if (pchEnd == nullptr) {
            fnHold(st, pch + i, cchLook);
            i += cchLook;
            continue;
        }
        const std::size_t cchLine = static_cast<std::size_t>(pchEnd - (pch + i));
        fnEndLine(st, pch + i, cchLine, stLine);
        i += cchLine + 1;
    }
    return i;
}

void fnPlotParseFlush(PlotParser &st, PlotLine &stLine)
{
    fnClearLine(stLine);
    if (st.m_dwPending > 0 || st.m_bOverlong) {
        fnEndLine(st, "", 0, stLine);
    }
}
