#pragma once
// The crop rectangle that follows the mouse over a snapshot, the same in both camera
// windows.
#include <QPointF>
#include <QRect>
#include <QSize>

namespace capture {

// The crop of `crop` pixels centred on the mouse (its position rounded half to even, the
// crop's halves cut toward zero), moved so that it lies wholly inside a snapshot of
// `snapshot` pixels: flush with an edge the mouse is too close to, never past it. A crop
// wider or higher than the snapshot is cut to the snapshot's width or height.
QRect cropRect(QPointF mouse, QSize crop, QSize snapshot);

}  // namespace capture
