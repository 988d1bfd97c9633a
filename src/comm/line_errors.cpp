#include "line_errors.h"

#include <cstdio>

void fnCountLineErrors(LineErrorCounts &st, std::uint32_t dwErrors, std::uint32_t dwEvents)
{
    st.m_dwFrame += (dwErrors & kCeFrame) != 0 ? 1u : 0u;
    st.m_dwParity += (dwErrors & kCeRxParity) != 0 ? 1u : 0u;
    st.m_dwOverrun += (dwErrors & kCeOverrun) != 0 ? 1u : 0u;
    st.m_dwRxOver += (dwErrors & kCeRxOver) != 0 ? 1u : 0u;
    st.m_dwBreaks += ((dwErrors & kCeBreak) != 0 || (dwEvents & kEvBreak) != 0) ? 1u : 0u;
    const bool bNamed = (dwErrors & (kCeFrame | kCeRxParity | kCeOverrun | kCeRxOver)) != 0;
    st.m_dwUnnamed += ((dwEvents & kEvErr) != 0 && !bNamed) ? 1u : 0u;
}

void fnFormatLineErrors(char *pchOut, std::size_t cchOut, const LineErrorCounts &st)
{
    if (cchOut == 0) {
        return;
    }
    std::snprintf(pchOut, cchOut,
                  "Framing errors: %u\r\nParity errors: %u\r\nOverruns: %u\r\nBuffer overflows: %u\r\n"
                  "Breaks: %u\r\nOther line errors: %u\r\n",
                  static_cast<unsigned>(st.m_dwFrame), static_cast<unsigned>(st.m_dwParity),
                  static_cast<unsigned>(st.m_dwOverrun), static_cast<unsigned>(st.m_dwRxOver),
                  static_cast<unsigned>(st.m_dwBreaks), static_cast<unsigned>(st.m_dwUnnamed));
}
