// The main window's status bar: Caps Lock, Num Lock, time, date and the insert toggle.
#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QTime>
#include <QTimer>
#include <QWindow>

#include "Frmcari.h"
#include "keyboard.h"
#include "named.h"

// Watches every window of the program: the Insert key flips the toggle whichever window
// has the focus, and a window that becomes active again shows the keys as they are now
// (they may have changed while another program had the keyboard).
class Frmcari::PengamatKunci : public QObject {
 public:
  explicit PengamatKunci(Frmcari* w) : QObject(w), w_(w) { qApp->installEventFilter(this); }
  ~PengamatKunci() override { qApp->removeEventFilter(this); }

  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress: {
        // A key press reaches the window first, then travels through its widgets: counted
        // once, at the window. Holding the key down does not flip it again and again.
        auto* k = static_cast<QKeyEvent*>(e);
        if (o->isWindowType() && k->key() == Qt::Key_Insert && !k->isAutoRepeat()) {
          w_->sisip_ = !w_->sisip_;
          w_->tampilKunci();
        }
        break;
      }
      case QEvent::WindowActivate:
        w_->tampilKunci();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  Frmcari* w_;
};

void Frmcari::buildStatusBar() {
  StatusBar2 = ui::named(new QStatusBar(this), "StatusBar2");
  StatusBar2->setSizeGripEnabled(true);
  statusCaps_ = ui::named(new QLabel(QStringLiteral("CAPS"), StatusBar2), "StatusCaps");
  statusNum_ = ui::named(new QLabel(QStringLiteral("NUM"), StatusBar2), "StatusNum");
  auto* time = ui::named(new QLabel(StatusBar2), "StatusTime");
  auto* date = ui::named(new QLabel(StatusBar2), "StatusDate");
  statusIns_ = ui::named(new QLabel(QStringLiteral("INS"), StatusBar2), "StatusIns");
  for (QLabel* l : {statusCaps_, statusNum_, time, date, statusIns_}) {
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(70);
    l->setAlignment(Qt::AlignCenter);
    StatusBar2->addPermanentWidget(l);
  }
  auto tick = [this, time, date] {
    time->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
    date->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    tampilKunci();
  };
  tick();
  auto* timer = ui::named(new QTimer(this), "StatusTimer");
  connect(timer, &QTimer::timeout, this, tick);
  timer->start(1000);
  new PengamatKunci(this);
}

void Frmcari::tampilKunci() {
  // A panel greyed out is the key switched off, as desktop status bars show it.
  const ui::LockKeys k = ui::lockKeys();
  statusCaps_->setEnabled(!k.known || k.capsLock);
  statusNum_->setEnabled(!k.known || k.numLock);
  statusIns_->setEnabled(sisip_);
}
