// setting.ini access and the member record class.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "Module2.h"
#include "mahasiswa.h"
#include "photo_files.h"
#include "vb.h"

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { vb::setProgramFolder(dir.path()); }
  QString contents() const { return QString::fromLatin1(testsupport::readFile(Module2::fileINI())); }
  QTemporaryDir dir;
};

TEST_F(SettingsFile, DefaultsUntilWrittenThenValuesEmptyOrCutTo254) {
  EXPECT_EQ(Module2::fileINI(), dir.path() + "/setting.ini");
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", 200), "200");  // no file: the default, as text
  ASSERT_NE(Module2::WriteINI("Form12", "textheight", "150"), 0);
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "200");  // no key
  EXPECT_EQ(Module2::ReadINI("Other", "textheight", "7"), "7");      // no section
  EXPECT_EQ(Module2::ReadINI("Form12", "textheight", "0"), "150");
  ASSERT_NE(Module2::WriteINI("Form12", "textwidth", ""), 0);
  EXPECT_TRUE(contents().contains("textwidth=\r\n")) << contents().toStdString();
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "");  // present, empty: not the default
  Module2::WriteINI("Form12", "textwidth", QString(300, 'x'));
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", ""), QString(254, 'x'));
}

TEST_F(SettingsFile, SectionsAndKeysMatchRegardlessOfCaseAndRewritesKeepOtherLines) {
  testsupport::writeFile(Module2::fileINI(), "; comment\r\n[Frmsetting]\r\ntextleft=5\r\n\r\n[FORM12]\r\nTextWidth = 410 \r\n");
  EXPECT_EQ(Module2::ReadINI("form12", "textwidth", "0"), "410");
  Module2::WriteINI("Form12", "textheight", "99");
  Module2::WriteINI("frmsetting", "TEXTLEFT", "6");
  EXPECT_EQ(Module2::ReadINI("Form12", "textheight", "0"), "99");
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "0"), "410");
  EXPECT_EQ(Module2::ReadINI("Frmsetting", "textleft", "0"), "6");
  EXPECT_TRUE(contents().startsWith("; comment\r\n[Frmsetting]\r\n"));
  EXPECT_EQ(contents().count("textleft", Qt::CaseInsensitive), 1);
}

TEST(MemberRecord, EveryPropertyStartsEmptyAndKeepsItsOwnCopy) {
  struct Property {
    void (mahasiswa::*set)(QString);
    QString (mahasiswa::*get)() const;
  };
  const Property all[] = {{&mahasiswa::setNis, &mahasiswa::nis},         {&mahasiswa::setNisn, &mahasiswa::nisn},
                          {&mahasiswa::setNama, &mahasiswa::nama},       {&mahasiswa::setTtl, &mahasiswa::ttl},
                          {&mahasiswa::setAgama, &mahasiswa::agama},     {&mahasiswa::setKelamin, &mahasiswa::kelamin},
                          {&mahasiswa::setAlamat, &mahasiswa::alamat},   {&mahasiswa::setKelas, &mahasiswa::kelas}};
  mahasiswa m;
  for (const Property& p : all) EXPECT_TRUE((m.*p.get)().isNull());
  for (int i = 0; i < 8; ++i) {
    QString value = QString("nilai %1").arg(i);
    (m.*all[i].set)(value);
    value[0] = 'X';  // the caller's text changes; the stored one does not
    QString got = (m.*all[i].get)();
    got[0] = 'Y';  // nor does a returned copy write through
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ((m.*all[i].get)(), QString("nilai %1").arg(i)) << i;  // none overwrote another
}

}  // namespace
