// libFuzzer target: any bytes must give a result without a crash, a hang or a sanitizer
// report; a picture that comes out has a sane size, and no flags means no picture.
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

#include "readers_alpha.h"
#include "readers_bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The PNG decoder's warnings about broken files would flood the log.
  static const bool quiet = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);
  (void)quiet;
  imaging::LoadOptions options;
  options.manageStyle = 2;
  const auto res = imaging::parseBmp({data, size}, options);
  if (res.flags == 0 && !res.image.isNull()) __builtin_trap();
  if (!res.image.isNull() && (res.image.width() < 1 || res.image.height() < 1)) __builtin_trap();
  imaging::analyzeAlpha(res.image);
  return 0;
}
