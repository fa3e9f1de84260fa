// picture-reader-dump --reader bmp|ico|apng|wmf FILE...: what our own readers make of files.
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>

#include "reader_dump.h"

int main(int argc, char** argv) {
  // Metafile text needs fonts, which need a GUI application; no window is ever shown.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  QTextStream out(stdout);
  QTextStream err(stderr);
  if (args.size() < 3 || args[0] != "--reader") {
    err << "pemakaian: picture-reader-dump --reader bmp|ico|apng|wmf BERKAS...\n";
    return 2;
  }
  int result = 0;
  for (const QString& file : args.mid(2)) {
    const int r = dumpWithReader(args[1], file, out);
    if (r == 2) {
      err << "pembaca tidak dikenal: " << args[1] << "\n";
      return 2;
    }
    result |= r;
  }
  return result;
}
