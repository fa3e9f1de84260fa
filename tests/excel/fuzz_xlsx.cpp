// libFuzzer target: any bytes given to the .xlsx reader are read or refused, never more.
#include <cstddef>
#include <cstdint>

#include "workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  excel::Workbook book;
  excel::Limits limits;
  limits.maxPartBytes = 8u << 20;
  limits.maxTotalBytes = 32u << 20;
  excel::readXlsx(data, size, &book, limits);
  return 0;
}
