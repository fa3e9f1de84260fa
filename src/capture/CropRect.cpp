#include "CropRect.h"

#include <algorithm>

#include "vb.h"

namespace capture {

QRect cropRect(QPointF mouse, QSize crop, QSize snapshot) {
  const int frameW = std::max(0, snapshot.width()), frameH = std::max(0, snapshot.height());
  const int cw = std::clamp(crop.width(), 0, frameW), ch = std::clamp(crop.height(), 0, frameH);
  // In 64 bits, so a mouse far outside the picture cannot overflow.
  const long long x = vb::vbRound(mouse.x()), y = vb::vbRound(mouse.y());
  const long long left = std::clamp<long long>(x - cw / 2, 0, frameW - cw);
  const long long top = std::clamp<long long>(y - ch / 2, 0, frameH - ch);
  return QRect(int(left), int(top), cw, ch);
}

}  // namespace capture
