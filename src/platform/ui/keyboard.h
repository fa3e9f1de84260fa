#pragma once
// The keyboard's lock keys as the windowing system reports them. Tests install a reader of
// their own; the program reads the X server's indicators when it runs on X11.
#include <functional>

namespace ui {

struct LockKeys {
  bool known = false;  // false where the platform gives no lock state (Wayland, offscreen)
  bool capsLock = false;
  bool numLock = false;
};

// The lock state right now.
LockKeys lockKeys();

// Replaces the reader (an empty function puts the platform's back); returns the one in force.
using LockKeysReader = std::function<LockKeys()>;
LockKeysReader setLockKeysReader(LockKeysReader reader);

}  // namespace ui
