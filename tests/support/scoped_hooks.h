#pragma once
// Hooks for the two calls that would leave or block a test: app::end() and
// forms::showModal(). Each installs itself for its lifetime and restores what it found.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <typeindex>
#include <vector>

namespace testsupport {

// Records app::end() instead of ending the program.
class ScopedEndHook {
 public:
  ScopedEndHook();
  ~ScopedEndHook();
  ScopedEndHook(const ScopedEndHook&) = delete;
  ScopedEndHook& operator=(const ScopedEndHook&) = delete;
  int count() const { return count_; }
  bool ended() const { return count_ > 0; }

 private:
  std::function<void()> previous_;
  int count_ = 0;
};

// Drives modal windows instead of running a nested event loop. For each showModal call the
// window is recorded and shown (so its Form_Activate runs), then `driver` runs with it;
// a window still visible afterwards is closed as the user's close box would (its
// Form_QueryUnload and Form_Unload run), and showModal returns.
class ScopedModalHook {
 public:
  using Driver = std::function<void(QWidget* window, QWidget* owner)>;
  struct Call {
    QPointer<QWidget> window;
    QPointer<QWidget> owner;
    std::type_index type;  // the window's class
    QString className;     // its Qt class name, e.g. "Frmtentang"
    QString title;         // the window's caption when it was shown
  };

  explicit ScopedModalHook(Driver driver = {});
  ~ScopedModalHook();
  ScopedModalHook(const ScopedModalHook&) = delete;
  ScopedModalHook& operator=(const ScopedModalHook&) = delete;

  void setDriver(Driver d) { driver_ = std::move(d); }
  std::vector<Call> calls;
  int count() const { return static_cast<int>(calls.size()); }
  // True when a window of class T was shown modally.
  template <class T>
  bool shown() const {
    for (const Call& c : calls)
      if (c.type == typeid(T)) return true;
    return false;
  }

 private:
  std::function<void(QWidget*, QWidget*)> previous_;
  Driver driver_;
};

// Installed by the test main for the whole run: an app::end() or showModal() that no
// scoped hook expects fails the test instead of ending or blocking it.
void installStrictDefaults();

}  // namespace testsupport
