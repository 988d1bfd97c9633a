#include "placement.h"

#include <gtest/gtest.h>

TEST(Placement, CentredOverTheOwnerAndKeptInsideTheWorkArea)
{
    struct Case {
        const char *pszWhat;
        PlaceRect stOwner;
        PlaceRect stDialog;
        PlaceRect stWork;
        long lLeft;
        long lTop;
    };
    const PlaceRect stWork = {0, 0, 1024, 738};
    const Case astCases[] = {
        {"centred", {280, 204, 744, 564}, {0, 0, 200, 100}, stWork, 412, 334},
        {"odd sizes round towards the top-left", {0, 0, 465, 361}, {0, 0, 200, 100}, stWork, 132, 130},
        {"owner near the right edge", {900, 300, 1364, 660}, {0, 0, 300, 200}, stWork, 724, 380},
        {"owner above the top", {100, -300, 564, 60}, {0, 0, 300, 200}, stWork, 182, 0},
        {"larger than the work area", {280, 204, 744, 564}, {0, 0, 1200, 900}, stWork, 0, 0},
        {"a monitor left of the primary",
         {-900, 100, -436, 460},
         {0, 0, 200, 100},
         {-1280, 0, 0, 1024},
         -768,
         230},
    };
    for (const Case &st : astCases) {
        const PlaceRect stPlace = fnCentredPlace(st.stOwner, st.stDialog, st.stWork);
        EXPECT_EQ(st.lLeft, stPlace.m_lLeft) << st.pszWhat;
        EXPECT_EQ(st.lTop, stPlace.m_lTop) << st.pszWhat;
        EXPECT_EQ(st.stDialog.m_lRight - st.stDialog.m_lLeft, stPlace.m_lRight - stPlace.m_lLeft)
            << st.pszWhat;
        EXPECT_EQ(st.stDialog.m_lBottom - st.stDialog.m_lTop, stPlace.m_lBottom - stPlace.m_lTop)
            << st.pszWhat;
    }
}
