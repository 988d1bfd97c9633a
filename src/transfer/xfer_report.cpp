#include "xfer_report.h"

namespace {

// A bounded text that is always ended, however much is added to it.
struct TextOut {
    char *m_pch;
    std::size_t m_cch;
    std::size_t m_n;
};

TextOut fnTextOut(char *pch, std::size_t cch)
{
    if (cch > 0) {
        pch[0] = '\0';
    }
    return TextOut{pch, cch, 0};
}

void fnAdd(TextOut &st, const char *psz)
{
    for (; *psz != '\0' && st.m_n + 1 < st.m_cch; ++psz) {
        st.m_pch[st.m_n++] = *psz;
    }
    if (st.m_cch > 0) {
        st.m_pch[st.m_n] = '\0';
    }
}

// Decimal without the C library's 64-bit formats, which differ between the
// runtimes this is built for.
void fnAddNumber(TextOut &st, std::uint64_t qw)
{
    char achRev[24];
    std::size_t n = 0;
    do {
        achRev[n++] = static_cast<char>('0' + qw % 10);
        qw /= 10;
    } while (qw != 0);
    char ach[24];
    for (std::size_t i = 0; i < n; ++i) {
        ach[i] = achRev[n - 1 - i];
    }
    ach[n] = '\0';
    fnAdd(st, ach);
}

void fnAddTwoDigits(TextOut &st, std::uint64_t qw)
{
    const char ach[3] = {static_cast<char>('0' + qw / 10 % 10), static_cast<char>('0' + qw % 10), '\0'};
    fnAdd(st, ach);
}

// Tenths: "12.5".
void fnAddTenths(TextOut &st, std::uint64_t qwTenths)
{
    fnAddNumber(st, qwTenths / 10);
    const char ach[3] = {'.', static_cast<char>('0' + qwTenths % 10), '\0'};
    fnAdd(st, ach);
}

// Seconds with hundredths: a ZMODEM mebibyte takes less than one tenth.
void fnAddSeconds(TextOut &st, std::uint32_t dwMs)
{
    fnAddNumber(st, dwMs / 1000);
    fnAdd(st, ".");
    fnAddTwoDigits(st, dwMs % 1000 / 10);
    fnAdd(st, " s");
}

void fnAddCount(TextOut &st, std::uint64_t qw, const char *pszOne, const char *pszMany)
{
    fnAddNumber(st, qw);
    fnAdd(st, qw == 1 ? pszOne : pszMany);
}

void fnAddRate(TextOut &st, std::uint64_t qwBytes, std::uint32_t dwMs)
{
    if (dwMs == 0) {
        fnAdd(st, "-");
        return;
    }
    // Tenths of KB/s: bytes * 1000 / ms / 1024 * 10.
    fnAddTenths(st, qwBytes * 10000 / dwMs / 1024);
    fnAdd(st, " KB/s");
}

void fnAddDirection(TextOut &st, const XferOutcome &stOut)
{
    fnAdd(st, stOut.m_pszProtocol);
    fnAdd(st, stOut.m_bSend ? " send " : " receive ");
}

void fnAddSuccess(TextOut &st, const XferOutcome &stOut)
{
    fnAddDirection(st, stOut);
    fnAdd(st, "complete: ");
    fnAddCount(st, stOut.m_dwFiles, " file, ", " files, ");
    fnAddCount(st, stOut.m_qwBytes, " byte in ", " bytes in ");
    fnAddSeconds(st, stOut.m_dwMs);
    fnAdd(st, " (");
    fnAddRate(st, stOut.m_qwBytes, stOut.m_dwMs);
    fnAdd(st, ").");
}

void fnAddCut(TextOut &st, const XferOutcome &stOut)
{
    fnAdd(st, "\r\n");
    fnAdd(st, stOut.m_achCutName);
    if (stOut.m_bSend) {
        fnAdd(st, " stopped after ");
        fnAddNumber(st, stOut.m_qwCutDone);
        fnAdd(st, " of ");
        fnAddCount(st, stOut.m_qwCutSize, " byte.", " bytes.");
        return;
    }
    fnAdd(st, " is incomplete: it holds ");
    fnAddCount(st, stOut.m_qwCutDone, " byte.", " bytes.");
}

void fnAddFailure(TextOut &st, const XferOutcome &stOut)
{
    fnAddDirection(st, stOut);
    fnAdd(st, "failed: ");
    fnAdd(st, stOut.m_pszGlueReason != nullptr ? stOut.m_pszGlueReason
                                               : fnXferResultText(stOut.m_nResult, stOut.m_bSend));
    fnAdd(st, ".");
    if (stOut.m_bCut) {
        fnAddCut(st, stOut);
    }
    if (stOut.m_dwFiles > 0) {
        fnAdd(st, "\r\n");
        fnAddCount(st, stOut.m_dwFiles, " earlier file, ", " earlier files, ");
        fnAddCount(st, stOut.m_qwBytes, " byte, ", " bytes, ");
        fnAdd(st, stOut.m_bSend ? "went whole." : "came whole.");
    } else if (!stOut.m_bCut && !stOut.m_bSend) {
        fnAdd(st, "\r\nNo file was received.");
    }
}

void fnAddRenamed(TextOut &st, const XferOutcome &stOut)
{
    fnAdd(st, "\r\n");
    fnAdd(st, stOut.m_achRenamedFrom);
    fnAdd(st, " was saved as ");
    fnAdd(st, stOut.m_achRenamedTo);
    fnAdd(st, ": a file of that name was there.");
    if (stOut.m_dwRenamed > 1) {
        fnAdd(st, " So were ");
        fnAddCount(st, stOut.m_dwRenamed - 1, " more file.", " more files.");
    }
}

} // namespace

