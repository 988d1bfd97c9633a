// Line error counters of one opening: framing and parity errors, overruns,
// receive buffer overflows and breaks, from ClearCommError's error flags and
// from the EV_ERR and EV_BREAK line events. Pure code; its Win32 owner
// serialises the updates and the reads.
#ifndef ZEVRIK_LINE_ERRORS_H
#define ZEVRIK_LINE_ERRORS_H

#include <cstddef>
#include <cstdint>

// ClearCommError's flags and the two events, as the Windows headers give them.
const std::uint32_t kCeRxOver = 0x0001;
const std::uint32_t kCeOverrun = 0x0002;
const std::uint32_t kCeRxParity = 0x0004;
const std::uint32_t kCeFrame = 0x0008;
const std::uint32_t kCeBreak = 0x0010;
const std::uint32_t kEvBreak = 0x0040;
const std::uint32_t kEvErr = 0x0080;

struct LineErrorCounts {
    std::uint32_t m_dwFrame;
    std::uint32_t m_dwParity;
    std::uint32_t m_dwOverrun;
    std::uint32_t m_dwRxOver;
    std::uint32_t m_dwBreaks;
    // EV_ERR whose flags named no kind (Wine reports the event alone).
    std::uint32_t m_dwUnnamed;
};

// One report: the flags ClearCommError gave and the events that came with
// them (0 when it was called without an event). A break seen both as a flag
// and as an event counts once.
void fnCountLineErrors(LineErrorCounts &st, std::uint32_t dwErrors, std::uint32_t dwEvents);

// Lines of text ending in CR LF, for the Receive Check window and COM Information.
void fnFormatLineErrors(char *pchOut, std::size_t cchOut, const LineErrorCounts &st);

#endif
