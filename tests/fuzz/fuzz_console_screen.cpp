// Arbitrary received bytes for the console screen and its parser: no access
// outside the screen, blocks fed in two parts leave the same text and the
// same answers as blocks fed whole, the cursor stays on the screen, and a
// string sequence ends after its bound whatever came before.
#include "console_screen.h"
#include "fuzz_require.h"

#include <string>

namespace {

ConsoleScreen gstStepped;
ConsoleScreen gstWhole;

// The view's text: the kept lines joined by CR LF, each within its bound.
std::string View(ConsoleScreen &st)
{
    std::string strView;
    char achLine[kLineTextMax];
    const std::uint64_t qwFirst = fnScreenFirst(st);
    for (std::uint64_t qw = qwFirst; qw < qwFirst + fnScreenLines(st); ++qw) {
        const std::uint32_t dwLen = fnScreenLineText(st, qw, achLine);
        Require(dwLen <= sizeof achLine);
        strView += qw != qwFirst ? "\r\n" : "";
        strView.append(achLine, dwLen);
    }
    return strView;
}

std::string Reply(ConsoleScreen &st)
{
    char ach[kReplyChars];
    const std::uint32_t dwLen = fnScreenTakeReply(st, ach, 1 + st.m_nReplyLen % 64);
    return std::string(ach, dwLen);
}

// After anything, ESC and a string introducer: the kVtStringMax bytes after
// it are the string's, the next one is text again.
void CheckStringBound(const std::uint8_t *pbyData, std::size_t cbData)
{
    VtParser stVt;
    fnVtReset(stVt);
    for (std::size_t i = 0; i < cbData; ++i) {
        fnVtFeed(stVt, pbyData[i]);
    }
    const char achIntro[] = "PX^_]";
    fnVtFeed(stVt, 0x1B);
    fnVtFeed(stVt, static_cast<std::uint8_t>(achIntro[cbData % 5]));
    for (std::size_t i = 0; i < kVtStringMax; ++i) {
        const std::uint8_t by = static_cast<std::uint8_t>(' ' + pbyData[i % cbData] % 95);
        Require(fnVtFeed(stVt, by) == kVtNone);
    }
    Require(fnVtFeed(stVt, 'x') == kVtPrint);
}

} // namespace

// The first byte picks the mode and a small history limit (so that lines go
// within one input), the second the size of the blocks, the third the
// console's size (0: the default).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 3 || cbData > 65536) {
        return 0;
    }
    const bool bConsole = (pbyData[0] & 1) != 0;
    const std::uint32_t dwLimit = 512u + 64u * (pbyData[0] >> 1);
    const std::uint32_t dwBlock = 1u + pbyData[1];
    for (ConsoleScreen *pst : {&gstStepped, &gstWhole}) {
        fnScreenReset(*pst, bConsole, dwLimit);
        if (pbyData[2] != 0) {
            fnScreenSize(*pst, pbyData[2] * 7 % (kRowChars + 1), pbyData[2] % (kLiveRows + 2));
        }
    }
    for (std::size_t i = 3; i < cbData; i += dwBlock) {
        const std::uint32_t dwCount = static_cast<std::uint32_t>(cbData - i < dwBlock ? cbData - i : dwBlock);
        const std::int32_t nStamp = (i & 1) != 0 ? kNoStamp : static_cast<std::int32_t>(i);
        const std::uint32_t dwFirst = static_cast<std::uint32_t>(i % (dwCount + 1));
        fnScreenFeed(gstStepped, pbyData + i, dwFirst, nStamp);
        fnScreenFeed(gstStepped, pbyData + i + dwFirst, dwCount - dwFirst, nStamp);
        fnScreenFeed(gstWhole, pbyData + i, dwCount, nStamp);
        Require(Reply(gstStepped) == Reply(gstWhole));
        Require(gstWhole.m_nRow < gstWhole.m_nRows && gstWhole.m_nRows <= gstWhole.m_nHeight);
        Require(gstWhole.m_nCol < gstWhole.m_nCols);
    }
    const std::string strWhole = View(gstWhole);
    Require(View(gstStepped) == strWhole);
    const ScreenPos stAll[2] = {{0, 0}, {~0ull, ~0u}};
    Require(fnScreenText(gstWhole, stAll[0], stAll[1], nullptr, 0) == strWhole.size());
    Require(fnScreenLines(gstWhole) <= kHistoryLines + kLiveRows);
    CheckStringBound(pbyData, cbData);
    return 0;
}
