#include "settings.h"

#include <QFile>
#include <algorithm>
#include <cmath>

#include "atomicfile.h"

namespace camera {

namespace {

// A settings file holds a handful of short lines; anything much larger is not one.
constexpr qint64 kMaxFileBytes = 64 * 1024;

struct Key {
  const char* name;
  double Balance::*field;
  double low, high;
};
constexpr Key kKeys[] = {{"brightness", &Balance::brightness, -1.0, 1.0},
                         {"contrast", &Balance::contrast, 0.0, 2.0},
                         {"hue", &Balance::hue, -1.0, 1.0},
                         {"saturation", &Balance::saturation, 0.0, 2.0}};

}  // namespace

QString settingsFile(const QString& folder, const QString& deviceName) {
  QString name = deviceName;
  for (QChar& c : name)
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control) c = QLatin1Char('-');
  for (QChar& c : name) {
    if (c != QLatin1Char('.')) break;
    c = QLatin1Char('-');
  }
  return folder + QLatin1Char('/') + name + QStringLiteral(".cfg");
}

bool saveSettings(const QString& file, const Settings& s, QString* error) {
  QByteArray text = "caps=" + s.caps.toUtf8() + '\n';
  for (const Key& k : kKeys) text += QByteArray(k.name) + '=' + QByteArray::number(s.balance.*k.field, 'g', 6) + '\n';
  return vb::replaceFileBytes(file, text, error);
}

std::optional<Settings> loadSettings(const QString& file, QString* error) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) {
    if (error) *error = in.errorString();
    return std::nullopt;
  }
  if (in.size() > kMaxFileBytes) {
    if (error) *error = QStringLiteral("berkas terlalu besar");
    return std::nullopt;
  }
  Settings s;
  bool any = false;
  for (const QByteArray& raw : in.readAll().split('\n')) {
    const QByteArray line = raw.trimmed();
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) continue;
    const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
    if (key == "caps") {
      s.caps = QString::fromUtf8(value);
      any = true;
      continue;
    }
    for (const Key& k : kKeys) {
      bool ok = false;
      const double v = value.toDouble(&ok);
      if (key != k.name || !ok || !std::isfinite(v)) continue;
      s.balance.*k.field = std::clamp(v, k.low, k.high);
      any = true;
    }
  }
  if (!any) {
    if (error) *error = QStringLiteral("bukan berkas pengaturan kamera");
    return std::nullopt;
  }
  return s;
}

}  // namespace camera
