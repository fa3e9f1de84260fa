#include "program_name.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>

namespace imaging {

QString programName() {
  QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
  if (path.isEmpty()) path = QString::fromLocal8Bit(program_invocation_short_name);
  return QFileInfo(path).completeBaseName();
}

}  // namespace imaging
