// setting.ini access and the member record class.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "Module2.h"
#include "mahasiswa.h"
#include "photo_files.h"
#include "vb.h"

namespace {

TEST(SettingsFile, DefaultsUntilWrittenMatchesRegardlessOfCaseAndRewritesKeepOtherLines) {
  QTemporaryDir dir;
  vb::setProgramFolder(dir.path());
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", 200), "200");  // no file: the default, as text
  testsupport::writeFile(Module2::fileINI(),
                         "; comment\r\n[Frmsetting]\r\ntextleft=5\r\n\r\n[FORM12]\r\nTextWidth = 410 \r\n");
  EXPECT_EQ(Module2::ReadINI("form12", "textwidth", "0"), "410");
  EXPECT_EQ(Module2::ReadINI("Other", "textwidth", "7"), "7");  // no section
  ASSERT_NE(Module2::WriteINI("Form12", "textheight", ""), 0);
  Module2::WriteINI("frmsetting", "TEXTLEFT", QString(300, 'x'));
  EXPECT_EQ(Module2::ReadINI("Form12", "textheight", "7"), "");  // present, empty: not the default
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "0"), "410");
  EXPECT_EQ(Module2::ReadINI("Frmsetting", "textleft", "0"), QString(254, 'x'));
  const QString ini = QString::fromLatin1(testsupport::readFile(Module2::fileINI()));
  EXPECT_TRUE(ini.startsWith("; comment\r\n[Frmsetting]\r\n")) << ini.toStdString();
  EXPECT_TRUE(ini.contains("textheight=\r\n"));
  EXPECT_EQ(ini.count("textleft", Qt::CaseInsensitive), 1);
}

TEST(MemberRecord, EveryPropertyStartsEmptyAndKeepsItsOwnCopy) {
  using Set = void (mahasiswa::*)(QString);
  using Get = QString (mahasiswa::*)() const;
  const std::pair<Set, Get> all[] = {
      {&mahasiswa::setNis, &mahasiswa::nis},       {&mahasiswa::setNisn, &mahasiswa::nisn},
      {&mahasiswa::setNama, &mahasiswa::nama},     {&mahasiswa::setTtl, &mahasiswa::ttl},
      {&mahasiswa::setAgama, &mahasiswa::agama},   {&mahasiswa::setKelamin, &mahasiswa::kelamin},
      {&mahasiswa::setAlamat, &mahasiswa::alamat}, {&mahasiswa::setKelas, &mahasiswa::kelas}};
  mahasiswa m;
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE((m.*all[i].second)().isEmpty()) << i;
    QString value = QString("nilai %1").arg(i);
    (m.*all[i].first)(value);
    value[0] = 'X';                 // the caller's text changes; the stored one does not
    (m.*all[i].second)()[0] = 'Y';  // nor does a returned copy, nor setting another property
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ((m.*all[i].second)(), QString("nilai %1").arg(i)) << i;
}

}  // namespace
