#pragma once

#include <QRect>
#include <QSize>

// Keeps a control's distance to the edges it is anchored to when its parent is resized.
enum Anchor
{
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorAll = 15
};

QRect anchoredGeometry(const QRect &design, int anchors, const QSize &designParent, const QSize &parent);
