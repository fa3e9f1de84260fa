// The window registry: hidden loading, activation, unloading and the modal loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTimer>

#include "forms.h"

namespace {

struct Counts {
  int load = 0, activate = 0, query = 0, unload = 0;
};

class FormA : public forms::Form {
 public:
  static inline Counts counts;
  static inline bool refuseClose = false;
  void Form_Load() override { ++counts.load; }
  void Form_Activate() override { ++counts.activate; }
  bool Form_QueryUnload() override {
    ++counts.query;
    return refuseClose;
  }
  void Form_Unload() override { ++counts.unload; }
};

class FormB : public forms::Form {
 public:
  static inline Counts counts;
  void Form_Load() override { ++counts.load; }
  void Form_Activate() override { ++counts.activate; }
};

void flushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

class Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    FormA::counts = {};
    FormB::counts = {};
    FormA::refuseClose = false;
  }
  void TearDown() override {
    FormA::refuseClose = false;
    forms::unload<FormA>();
    forms::unload<FormB>();
    flushDeletes();
  }
};

TEST_F(Forms, HiddenLoadRunsLoadOnceAndNoActivate) {
  EXPECT_FALSE(forms::isLoaded<FormA>());
  FormA* a = forms::get<FormA>();
  EXPECT_TRUE(forms::isLoaded<FormA>());
  EXPECT_EQ(forms::get<FormA>(), a);
  EXPECT_EQ(FormA::counts.load, 1);
  EXPECT_EQ(FormA::counts.activate, 0);
  EXPECT_FALSE(a->isVisible());
  EXPECT_TRUE(forms::loaded().contains(a));
}

TEST_F(Forms, ShowRunsActivateOncePerShowing) {
  FormA* a = forms::get<FormA>();
  a->show();
  QApplication::processEvents();
  EXPECT_EQ(FormA::counts.activate, 1);
  a->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(FormA::counts.activate, 1);  // the same showing
  a->hide();
  a->show();
  QApplication::processEvents();
  EXPECT_EQ(FormA::counts.activate, 2);

  // Moving to another of our windows and back activates again.
  FormB* b = forms::get<FormB>();
  b->show();
  QApplication::processEvents();
  EXPECT_EQ(FormB::counts.activate, 1);
  QEvent act(QEvent::WindowActivate);
  QApplication::sendEvent(a, &act);
  EXPECT_EQ(FormA::counts.activate, 3);
  QApplication::sendEvent(a, &act);  // still the active one: no second activation
  EXPECT_EQ(FormA::counts.activate, 3);
}

TEST_F(Forms, UnloadThenGetLoadsANewWindow) {
  QPointer<FormA> a = forms::get<FormA>();
  a->setCaption("changed");
  forms::unload<FormA>();
  EXPECT_EQ(FormA::counts.query, 1);
  EXPECT_EQ(FormA::counts.unload, 1);
  EXPECT_FALSE(forms::isLoaded<FormA>());
  flushDeletes();
  EXPECT_TRUE(a.isNull());
  FormA* again = forms::get<FormA>();
  EXPECT_EQ(FormA::counts.load, 2);
  EXPECT_EQ(again->Caption(), "");
  forms::unload<FormA>();
  forms::unload<FormA>();  // not loaded: nothing
  EXPECT_EQ(FormA::counts.unload, 2);
}

TEST_F(Forms, QueryUnloadCanRefuseTheClose) {
  FormA* a = forms::get<FormA>();
  a->show();
  FormA::refuseClose = true;
  EXPECT_FALSE(a->close());
  forms::unload(a);
  EXPECT_TRUE(forms::isLoaded<FormA>());
  EXPECT_TRUE(a->isVisible());
  EXPECT_EQ(FormA::counts.unload, 0);
  FormA::refuseClose = false;
  QPointer<FormA> guard(a);
  EXPECT_TRUE(a->close());
  EXPECT_FALSE(forms::isLoaded<FormA>());
  EXPECT_EQ(FormA::counts.unload, 1);
  flushDeletes();
  EXPECT_TRUE(guard.isNull());
}

TEST_F(Forms, AWindowOutsideTheRegistryIsClosedButNotDeleted) {
  FormA own;  // on the stack: closing must not delete it
  own.show();
  EXPECT_TRUE(own.close());
  EXPECT_EQ(FormA::counts.unload, 1);
  flushDeletes();
  EXPECT_FALSE(own.isVisible());
  forms::unload(&own);  // not loaded: nothing
  EXPECT_EQ(FormA::counts.unload, 1);
}

TEST_F(Forms, ProductionModalLoopReturnsWhenTheWindowIsUnloaded) {
  // No hook: the real nested loop runs until the window goes away.
  auto saved = forms::showModalHook();
  forms::setShowModalHook({});
  FormB* owner = forms::get<FormB>();
  owner->show();
  QApplication::processEvents();
  FormA* a = forms::get<FormA>();
  bool wasModal = false;
  QTimer::singleShot(0, a, [&] {
    wasModal = a->isModal() && QApplication::activeModalWidget() == a;
    forms::unload(a);
  });
  forms::showModal(a, owner);
  forms::setShowModalHook(saved);
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(FormA::counts.unload, 1);
  EXPECT_EQ(FormA::counts.activate, 1);
}

}  // namespace
