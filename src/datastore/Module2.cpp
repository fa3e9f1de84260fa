#include "Module2.h"

#include "profile.h"
#include "vb.h"

namespace Module2 {

QString fileINI() { return vb::appPath(QStringLiteral("setting.ini")); }

QString ReadINI(const QString& Section, const QString& Key, const QVariant& Default) {
  return profile::getPrivateProfileString(Section, Key, vb::text(Default), 255, fileINI());
}

long WriteINI(const QString& Section, const QString& Key, const QString& Value) {
  // An empty text (not a missing one) so the key stays in the file.
  const QString v = Value.isEmpty() ? QStringLiteral("") : Value;
  return profile::writePrivateProfileString(Section, Key, v, fileINI()) ? 1 : 0;
}

}  // namespace Module2
