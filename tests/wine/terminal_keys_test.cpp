#include "terminal_pane.h"

#include <gtest/gtest.h>

#include <string>

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
