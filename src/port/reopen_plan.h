// When a lost port is tried again: the wait starts with the one loss report
// of the opening and ends at the next opening or at COM Close; in between,
// at most one try a second.
#ifndef ZEVRIK_REOPEN_PLAN_H
#define ZEVRIK_REOPEN_PLAN_H

#include "settings_data.h"

const ZDWORD kReopenTryMs = 1000;

struct ReopenPlan {
    bool m_bWaiting;
    ZDWORD m_dwLastTry; // millisecond tick of the loss or of the last try
};

// A loss report of opening dwLost starts the wait only with the choice on and
// while that opening is still the current one.
bool fnReopenWanted(ZDWORD bReopen, ZDWORD dwLost, ZDWORD dwCurrent, bool bOpen);

void fnReopenBegin(ReopenPlan &stPlan, ZDWORD dwNow);

// Ticks wrap after 49 days; the difference still counts right.
bool fnReopenDue(const ReopenPlan &stPlan, ZDWORD dwNow);

void fnReopenTried(ReopenPlan &stPlan, ZDWORD dwNow);
void fnReopenEnd(ReopenPlan &stPlan);

#endif
