// json-check FILE: exit 0 when the parser accepts the UTF-8 file, 1 with its error text when
// it refuses it, 2 when the file cannot be read.
#include <QFile>
#include <cstdio>

#include "JSON.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: json-check FILE\n");
    return 2;
  }
  QFile f(QString::fromLocal8Bit(argv[1]));
  if (!f.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "json-check: cannot read %s\n", argv[1]);
    return 2;
  }
  const auto value = JSON::parse(QString::fromUtf8(f.readAll()));
  const QString errors = JSON::GetParserErrors();
  if (value && errors.isEmpty()) return 0;
  std::fputs(errors.toUtf8().constData(), stdout);
  std::fputs("\n", stdout);
  return 1;
}
