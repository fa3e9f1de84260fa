#include "connstring.h"

#include "reporterrors.h"
#include "vb.h"

namespace report {

QMap<QString, QString> parseConnectionString(const QString& s) {
  QMap<QString, QString> out;
  auto bad = [](const QString& why) {
    throw vb::VbError(kErrCall, kSource, QStringLiteral("The connection string is not valid: %1").arg(why));
  };
  qsizetype i = 0;
  const qsizetype n = s.size();
  while (i < n) {
    // Name up to "=".
    const qsizetype eq = s.indexOf(u'=', i);
    const qsizetype semi = s.indexOf(u';', i);
    if (eq < 0 || (semi >= 0 && semi < eq)) {
      const QString rest = s.mid(i, (semi < 0 ? n : semi) - i).trimmed();
      if (!rest.isEmpty()) bad(QStringLiteral("\"%1\" has no value").arg(rest.left(40)));
      if (semi < 0) break;
      i = semi + 1;
      continue;
    }
    const QString name = s.mid(i, eq - i).simplified().toLower();
    if (name.isEmpty()) bad(QStringLiteral("a value has no name"));
    i = eq + 1;
    while (i < n && s.at(i).isSpace()) ++i;
    QString value;
    if (i < n && (s.at(i) == u'"' || s.at(i) == u'\'')) {
      const QChar q = s.at(i++);
      bool closed = false;
      while (i < n) {
        if (s.at(i) == q) {
          if (i + 1 < n && s.at(i + 1) == q) {
            value += q;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += s.at(i++);
      }
      if (!closed) bad(QStringLiteral("the value of \"%1\" has no closing quote").arg(name));
      while (i < n && s.at(i).isSpace()) ++i;
      if (i < n && s.at(i) != u';') bad(QStringLiteral("text after the quoted value of \"%1\"").arg(name));
    } else {
      const qsizetype end = s.indexOf(u';', i);
      value = s.mid(i, (end < 0 ? n : end) - i).trimmed();
      i = end < 0 ? n : end;
    }
    out.insert(name, value);
    if (i < n && s.at(i) == u';') ++i;
  }
  return out;
}

}  // namespace report
