#include "reopen_plan.h"

bool fnReopenWanted(ZDWORD bReopen, ZDWORD dwLost, ZDWORD dwCurrent, bool bOpen)
{
    return bReopen != 0 && bOpen && dwLost == dwCurrent;
}

void fnReopenBegin(ReopenPlan &stPlan, ZDWORD dwNow)
{
    stPlan.m_bWaiting = true;
    stPlan.m_dwLastTry = dwNow;
}

bool fnReopenDue(const ReopenPlan &stPlan, ZDWORD dwNow)
{
    return stPlan.m_bWaiting && static_cast<ZDWORD>(dwNow - stPlan.m_dwLastTry) >= kReopenTryMs;
}

void fnReopenTried(ReopenPlan &stPlan, ZDWORD dwNow)
{
    stPlan.m_dwLastTry = dwNow;
}

void fnReopenEnd(ReopenPlan &stPlan)
{
    stPlan.m_bWaiting = false;
}
