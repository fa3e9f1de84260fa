#include "vb.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <cmath>

namespace vb {
namespace {
QString& folderStore() {
  static QString folder;
  return folder;
}
QString& titleStore() {
  static QString title;
  return title;
}
}  // namespace

QString programFolder() {
  QString& f = folderStore();
  if (f.isEmpty() && QCoreApplication::instance()) f = QCoreApplication::applicationDirPath();
  return f;
}

void setProgramFolder(const QString& folder) { folderStore() = QDir::cleanPath(folder); }

QString appPath(const QString& relative) {
  QString rel = relative;
  rel.replace('\\', '/');
  while (rel.startsWith('/')) rel.remove(0, 1);
  QString base = programFolder();
  if (rel.isEmpty()) return base;
  return base + '/' + rel;
}

QString appTitle() {
  QString& t = titleStore();
  if (t.isEmpty() && QCoreApplication::instance()) return QCoreApplication::applicationName();
  return t;
}

void setAppTitle(const QString& title) { titleStore() = title; }

QString formatCount(qlonglong n) {
  QLocale loc;  // the user's locale, as Format(n, "#,##0") uses it
  loc.setNumberOptions(QLocale::DefaultNumberOptions);
  return loc.toString(n);
}

long long vbRound(double v) { return static_cast<long long>(std::nearbyint(v)); }

QString text(const QVariant& v) {
  if (v.isNull() || !v.isValid()) return QString();
  if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
  return v.toString();
}

bool isTrue(const QVariant& v) {
  if (v.isNull() || !v.isValid()) return false;
  if (v.typeId() == QMetaType::Bool) return v.toBool();
  if (v.typeId() == QMetaType::QString) {
    const QString s = v.toString().trimmed();
    if (s.compare(u"true", Qt::CaseInsensitive) == 0) return true;
    bool ok = false;
    const double d = s.toDouble(&ok);
    return ok && d != 0.0;
  }
  bool ok = false;
  const double d = v.toDouble(&ok);
  return ok && d != 0.0;
}

VbError::VbError(long n, QString src, QString desc)
    : std::runtime_error(desc.toStdString()), number(n), source(std::move(src)), description(std::move(desc)) {}

}  // namespace vb
