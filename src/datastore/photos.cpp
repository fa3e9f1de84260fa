#include "photos.h"

#include "Module1.h"
#include "vb.h"

namespace photos {

QString pemilikLain(const QString& nis, long long id) {
  const QString name = photobox::photoFileName(nis);
  if (name.isEmpty()) return {};
  // Every character the name rule turns into "-" may have been any character; the rest
  // stand for themselves. GLOB narrows the rows down case-sensitively, as file names are;
  // the rule itself decides.
  QString pattern;
  for (const QChar c : name.chopped(4)) {
    if (c == u'-')
      pattern += u'?';
    else if (c == u'*' || c == u'?' || c == u'[')
      pattern += u'[' + QString(c) + u']';
    else
      pattern += c;
  }
  ado::Recordset rs;
  rs.Open(QStringLiteral("select id, nis from tblanggota where id <> ") + QString::number(id) +
              QStringLiteral(" and nis glob '") + ado::q(pattern) + QStringLiteral("'"),
          *Module1::Conn);
  for (; !rs.EOF_(); rs.MoveNext()) {
    const QString other = vb::text(rs.field(QStringLiteral("nis")));
    if (photobox::photoFileName(other) == name) return other;
  }
  return {};
}

}  // namespace photos
