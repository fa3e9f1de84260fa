#include "forms.h"

#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <vector>

namespace forms {

namespace {

struct Entry {
  std::type_index type;
  QPointer<QWidget> window;
};

// In load order; a handful of windows, so a plain list serves.
std::vector<Entry>& registry() {
  static std::vector<Entry> r;
  return r;
}

void prune() {
  auto& r = registry();
  std::erase_if(r, [](const Entry& e) { return e.window.isNull(); });
}

bool removeWindow(QWidget* w) {
  auto& r = registry();
  const auto before = r.size();
  std::erase_if(r, [w](const Entry& e) { return e.window == w; });
  return r.size() != before;
}

std::function<void(QWidget*, QWidget*)>& modalHook() {
  static std::function<void(QWidget*, QWidget*)> hook;
  return hook;
}

// The window of ours that was last the active one. Coming back from another program
// does not count as an activation; moving between our windows does.
QPointer<QWidget>& lastActive() {
  static QPointer<QWidget> w;
  return w;
}

// Ends a modal loop when its window is hidden or destroyed.
class ModalWatch : public QObject {
 public:
  ModalWatch(QWidget* w, QEventLoop* loop) : w_(w), loop_(loop) {
    w->installEventFilter(this);
    connect(w, &QObject::destroyed, loop, &QEventLoop::quit);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == w_ && e->type() == QEvent::Hide && w_ && !w_->isVisible()) loop_->quit();
    return false;
  }

 private:
  QPointer<QWidget> w_;
  QEventLoop* loop_;
};

}  // namespace

namespace detail {

QWidget* find(std::type_index t) {
  prune();
  for (const Entry& e : registry())
    if (e.type == t) return e.window;
  return nullptr;
}

void add(std::type_index t, QWidget* w) {
  remove(t);
  registry().push_back(Entry{t, w});
}

void remove(std::type_index t) {
  std::erase_if(registry(), [t](const Entry& e) { return e.type == t; });
}

}  // namespace detail

Form::Form(QWidget* parent) : QWidget(parent) {}

void Form::runActivate() {
  activatedSinceShow_ = true;
  lastActive() = this;
  Form_Activate();
}

bool Form::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::Show:
      // A window shown without becoming active (offscreen, or behind another program)
      // still gets its activation once per showing.
      if (isWindow() && !activatedSinceShow_ && !unloaded_) runActivate();
      break;
    case QEvent::WindowActivate:
      if (lastActive() != this && !unloaded_) runActivate();
      break;
    case QEvent::Hide:
      if (isWindow() && !isVisible()) {
        activatedSinceShow_ = false;
        if (lastActive() == this) lastActive() = nullptr;
      }
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

void Form::closeEvent(QCloseEvent* e) {
  if (unloaded_) {
    e->accept();
    return;
  }
  if (Form_QueryUnload()) {
    e->ignore();
    return;
  }
  e->accept();
  if (!removeWindow(this)) {
    // Not a default instance (a test's own window): its owner decides when it goes.
    Form_Unload();
    return;
  }
  unloaded_ = true;
  Form_Unload();
  deleteLater();
}

void unload(QWidget* w) {
  if (!w) return;
  prune();
  auto& r = registry();
  const bool loadedNow = std::any_of(r.begin(), r.end(), [w](const Entry& e) { return e.window == w; });
  if (!loadedNow) return;
  auto* form = qobject_cast<Form*>(w);
  if (form) {
    if (form->unloaded_) return;
    if (form->Form_QueryUnload()) return;
  }
  removeWindow(w);
  if (form) {
    form->unloaded_ = true;
    form->Form_Unload();
  }
  w->hide();
  w->deleteLater();
}

QList<QWidget*> loaded() {
  prune();
  QList<QWidget*> out;
  for (const Entry& e : registry()) out << e.window.data();
  return out;
}

void showFront(QWidget* w) {
  if (!w) return;
  if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->show();
  w->raise();
  w->activateWindow();
}

void setShowModalHook(std::function<void(QWidget*, QWidget*)> hook) { modalHook() = std::move(hook); }
std::function<void(QWidget*, QWidget*)> showModalHook() { return modalHook(); }

void showModal(QWidget* w, QWidget* owner) {
  if (!w) return;
  if (modalHook()) {
    modalHook()(w, owner);
    return;
  }
  QPointer<QWidget> guard(w);
  QWidget* const oldParent = w->parentWidget();
  const Qt::WindowFlags oldFlags = w->windowFlags();
  if (w->isVisible()) w->hide();
  // Owned by `owner`: stays above it and is centred on it.
  if (owner && owner->window() != w) w->setParent(owner->window(), oldFlags | Qt::Dialog);
  w->setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  ModalWatch watch(w, &loop);
  w->show();
  w->raise();
  w->activateWindow();
  if (guard && guard->isVisible()) loop.exec(QEventLoop::DialogExec);
  if (guard) {
    guard->removeEventFilter(&watch);
    guard->setWindowModality(Qt::NonModal);
    if (guard->parentWidget() != oldParent) {
      const bool visible = guard->isVisible();
      guard->setParent(oldParent, oldFlags);
      if (visible) guard->show();
    }
  }
}

}  // namespace forms
