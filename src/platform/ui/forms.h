#pragma once
// The default instance of every window. The first access constructs the window and runs
// its Form_Load without showing it (hidden loading); unload destroys it, and the next
// access loads it anew.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <typeindex>

namespace forms {

// A window of the program: Form_Load runs on first access, Form_Activate when shown.
class Form : public QWidget {
  Q_OBJECT
 public:
  explicit Form(QWidget* parent = nullptr);
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  // Return true to cancel the close.
  virtual bool Form_QueryUnload() { return false; }
  virtual void Form_Unload() {}
  QString Caption() const { return windowTitle(); }
  void setCaption(const QString& c) { setWindowTitle(c); }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  friend void unload(QWidget* w);
  void runActivate();
  bool activatedSinceShow_ = false;  // Form_Activate ran for the current showing
  bool unloaded_ = false;            // Form_Unload ran; the window only waits for deletion
};

namespace detail {
QWidget* find(std::type_index t);
void add(std::type_index t, QWidget* w);
void remove(std::type_index t);
}  // namespace detail

template <class T>
T* get() {
  if (auto* w = detail::find(typeid(T))) return static_cast<T*>(w);
  auto* w = new T();
  detail::add(typeid(T), w);
  w->Form_Load();
  return w;
}
template <class T>
bool isLoaded() {
  return detail::find(typeid(T)) != nullptr;
}
// Unloads a window given as a pointer (its own Cmdtutup): Form_QueryUnload may cancel,
// then Form_Unload runs and the window is destroyed. Does nothing for a window that is
// not loaded.
void unload(QWidget* w);
template <class T>
void unload() {
  if (auto* w = detail::find(typeid(T))) unload(w);
}
// Every loaded window (app::end hides them all).
QList<QWidget*> loaded();

// Shows a modeless window in front of the others: one already open comes forward (out of
// its minimised state, too) instead of staying hidden behind the window that opened it.
void showFront(QWidget* w);

// Shows `w` modally with `owner` and returns when it is closed or unloaded. Tests set a
// hook that drives the window instead of running a nested loop.
void showModal(QWidget* w, QWidget* owner);
void setShowModalHook(std::function<void(QWidget* w, QWidget* owner)> hook);
std::function<void(QWidget* w, QWidget* owner)> showModalHook();

}  // namespace forms
