#include "vt_parser.h"

namespace {

const std::uint8_t kEsc = 0x1B;
const std::uint8_t kCan = 0x18;
const std::uint8_t kSub = 0x1A;
const std::uint8_t kBel = 0x07;
const std::uint8_t kDel = 0x7F;

bool fnIsC0(std::uint8_t by)
{
    return by < 0x20;
}

bool fnIsInter(std::uint8_t by)
{
    return by >= 0x20 && by <= 0x2F;
}

bool fnIsFinal(std::uint8_t by)
{
    return by >= 0x40 && by <= 0x7E;
}

void fnClear(VtParser &st)
{
    st.m_chMarker = 0;
    st.m_chInter = 0;
    st.m_nParams = 0;
    st.m_nString = 0;
}

bool fnInString(VtState nState)
{
    return nState >= kVtDcsEntry;
}

void fnEnter(VtParser &st, VtState nState)
{
    st.m_nState = nState;
    fnClear(st);
}

// A digit or a ';' of the parameter list; parameters past kVtMaxParams are
// dropped, values are held at kVtParamMax.
void fnParam(VtParser &st, std::uint8_t by)
{
    if (st.m_nParams == 0) {
        st.m_anParam[0] = 0;
        st.m_nParams = 1;
    }
    if (by == ';') {
        if (st.m_nParams < kVtMaxParams) {
            st.m_anParam[st.m_nParams++] = 0;
        }
        return;
    }
    std::uint16_t &nValue = st.m_anParam[st.m_nParams - 1];
    const std::uint32_t nNext = nValue * 10u + (by - '0');
    nValue = static_cast<std::uint16_t>(nNext < kVtParamMax ? nNext : kVtParamMax);
}

VtAction fnGround(std::uint8_t by)
{
    if (fnIsC0(by)) {
        return kVtExecute;
    }
    return by == kDel ? kVtNone : kVtPrint;
}

VtAction fnEscape(VtParser &st, std::uint8_t by)
{
    if (fnIsInter(by)) {
        st.m_chInter = by;
        st.m_nState = kVtEscInter;
        return kVtNone;
    }
    switch (by) {
    case '[':
        fnEnter(st, kVtCsiEntry);
        return kVtNone;
    case ']':
        st.m_nState = kVtOsc;
        return kVtNone;
    case 'P':
        fnEnter(st, kVtDcsEntry);
        return kVtNone;
    case 'X':
    case '^':
    case '_':
        st.m_nState = kVtSosPmApc;
        return kVtNone;
    default:
        break;
    }
    if (by >= 0x30 && by <= 0x7E) {
        st.m_nState = kVtGround;
        return kVtEsc;
    }
    return kVtNone;
}

VtAction fnEscInter(VtParser &st, std::uint8_t by)
{
    if (fnIsInter(by)) {
        st.m_chInter = by;
    } else if (by >= 0x30 && by <= 0x7E) {
        st.m_nState = kVtGround;
        return kVtEsc;
    }
    return kVtNone;
}

// The parameter part shared by CSI and DCS: digits and ';' are parameters, a
// marker counts only first, ':' and a late marker spoil the sequence.
// Returns the state the byte leads to, or kVtGround when it ends the part.
VtState fnParamPart(VtParser &st, std::uint8_t by, VtState nParam, VtState nInter, VtState nIgnore)
{
    if ((by >= '0' && by <= '9') || by == ';') {
        fnParam(st, by);
        return nParam;
    }
    if (by >= 0x3C && by <= 0x3F && st.m_nState != nParam) {
        st.m_chMarker = by;
        return nParam;
    }
    if (by >= 0x3A && by <= 0x3F) {
        return nIgnore;
    }
    if (fnIsInter(by)) {
        st.m_chInter = by;
        return nInter;
    }
    return kVtGround;
}

VtAction fnCsi(VtParser &st, std::uint8_t by)
{
    if (fnIsC0(by)) {
        return kVtExecute;
    }
    if (fnIsFinal(by)) {
        st.m_nState = kVtGround;
        return kVtCsi;
    }
    if (by == kDel) {
        return kVtNone;
    }
    if (st.m_nState == kVtCsiInter) {
        if (fnIsInter(by)) {
            st.m_chInter = by;
        } else {
            st.m_nState = kVtCsiIgnore;
        }
        return kVtNone;
    }
    st.m_nState = fnParamPart(st, by, kVtCsiParam, kVtCsiInter, kVtCsiIgnore);
    return kVtNone;
}

VtAction fnCsiIgnore(VtParser &st, std::uint8_t by)
{
    if (fnIsC0(by)) {
        return kVtExecute;
    }
    if (fnIsFinal(by)) {
        st.m_nState = kVtGround;
    }
    return kVtNone;
}

// A DCS header ends in its final byte; the string after it is passed over.
void fnDcsHeader(VtParser &st, std::uint8_t by)
{
    if (fnIsC0(by) || by == kDel) {
        return;
    }
    if (fnIsFinal(by)) {
        st.m_nState = kVtDcsPass;
    } else if (st.m_nState == kVtDcsInter) {
        st.m_nState = fnIsInter(by) ? kVtDcsInter : kVtDcsIgnore;
    } else {
        st.m_nState = fnParamPart(st, by, kVtDcsParam, kVtDcsInter, kVtDcsIgnore);
    }
}

// An OSC ends in ST (ESC \, through the escape state) or BEL.
void fnOsc(VtParser &st, std::uint8_t by)
{
    if (by == kBel) {
        st.m_nState = kVtGround;
    }
}

VtAction fnInState(VtParser &st, std::uint8_t by)
{
    switch (st.m_nState) {
    case kVtGround:
        return fnGround(by);
    case kVtEscape:
        return fnIsC0(by) ? kVtExecute : fnEscape(st, by);
    case kVtEscInter:
        return fnIsC0(by) ? kVtExecute : fnEscInter(st, by);
    case kVtCsiEntry:
    case kVtCsiParam:
    case kVtCsiInter:
        return fnCsi(st, by);
    case kVtCsiIgnore:
        return fnCsiIgnore(st, by);
    case kVtDcsEntry:
    case kVtDcsParam:
    case kVtDcsInter:
        fnDcsHeader(st, by);
        return kVtNone;
    case kVtOsc:
        fnOsc(st, by);
        return kVtNone;
    default: // DCS string, DCS ignore, SOS/PM/APC: consumed up to ST
        return kVtNone;
    }
}

} // namespace

void fnVtReset(VtParser &st)
{
    fnEnter(st, kVtGround);
}

// ESC, CAN and SUB act in every state. Bytes from 0x80 up are characters in
// the ground state (UTF-8 and code pages use them), so 8-bit C1 controls are
// not recognised. A string's kVtStringMax-th byte after its introducer ends
// it.
VtAction fnVtFeed(VtParser &st, std::uint8_t by)
{
    if (fnInString(st.m_nState) && by != kEsc && by != kCan && by != kSub && ++st.m_nString >= kVtStringMax) {
        st.m_nState = kVtGround;
        return kVtNone;
    }
    if (by == kEsc) {
        fnEnter(st, kVtEscape);
        return kVtNone;
    }
    if ((by == kCan || by == kSub) && st.m_nState != kVtGround) {
        st.m_nState = kVtGround;
        return kVtNone;
    }
    if (by >= 0x80) {
        return st.m_nState == kVtGround ? kVtPrint : kVtNone;
    }
    return fnInState(st, by);
}

std::uint32_t fnVtParam(const VtParser &st, int i, std::uint32_t nDefault)
{
    if (i >= st.m_nParams || st.m_anParam[i] == 0) {
        return nDefault;
    }
    return st.m_anParam[i];
}
