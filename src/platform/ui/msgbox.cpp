#include "msgbox.h"

#include "dialogs.h"
#include "vb.h"

namespace ui {

namespace {
QString titleOrApp(const QString& title) { return title.isEmpty() ? vb::appTitle() : title; }
}  // namespace

int msgBox(const QString& prompt, int flags, const QString& title) {
  return dialogHost().msgBox(prompt, flags, titleOrApp(title));
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
  return dialogHost().inputBox(prompt, titleOrApp(title), defaultText);
}

}  // namespace ui
