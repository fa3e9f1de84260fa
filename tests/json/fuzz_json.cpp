// libFuzzer target: any bytes, read as UTF-8, must parse without a crash, a hang or a
// sanitizer report, and a refusal always comes with an error text.
#include <cstddef>
#include <cstdint>

#include "JSON.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto value = JSON::parse(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
  if (!value && JSON::GetParserErrors().isEmpty()) __builtin_trap();
  return 0;
}
