// The status bar's key panels: the lock keys as the keyboard seam reports them, the insert
// toggle as the Insert key flips it in any of the program's windows.
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "frmAggota.h"
#include "keyboard.h"
#include "mainwindow_fixture.h"

using namespace testsupport;

namespace {

class StatusKeys : public MainWindowTest {
 protected:
  void SetUp() override {
    previous_ = ui::setLockKeysReader([this] {
      ++reads;
      return keys;
    });
  }
  void TearDown() override {
    ui::setLockKeysReader(previous_);
    MainWindowTest::TearDown();
  }
  // The three key panels as the user sees them: the word, in brackets while greyed.
  QString panels() const {
    QStringList out;
    for (const char* name : {"StatusCaps", "StatusNum", "StatusIns"}) {
      auto* l = w->StatusBar2->findChild<QLabel*>(QString::fromLatin1(name));
      out << (l->isEnabled() ? l->text() : "(" + l->text() + ")");
    }
    return out.join(' ');
  }
  QTimer* timer() const { return w->findChild<QTimer*>("StatusTimer"); }
  static void pressInsert(QWidget* window) {
    window->show();
    QTest::keyClick(window->windowHandle(), Qt::Key_Insert);
  }

  ui::LockKeys keys;
  int reads = 0;
  ui::LockKeysReader previous_;
};

TEST_F(StatusKeys, LockPanelsFollowTheKeyboardAtStartEverySecondAndWhenTheWindowIsActiveAgain) {
  keys = {true, true, false};
  start();
  EXPECT_EQ(panels(), "CAPS (NUM) (INS)");
  ASSERT_TRUE(timer() && timer()->isActive());
  EXPECT_LE(timer()->interval(), 1000);
  frmAggota* entry = forms::get<frmAggota>();
  w->show();
  entry->show();
  enum class Trigger { Tick, BackToMain, OtherWindow };
  const struct {
    Trigger trigger;
    ui::LockKeys keys;
    const char* shown;
  } cases[] = {
      {Trigger::Tick, {true, false, true}, "(CAPS) NUM (INS)"},
      {Trigger::BackToMain, {true, true, true}, "CAPS NUM (INS)"},
      {Trigger::OtherWindow, {true, false, false}, "(CAPS) (NUM) (INS)"},
      {Trigger::Tick, {true, true, false}, "CAPS (NUM) (INS)"},
      // No lock state on this platform: the words as they are.
      {Trigger::BackToMain, {false, false, false}, "CAPS NUM (INS)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    keys = c.keys;
    const int before = reads;
    switch (c.trigger) {
      case Trigger::Tick:
        ASSERT_TRUE(QMetaObject::invokeMethod(timer(), "timeout"));
        break;
      case Trigger::BackToMain:
        QApplication::setActiveWindow(entry);
        QApplication::setActiveWindow(w);
        break;
      case Trigger::OtherWindow:
        QApplication::setActiveWindow(w);
        QApplication::setActiveWindow(entry);
        break;
    }
    EXPECT_GT(reads, before);  // the panel asked the keyboard, not a memory of it
    EXPECT_EQ(panels(), c.shown);
  }
}

TEST_F(StatusKeys, InsertKeyFlipsTheToggleOncePerPressInWhicheverWindowHasTheFocus) {
  start();
  frmAggota* entry = forms::get<frmAggota>();
  entry->TextNama->setFocus();  // the press travels through the focused field and its parents
  const struct {
    QWidget* window;
    bool autoRepeat;
    const char* shown;
  } presses[] = {
      {w, false, "CAPS NUM INS"},
      {entry, false, "CAPS NUM (INS)"},
      {entry, true, "CAPS NUM (INS)"},  // a key held down flips nothing more
      {entry, false, "CAPS NUM INS"},
      {w, false, "CAPS NUM (INS)"},
  };
  EXPECT_EQ(panels(), "CAPS NUM (INS)");
  for (const auto& p : presses) {
    SCOPED_TRACE(p.shown);
    const bool before = w->modeSisip();
    if (p.autoRepeat) {
      QKeyEvent held(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier, QString(), true);
      QCoreApplication::sendEvent(p.window->windowHandle(), &held);
    } else {
      pressInsert(p.window);
    }
    EXPECT_EQ(w->modeSisip(), p.autoRepeat ? before : !before);
    EXPECT_EQ(panels(), p.shown);
  }
}

}  // namespace
