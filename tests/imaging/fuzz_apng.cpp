// libFuzzer target: any bytes must give a result without a crash, a hang or a sanitizer
// report; every composed frame has the picture's size.
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

#include "readers_apng.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The PNG decoder's warnings about broken files would flood the log.
  static const bool quiet = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);
  (void)quiet;
  imaging::LoadOptions options;
  const auto res = imaging::readApng({data, size}, options);
  if (res.flags == 0 && !res.frames.empty()) __builtin_trap();
  for (const auto& f : res.frames)
    if (f.image.size() != res.frames.front().image.size()) __builtin_trap();
  return 0;
}
