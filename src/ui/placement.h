// Where a modal dialog goes: centred over its owner, kept inside the work
// area of the owner's monitor. Platform-free, so it is tested natively.
#ifndef ZEVRIK_PLACEMENT_H
#define ZEVRIK_PLACEMENT_H

struct PlaceRect {
    long m_lLeft;
    long m_lTop;
    long m_lRight;
    long m_lBottom;
};

// The dialog's new top-left corner, in the coordinates of the rectangles. A
// dialog larger than the work area keeps its top-left corner (and so its
// caption and system menu) inside it.
PlaceRect fnCentredPlace(const PlaceRect &stOwner, const PlaceRect &stDialog, const PlaceRect &stWork);

#endif
