#pragma once
// The heap's largest size over a stretch of a test, from the address sanitizer's allocator
// hooks: every allocation counts, also those of libjpeg, libpng and Qt. Without the sanitizer
// there is no measure (available() is false).
#include <cstdint>

namespace testsupport {

class PeakHeap {
 public:
  static bool available();
  PeakHeap();  // starts counting from zero
  ~PeakHeap();
  std::int64_t peak() const;
};

}  // namespace testsupport
