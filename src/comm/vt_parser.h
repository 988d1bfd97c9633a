// Control sequences of a VT100-class console: a byte-at-a-time state machine
// after DEC's VT500-series parser (ground, escape, CSI, DCS, OSC and the other
// string states). It keeps only what a consumer needs to act on a sequence
// (parameters, the private marker, one intermediate) and tells per byte what
// to do; strings (OSC, DCS, SOS/PM/APC) are consumed and never shown, up to
// a bound after which what follows shows again.
#ifndef ZEVRIK_VT_PARSER_H
#define ZEVRIK_VT_PARSER_H

#include <cstdint>

const int kVtMaxParams = 16;
// Larger parameter values are held at this one.
const std::uint32_t kVtParamMax = 65535;
// A string (DCS, OSC, SOS, PM, APC) ends after this many bytes following
// its introducer if no terminator came: line noise that looks like a string
// start hides at most this much of what follows. Titles and status strings
// are far shorter; the rest of a longer one (a sixel picture) shows as text.
const std::uint16_t kVtStringMax = 4096;

// The string states come last, from kVtDcsEntry on.
enum VtState : std::uint8_t {
    kVtGround,
    kVtEscape,
    kVtEscInter,
    kVtCsiEntry,
    kVtCsiParam,
    kVtCsiInter,
    kVtCsiIgnore,
    kVtDcsEntry,
    kVtDcsParam,
    kVtDcsInter,
    kVtDcsPass,
    kVtDcsIgnore,
    kVtOsc,
    kVtSosPmApc
};

// What the consumer does with the byte just fed.
enum VtAction : std::uint8_t {
    kVtNone,    // part of a sequence, or ignored
    kVtPrint,   // a character to show
    kVtExecute, // a C0 control to carry out
    kVtCsi,     // a complete CSI sequence; the byte is its final
    kVtEsc      // a complete ESC sequence; the byte is its final
};

struct VtParser {
    VtState m_nState;
    std::uint8_t m_chMarker; // '<', '=', '>' or '?' after CSI, else 0
    std::uint8_t m_chInter;  // the last intermediate (0x20-0x2F), else 0
    std::uint8_t m_nParams;  // parameters seen (a missing one counts, as 0)
    std::uint16_t m_anParam[kVtMaxParams];
    std::uint16_t m_nString; // bytes of the current string so far
};

void fnVtReset(VtParser &st);

VtAction fnVtFeed(VtParser &st, std::uint8_t by);

// Parameter i, or nDefault when it is missing or 0.
std::uint32_t fnVtParam(const VtParser &st, int i, std::uint32_t nDefault);

#endif
