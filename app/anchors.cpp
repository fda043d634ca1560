#include "anchors.h"

namespace {
// One axis: anchored to both ends it stretches, to the far end only it moves, else it stays.
void place(int designPos, int designLen, int designSpan, int span, bool nearEdge, bool farEdge, int &pos,
           int &len)
{
    const int growth = span - designSpan;
    pos = designPos;
    len = designLen;
    if (nearEdge && farEdge)
        len = qMax(0, designLen + growth);
    else if (farEdge)
        pos = designPos + growth;
}
} // namespace

QRect anchoredGeometry(const QRect &design, int anchors, const QSize &designParent, const QSize &parent)
{
    int x, w, y, h;
    place(design.x(), design.width(), designParent.width(), parent.width(), anchors & AnchorLeft,
          anchors & AnchorRight, x, w);
    place(design.y(), design.height(), designParent.height(), parent.height(), anchors & AnchorTop,
          anchors & AnchorBottom, y, h);
    return QRect(x, y, w, h);
}
