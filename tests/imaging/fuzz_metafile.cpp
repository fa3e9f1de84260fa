// libFuzzer target: any bytes read as a WMF or EMF must play and convert without a crash, a
// hang or a sanitizer report; a conversion's result must read back as a WMF.
#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

#include "metafile.h"
#include "metafile_convert.h"

// Fontconfig keeps its caches until the process ends; that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Text needs fonts, and fonts need an application; the offscreen platform serves.
  static int argc = 1;
  static char name[] = "fuzz_metafile";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = (qputenv("QT_QPA_PLATFORM", "offscreen"),
                                 qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}),
                                 new QGuiApplication(argc, argv));
  (void)app;
  const auto meta = gdi::Metafile::parse({data, size});
  if (!meta) return 0;
  meta->render(meta->sizePixels(96).boundedTo(QSize(64, 64)));
  if (meta->kind() == gdi::Metafile::Emf) {
    const auto wmf = imaging::emfToPlaceableWmf({data, size});
    if (!wmf.empty() && !gdi::Metafile::parse(wmf)) __builtin_trap();
  }
  return 0;
}
