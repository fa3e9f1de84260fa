// The files of the corpus, and many damaged copies of them: files named y_ are accepted,
// n_ refused, and no copy crashes or hangs (the sanitizers watch).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <random>

#include "JSON.h"

namespace {
bool accepted(const QString& text) { return JSON::parse(text) && JSON::GetParserErrors().isEmpty(); }
}  // namespace

TEST(JsonCorpus, FilesAndDamagedCopies) {
  const QDir dir(QStringLiteral(LENTAVO_JSON_CORPUS));
  const QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files);
  ASSERT_GE(names.size(), 10);
  std::mt19937 rng(16);
  const QString alphabet = QStringLiteral("{}[]\"',:/*\\() \nuetrfnal0123456789.eE+-");
  for (const QString& name : names) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll()).left(4000);
    EXPECT_EQ(accepted(text), name.startsWith(u"y_")) << name.toStdString();
    for (int round = 0; round < 300; ++round) {
      QString copy = text;
      for (int k = 1 + int(rng() % 4); k > 0 && !copy.isEmpty(); --k) {
        const qsizetype at = qsizetype(rng() % quint32(copy.size()));
        switch (rng() % 3) {
          case 0: copy[at] = alphabet[qsizetype(rng() % quint32(alphabet.size()))]; break;
          case 1: copy.remove(at, 1 + qsizetype(rng() % 3)); break;
          default: copy.truncate(at);
        }
      }
      const auto v = JSON::parse(copy);
      EXPECT_TRUE(v || !JSON::GetParserErrors().isEmpty()) << copy.toStdString();
    }
  }
}
