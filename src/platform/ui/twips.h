#pragma once
// Window geometry in twips at a fixed 15 twips per pixel (never the screen's dpi).
// Setters refuse a negative size, as the controls do, by throwing; callers in the
// continue-with-next-statement mode skip that step.
#include <QWidget>
#include <stdexcept>

#include "vb.h"

namespace twips {

inline constexpr int kPerPixel = 15;

inline int toPx(long long tw) { return static_cast<int>(vb::vbRound(static_cast<double>(tw) / kPerPixel)); }
inline long long fromPx(int px) { return static_cast<long long>(px) * kPerPixel; }

inline long long left(const QWidget* w) { return fromPx(w->x()); }
inline long long top(const QWidget* w) { return fromPx(w->y()); }
inline long long width(const QWidget* w) { return fromPx(w->width()); }
inline long long height(const QWidget* w) { return fromPx(w->height()); }

inline void invalid() { throw vb::VbError(380, QStringLiteral("Control"), QStringLiteral("Invalid property value")); }

inline void setLeft(QWidget* w, long long v) { w->move(toPx(v), w->y()); }
inline void setTop(QWidget* w, long long v) { w->move(w->x(), toPx(v)); }
inline void setWidth(QWidget* w, long long v) {
  if (v < 0) invalid();
  w->resize(toPx(v), w->height());
}
inline void setHeight(QWidget* w, long long v) {
  if (v < 0) invalid();
  w->resize(w->width(), toPx(v));
}
inline void setGeometry(QWidget* w, long long l, long long t, long long wd, long long ht) {
  if (wd < 0 || ht < 0) invalid();
  w->setGeometry(toPx(l), toPx(t), toPx(wd), toPx(ht));
}

}  // namespace twips
