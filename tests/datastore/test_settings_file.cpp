// setting.ini access and the member record class.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "Module2.h"
#include "mahasiswa.h"
#include "vb.h"

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    vb::setProgramFolder(dir.path());
  }
  QString contents() const {
    QFile f(dir.path() + "/setting.ini");
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
  }
  QTemporaryDir dir;
};

TEST_F(SettingsFile, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "200");
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", 200), "200");  // a number default becomes text
  ASSERT_NE(Module2::WriteINI("Form12", "textheight", "150"), 0);
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "200");
  EXPECT_EQ(Module2::ReadINI("Other", "textheight", "7"), "7");
}

TEST_F(SettingsFile, FirstWriteCreatesTheFileUnderTheProgramFolder) {
  EXPECT_EQ(Module2::fileINI(), dir.path() + "/setting.ini");
  EXPECT_FALSE(QFile::exists(Module2::fileINI()));
  ASSERT_NE(Module2::WriteINI("Form12", "textwidth", "320"), 0);
  EXPECT_TRUE(QFile::exists(Module2::fileINI()));
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "320");
}

TEST_F(SettingsFile, EmptyValueKeepsTheKeyWithNothingAfterEquals) {
  Module2::WriteINI("Form12", "textwidth", "320");
  Module2::WriteINI("Form12", "textheight", "240");
  ASSERT_NE(Module2::WriteINI("Form12", "textwidth", ""), 0);
  EXPECT_TRUE(contents().contains("textwidth=\r\n")) << contents().toStdString();
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "200"), "");  // present, empty: not the default
  EXPECT_EQ(Module2::ReadINI("Form12", "textheight", "0"), "240");
}

TEST_F(SettingsFile, LongValueReadsBackCutTo254Characters) {
  const QString value(300, QChar('x'));
  Module2::WriteINI("Form12", "textwidth", value);
  const QString back = Module2::ReadINI("Form12", "textwidth", "");
  EXPECT_EQ(back.size(), 254);
  EXPECT_EQ(back, value.left(254));
}

TEST_F(SettingsFile, SectionsAndKeysMatchRegardlessOfCaseAndRewritesKeepOtherLines) {
  QFile f(dir.path() + "/setting.ini");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("; comment\r\n[Frmsetting]\r\ntextleft=5\r\n\r\n[FORM12]\r\nTextWidth = 410 \r\n");
  f.close();
  EXPECT_EQ(Module2::ReadINI("form12", "textwidth", "0"), "410");
  Module2::WriteINI("Form12", "textheight", "99");
  Module2::WriteINI("frmsetting", "TEXTLEFT", "6");
  EXPECT_EQ(Module2::ReadINI("Form12", "textheight", "0"), "99");
  EXPECT_EQ(Module2::ReadINI("Form12", "textwidth", "0"), "410");
  EXPECT_EQ(Module2::ReadINI("Frmsetting", "textleft", "0"), "6");
  EXPECT_TRUE(contents().startsWith("; comment\r\n[Frmsetting]\r\n"));
  EXPECT_EQ(contents().count("textleft", Qt::CaseInsensitive), 1);
}

TEST(MemberRecord, StartsEmptyAndKeepsItsOwnCopies) {
  mahasiswa m;
  EXPECT_TRUE(m.nis().isEmpty());
  EXPECT_TRUE(m.alamat().isEmpty());
  EXPECT_TRUE(m.kelas().isEmpty());
  QString s = "12/3";
  m.setNis(s);
  m.setAlamat("Jl. Melati 3");
  s[0] = 'X';
  s += "9";
  EXPECT_EQ(m.nis(), "12/3");
  QString got = m.nis();
  got[0] = 'Y';
  EXPECT_EQ(m.nis(), "12/3");
  EXPECT_EQ(m.alamat(), "Jl. Melati 3");
}

}  // namespace
