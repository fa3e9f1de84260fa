#include "screen.h"

namespace gdi {
namespace {
Screen& store() {
  static Screen s;
  return s;
}
}  // namespace

const Screen& screen() { return store(); }
void setScreen(const Screen& s) { store() = s; }

}  // namespace gdi
