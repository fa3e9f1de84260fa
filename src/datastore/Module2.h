#pragma once
// Access to setting.ini in the program folder.
#include <QString>
#include <QVariant>

namespace Module2 {
QString fileINI();
// A missing file, section or key gives `Default` as text; values are cut to 254 characters.
QString ReadINI(const QString& Section, const QString& Key, const QVariant& Default);
// An empty value keeps the key with nothing after "="; returns non-zero on success.
long WriteINI(const QString& Section, const QString& Key, const QString& Value);
}  // namespace Module2
