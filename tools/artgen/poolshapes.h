// SPDX-License-Identifier: MIT
#pragma once

#include <QPainterPath>
#include <QPointF>

// The silhouettes of the icon pool, drawn in a 100 x 100 box.
struct PoolShape {
    QPainterPath outline;
    // Where centred motifs sit: a point well inside the silhouette.
    QPointF centre;
};

inline constexpr int kPoolShapeCount = 25;

PoolShape poolShape(int index);
