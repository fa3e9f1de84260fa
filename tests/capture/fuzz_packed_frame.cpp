// libFuzzer target: any bytes as a captured frame; a picture or a clean failure, never a read
// outside the frame.
#include <cstring>
#include <vector>

#include "DirectShowDIB.h"
#include "vb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::int32_t> frame((size + 3) / 4);
  if (size) std::memcpy(frame.data(), data, size);
  try {
    DirectShowDIB::instance().CreatePicture(frame);
  } catch (const vb::VbError&) {
  }
  return 0;
}
