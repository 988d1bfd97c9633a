// The plot's line reader: finds the values in received lines, in the forms
// devices print them. Pure code, no allocation; one owner (the receive
// thread's glue) feeds it, so it needs no lock.
//
// Lines end at CR, LF or CR LF. A line keeps its values when it is at most
// kPlotLineMax bytes long; a longer one is dropped whole and counted, so a
// number cut at the limit is never recorded, and how the bytes came in reads
// never changes what is found. Fields are separated by commas, semicolons and
// tabs (a line holding any of them) or by spaces; other control bytes count as
// spaces, and ESC [ sequences (colours) are skipped.
//
// - Labelled: a name, ':' or '=', then a number ("temp:23.5", "x = 1"), and
//   ">name:value" lines. A name does not start with a digit, '+', '-' or '.'.
//   A value followed by another ':' or '=' is not one ("time: 12:30:05").
// - Unlabelled: numbers standing alone. With field separators each field is
//   a column ("1,,3" fills columns 1 and 3) and gives its first number; with
//   spaces each number is the next column, and words between are ignored.
//   Column k is the channel named "k" unless a names line named it.
// - Names line: no number and no ':' or '=', at least two non-empty fields
//   separated by commas, semicolons or tabs ("time,a,b"). It names the
//   columns of the next line when that line holds unlabelled values (blank
//   lines between do not count); any other line forgets it. The columns keep
//   their channels until the next names line.
// - Numbers: integers, decimals, exponents, with units after them ("3.3V",
//   "50%"); a word with more digits after its number is no number ("1.2.3",
//   "3/4", "0x1F"). "nan", "inf" and "infinity" (any case, signed) are gaps.
//
// Channels are made in the order their names are first seen, up to
// kPlotChannels; values for any further name are dropped and counted.
#ifndef ZEVRIK_PLOT_PARSE_H
#define ZEVRIK_PLOT_PARSE_H

#include <cstddef>
#include <cstdint>

const unsigned kPlotChannels = 16;
// With the terminating zero: longer names are cut to 31 bytes.
const std::size_t kPlotNameMax = 32;
const std::size_t kPlotLineMax = 1024;

// Which forms the reader takes (the plot settings' choice).
const std::uint8_t kPlotFormatLabels = 1;
const std::uint8_t kPlotFormatColumns = 2;
const std::uint8_t kPlotFormatNames = 4;
const std::uint8_t kPlotFormatAll = 7;

struct PlotNames {
    char m_aachName[kPlotChannels][kPlotNameMax];
    std::uint8_t m_byCount;
};

// One line's values: m_adValue[c] holds channel c's value when bit c of
// m_wMask is set. m_wNew marks the channels this line added to the names.
struct PlotLine {
    std::uint16_t m_wMask;
    std::uint16_t m_wNew;
    double m_adValue[kPlotChannels];
};

struct PlotParser {
    std::uint8_t m_byFormats;
    PlotNames m_stNames;
    // The channel of each unlabelled column, kPlotNoChannel before its first value.
    std::uint8_t m_abyColumn[kPlotChannels];
    std::uint8_t m_byHint; // where the next name search starts
    // A names line waiting for the next line.
    char m_aachHeader[kPlotChannels][kPlotNameMax];
    std::uint8_t m_byHeader;
    // The start of a line whose end has not come yet.
    char m_achPending[kPlotLineMax];
    std::uint32_t m_dwPending;
    bool m_bOverlong; // the pending line passed kPlotLineMax: dropped at its end
    std::uint64_t m_qwLongLines;
    std::uint64_t m_qwNoChannel; // values dropped for want of a channel
};

const std::uint8_t kPlotNoChannel = 0xFF;

void fnPlotParseInit(PlotParser &st, std::uint8_t byFormats);

// Reads received bytes up to the end of the next line that holds values or
// made channels, or all of them; returns how many it took (at least one when
// cch > 0). stLine holds that line's values (m_wMask 0: none). The glue calls
// it in a loop until the read is used up, handing each stLine to
// fnPlotStoreAdd.
std::size_t fnPlotParseFeed(PlotParser &st, const char *pch, std::size_t cch, PlotLine &stLine);

// Ends the pending line as if its line end had come (the port closes, or the
// user asks for the last line).
void fnPlotParseFlush(PlotParser &st, PlotLine &stLine);

// Reads a decimal number at the start of [pch, pchEnd): sign, digits, point,
// exponent. Returns its end, or nullptr when there is none. The result is
// the double nearest to the decimal text, whatever the locale.
const char *fnPlotNumber(const char *pch, const char *pchEnd, double &d);

#endif
