#include "line_held.h"
#include "port_names.h"
#include "reopen_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Names the device map and the DOS device list give; only COM1 to COM256
// written out plainly are ports.
TEST(PortPresence, OnlyPlainComNamesInRangeCount)
{
    const struct {
        const char *pszName;
        int nIndex;
    } astCase[] = {
        {"COM1", 0}, {"com7", 6},   {"CoM256", 255}, {"COM257", -1},  {"COM0", -1}, {"COM01", -1},
        {"COM", -1}, {"COM1 ", -1}, {"LPT1", -1},    {"COM1000", -1}, {"", -1},     {"COMx", -1},
    };
    for (const auto &st : astCase) {
        EXPECT_EQ(st.nIndex, fnPortIndexOfName(st.pszName, std::string(st.pszName).size())) << st.pszName;
    }
    // The length limits the name even without its NUL.
    EXPECT_EQ(0, fnPortIndexOfName("COM12", 4));
}

TEST(PortPresence, ListMarksItsPortsUpToTheEmptyName)
{
    const char achList[] = "AUX\0COM3\0NUL\0com12\0\0COM9\0";
    PortPresence st = {};
    fnMarkNamedPorts(achList, sizeof achList, st);
    PortPresence stWant = {};
    stWant.m_abPresent[2] = stWant.m_abPresent[11] = true;
    EXPECT_EQ(0, std::memcmp(&stWant, &st, sizeof st));
    // A registry value's data may end without its NUL.
    PortPresence stValue = {};
    fnMarkNamedPorts("COM5", 4, stValue);
    EXPECT_TRUE(stValue.m_abPresent[4]);

    char achItem[12];
    fnFormatPortItem(achItem, sizeof achItem, "COM256", true);
    EXPECT_STREQ("COM256 (pre", achItem);
}

// The first try comes a second after the loss, then at most one a second,
// across the wrap of the tick counter; an ended wait never tries.
TEST(ReopenPlan, TriesAtMostOnceASecond)
{
    EXPECT_TRUE(fnReopenWanted(1, 4, 4, true));
    EXPECT_FALSE(fnReopenWanted(0, 4, 4, true));
    EXPECT_FALSE(fnReopenWanted(1, 3, 4, true));
    EXPECT_FALSE(fnReopenWanted(1, 4, 4, false));
    const ZDWORD dwStart = 0xFFFFFE00u;
    ReopenPlan st = {};
    EXPECT_FALSE(fnReopenDue(st, dwStart + 5000));
    fnReopenBegin(st, dwStart);
    const struct {
        ZDWORD dwAfter;
        bool bDue;
    } astStep[] = {{0, false}, {999, false}, {1000, true}, {1500, false}, {2100, true}, {2200, false}};
    for (const auto &stStep : astStep) {
        const ZDWORD dwNow = dwStart + stStep.dwAfter;
        EXPECT_EQ(stStep.bDue, fnReopenDue(st, dwNow)) << stStep.dwAfter;
        if (fnReopenDue(st, dwNow)) {
            fnReopenTried(st, dwNow);
        }
    }
    fnReopenEnd(st);
    EXPECT_FALSE(fnReopenDue(st, dwStart + 9000));
}

TEST(LineHeld, SummaryNamesEachPartTheDriverChanged)
{
    const LineFormat stAsked = {250000, 8, 0, 0};
    const struct {
        LineFormat stHeld;
        const char *pszSummary;
    } astCase[] = {
        {{250000, 8, 0, 0}, "COM3, 250000, 8, None, 1"},
        {{230400, 8, 0, 0}, "COM3, 250000 asked, 230400 set, 8, None, 1"},
        {{250000, 7, 2, 2}, "COM3, 250000, 8 asked, 7 set, None asked, Even set, 1 asked, 2 set"},
        {{250000, 8, 9, 1}, "COM3, 250000, 8, None asked, 9 set, 1 asked, 1.5 set"},
    };
    for (const auto &st : astCase) {
        char achOut[100];
        fnFormatHeldSummary(achOut, sizeof achOut, "COM3", stAsked, st.stHeld);
        EXPECT_STREQ(st.pszSummary, achOut);
        EXPECT_EQ(st.pszSummary != astCase[0].pszSummary, fnLineDiffers(stAsked, st.stHeld));
    }
    char achShort[16];
    fnFormatWaitingSummary(achShort, sizeof achShort, "COM3");
    EXPECT_STREQ("COM3: waiting f", achShort);
}

} // namespace
