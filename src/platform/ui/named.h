#pragma once
// Gives a control the name it has in the window's design; tests find controls by it.
#include <QObject>
#include <QString>

namespace ui {
template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}
}  // namespace ui
