#include "keyboard.h"

#include <QGuiApplication>

#ifdef LENTAVO_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace ui {

namespace {

LockKeysReader& reader() {
  static LockKeysReader r;
  return r;
}

#ifdef LENTAVO_HAVE_X11
// The "Caps Lock" and "Num Lock" indicators, looked up by name: a keyboard map may place
// them at other indicator numbers than the usual first two.
bool namedIndicator(Display* dpy, const char* name, bool* on) {
  const Atom atom = XInternAtom(dpy, name, True);
  if (atom == None) return false;
  Bool state = False;
  if (!XkbGetNamedIndicator(dpy, atom, nullptr, &state, nullptr, nullptr)) return false;
  *on = state;
  return true;
}
#endif

LockKeys platformLockKeys() {
  LockKeys k;
#ifdef LENTAVO_HAVE_X11
  // Only a program shown through X11 holds a display; offscreen and Wayland have none.
  if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return k;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* dpy = x11 ? x11->display() : nullptr;
  if (!dpy) return k;
  k.known = namedIndicator(dpy, "Caps Lock", &k.capsLock) && namedIndicator(dpy, "Num Lock", &k.numLock);
  if (!k.known) {
    unsigned int bits = 0;
    if (XkbGetIndicatorState(dpy, XkbUseCoreKbd, &bits) == Success) {
      k.known = true;
      k.capsLock = bits & 1u;
      k.numLock = bits & 2u;
    }
  }
#endif
  return k;
}

}  // namespace

LockKeys lockKeys() { return reader() ? reader()() : platformLockKeys(); }

LockKeysReader setLockKeysReader(LockKeysReader r) {
  LockKeysReader old = std::move(reader());
  reader() = std::move(r);
  return old;
}

}  // namespace ui
