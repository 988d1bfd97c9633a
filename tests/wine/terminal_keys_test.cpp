#include "terminal_pane.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Typed characters in console mode: Backspace and Enter by their choices,
// everything else as typed.
TEST(TerminalKeys, ConsoleBackspaceAndEnter)
{
    const struct {
        WPARAM m_wChar;
        DWORD m_nBackspace;
        DWORD m_nEnter;
        const char *m_pszSent;
    } astCase[] = {
        {8, 0, 0, "\x7f"},  {8, 1, 0, "\b"},  {13, 0, 0, "\r"}, {13, 0, 1, "\n"},
        {13, 1, 2, "\r\n"}, {13, 0, 7, "\r"}, {9, 1, 1, "\t"},  {'a', 1, 2, "a"},
    };
    for (const auto &stCase : astCase) {
        BYTE abyOut[2] = {0, 0};
        const DWORD dwCount = fnConsoleKeyBytes(stCase.m_wChar, stCase.m_nBackspace, stCase.m_nEnter, abyOut);
        EXPECT_EQ(stCase.m_pszSent, std::string(reinterpret_cast<char *>(abyOut), dwCount)) << stCase.m_wChar;
    }
}

namespace {

std::vector<std::string> gastWrites;

BOOL fnRecordWrite(const BYTE *pby, DWORD dwCount)
{
    gastWrites.emplace_back(reinterpret_cast<const char *>(pby), dwCount);
    return TRUE;
}

} // namespace

// A console key's sequence leaves in one write, never byte by byte.
TEST(TerminalKeys, ConsoleKeySequenceIsOneWrite)
{
    const struct {
        WPARAM m_wVk;
        const char *m_pszSent; // null: not a console key
    } astCase[] = {
        {VK_UP, "\x1b[A"}, {VK_END, "\x1b[F"}, {VK_DELETE, "\x1b[3~"}, {VK_F4, "\x1bOS"}, {'A', nullptr},
    };
    for (const auto &stCase : astCase) {
        gastWrites.clear();
        EXPECT_EQ(fnSendConsoleKey(stCase.m_wVk, fnRecordWrite), stCase.m_pszSent != nullptr ? TRUE : FALSE);
        const std::vector<std::string> astWant = stCase.m_pszSent != nullptr
                                                     ? std::vector<std::string>{stCase.m_pszSent}
                                                     : std::vector<std::string>{};
        EXPECT_EQ(gastWrites, astWant) << stCase.m_wVk;
    }
}