void fnXferRateText(std::uint64_t qwBytes, std::uint32_t dwMs, char *pch, std::size_t cch)
{
    TextOut st = fnTextOut(pch, cch);
    fnAddRate(st, qwBytes, dwMs);
}

void fnXferBytesText(std::uint64_t qwDone, std::uint64_t qwTotal, bool bTotalKnown, char *pch,
                     std::size_t cch)
{
    TextOut st = fnTextOut(pch, cch);
    fnAddNumber(st, qwDone);
    if (bTotalKnown) {
        fnAdd(st, " of ");
        fnAddNumber(st, qwTotal);
    }
}

void fnXferTimeLeftText(std::uint64_t qwLeft, std::uint64_t qwBytes, std::uint32_t dwMs, char *pch,
                        std::size_t cch)
{
    TextOut st = fnTextOut(pch, cch);
    const std::uint64_t qwPerSecond = dwMs == 0 ? 0 : qwBytes * 1000 / dwMs;
    if (qwPerSecond == 0) {
        fnAdd(st, "-");
        return;
    }
    const std::uint64_t qwSeconds = (qwLeft + qwPerSecond - 1) / qwPerSecond;
    if (qwSeconds >= 3600) {
        fnAddNumber(st, qwSeconds / 3600);
        fnAdd(st, ":");
        fnAddTwoDigits(st, qwSeconds / 60 % 60);
    } else {
        fnAddNumber(st, qwSeconds / 60);
    }
    fnAdd(st, ":");
    fnAddTwoDigits(st, qwSeconds % 60);
}

void fnXferReportText(const XferOutcome &stOut, char *pch, std::size_t cch)
{
    TextOut st = fnTextOut(pch, cch);
    const bool bSuccess = stOut.m_nResult == kXferSuccess && stOut.m_pszGlueReason == nullptr;
    if (bSuccess) {
        fnAddSuccess(st, stOut);
    } else {
        fnAddFailure(st, stOut);
    }
    if (stOut.m_dwSkipped > 0) {
        fnAdd(st, "\r\n");
        fnAddCount(st, stOut.m_dwSkipped, " file was skipped by the receiver.",
                   " files were skipped by the receiver.");
    }
    if (stOut.m_dwRenamed > 0) {
        fnAddRenamed(st, stOut);
    }
}
