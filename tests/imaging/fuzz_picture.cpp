// libFuzzer target: arbitrary bytes through the picture class's loading road (our own readers
// and animated PNG included) in the manage styles the program and its clients use, then the
// frame and page selection and a copy at another size of what loaded.
#include <QApplication>
#include <QLoggingCategory>
#include <QWidget>

#include "cPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int argc = 1;
  static char name[] = "fuzz_picture";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("qt.*=false"));
    return new QApplication(argc, argv);
  }();
  static QWidget* window = [] {
    auto* w = new QWidget;
    w->show();
    return w;
  }();
  static cPicture* pictures = [] {
    auto* p = new cPicture;
    p->setEnableAPNGSupport(true);
    return p;
  }();
  (void)app;
  (void)window;
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  for (int style : {-1, 0, 2}) {
    int dpi = 0;
    const gdi::StdPicture p = pictures->LoadPictureEx(bytes, style, style == 2, dpi, std::int32_t(0x80000005));
    if (!p) continue;
    const int frames = pictures->GetFramePageCount(p);
    if (frames > 1) {
      pictures->SetFrameGifPng(p, frames);
      pictures->SetPageTIF(p, frames);
    }
    if (style == 2) pictures->CopyStdPicture(p, 7, 5, 0, false, false, false, false, 0);
  }
  return 0;
}
