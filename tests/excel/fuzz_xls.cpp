// libFuzzer target: any bytes given to the compound-file and BIFF8 readers are read or
// refused, never more.
#include <cstddef>
#include <cstdint>

#include "workbook_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const excel::detail::CompoundFile file(std::string(reinterpret_cast<const char*>(data), size));
  excel::Workbook book;
  excel::Limits limits;
  limits.maxCells = 1u << 20;
  if (file.valid()) excel::detail::readBiff8(file.stream("Workbook"), &book, limits);
  return 0;
}
