#include "scoped_hooks.h"

#include <gtest/gtest.h>

#include "dialogs.h"
#include "forms.h"

namespace testsupport {

ScopedEndHook::ScopedEndHook() : previous_(app::endHook()) {
  app::setEndHook([this] { ++count_; });
}

ScopedEndHook::~ScopedEndHook() { app::setEndHook(previous_); }

ScopedModalHook::ScopedModalHook(Driver driver) : previous_(forms::showModalHook()), driver_(std::move(driver)) {
  forms::setShowModalHook([this](QWidget* w, QWidget* owner) {
    QPointer<QWidget> guard(w);
    calls.push_back(Call{w, owner, typeid(*w), QString::fromLatin1(w->metaObject()->className()), w->windowTitle()});
    w->show();
    if (driver_ && guard) driver_(w, owner);
    if (guard && guard->isVisible()) guard->close();
  });
}

ScopedModalHook::~ScopedModalHook() { forms::setShowModalHook(previous_); }

void installStrictDefaults() {
  app::setEndHook([] { ADD_FAILURE() << "app::end() called without a ScopedEndHook"; });
  forms::setShowModalHook([](QWidget* w, QWidget*) {
    ADD_FAILURE() << "forms::showModal(" << w->metaObject()->className() << ") called without a ScopedModalHook";
  });
}

}  // namespace testsupport
