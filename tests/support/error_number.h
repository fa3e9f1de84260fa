#pragma once
// The run-time error number a call raises, 0 when it raises none.
#include "vb.h"

namespace testsupport {

template <class F>
long errorNumber(F&& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return e.number;
  }
  return 0;
}

}  // namespace testsupport
