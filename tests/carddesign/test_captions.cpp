// The field-caption window: live mirroring into the settings preview, save and the main
// list's columns, the one truth rule of the show flags.
#include "Frmcari.h"
#include "carddesign_fixture.h"
#include "frmlabel.h"

using namespace testsupport;

namespace {

class Captions : public CardDesignTest {
 protected:
  frmlabel* openLabels() {
    l = forms::get<frmlabel>();
    l->show();
    s = forms::get<frmsetting>();
    return l;
  }
  frmlabel* l = nullptr;
};

TEST_F(Captions, TouchingTheWindowLoadsTheSettingsHiddenAndReadsFlagsByOneRule) {
  pf.db().Execute(
      "update tlabel set [check21(0)] = -1, [check21(1)] = NULL, [check21(2)] = 0, [check21(3)] = 2, "
      "[check21(4)] = 'True', [Label21(5)] = NULL where idlabel = '2'");
  const QString first = forms::get<frmlabel>()->label21[0]->text();
  EXPECT_EQ(first, "NIS");
  ASSERT_TRUE(forms::isLoaded<frmsetting>());
  s = forms::get<frmsetting>();
  EXPECT_FALSE(s->isVisible());
  l = forms::get<frmlabel>();
  const bool shown[7] = {true, false, false, true, true, true, true};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(l->Check21[i]->isChecked(), shown[i]) << i;
    EXPECT_EQ(s->Label8[i]->isVisibleTo(s->picture1), shown[i]) << i;
  }
  EXPECT_EQ(l->label21[5]->text(), "");
  EXPECT_EQ(s->Label15[5]->text(), ": ");
  EXPECT_FALSE(l->label21[6]->isVisibleTo(l));
}

TEST_F(Captions, EditsShowAtOnceInThePreviewAndTutupStoresNothing) {
  const QVariantList stored = row("tlabel", "idlabel");
  openLabels();
  l->label21[2]->selectAll();
  QTest::keyClicks(l->label21[2], "Nama Lengkap");
  EXPECT_EQ(s->Label8[2]->text(), "Nama Lengkap");
  EXPECT_EQ(s->Label15[2]->text(), ": Nama Lengkap");
  l->label21[3]->selectAll();
  QTest::keyClick(l->label21[3], Qt::Key_Delete);
  EXPECT_EQ(s->Label8[3]->text(), "");
  EXPECT_EQ(s->Label15[3]->text(), ": ");
  click(l->Check21[4]);
  EXPECT_FALSE(s->Label8[4]->isVisibleTo(s->picture1));
  EXPECT_FALSE(s->Label15[4]->isVisibleTo(s->picture1));
  click(l->Check21[4]);
  EXPECT_TRUE(s->Label15[4]->isVisibleTo(s->picture1));
  click(l->Command2);
  EXPECT_FALSE(forms::isLoaded<frmlabel>());
  EXPECT_EQ(row("tlabel", "idlabel"), stored);
  EXPECT_EQ(s->Label8[2]->text(), "Nama Lengkap");
}

TEST_F(Captions, SettingsButtonOpensItAndSaveRebuildsTheMainListColumns) {
  Frmcari* main = forms::get<Frmcari>();
  const QString hint = main->Label2->text();
  open();
  ScopedModalHook modal([&](QWidget* w, QWidget* owner) {
    EXPECT_EQ(owner, s);
    auto* win = static_cast<frmlabel*>(w);
    win->label21[0]->selectAll();
    QTest::keyClicks(win->label21[0], "Nomor Induk");
    click(win->Check21[1]);
    click(win->Command1);
  });
  click(s->Command13);
  ASSERT_EQ(modal.count(), 1);
  EXPECT_EQ(modal.calls[0].className, "frmlabel");
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Data tersimpan"});
  EXPECT_EQ(s->Label8[0]->text(), "Nomor Induk");
  const QStringList headers{"No",    "Nomor Induk",   "NISN",    "Nama",  "Tempat, Tgl. Lahir",
                            "Agama", "Jenis Kelamin", "Barcode", "Kelas", "ID"};
  ASSERT_EQ(main->Lv1->columnCount(), 10);
  for (int c = 1; c <= 10; ++c) EXPECT_EQ(main->Lv1->columnText(c), headers[c - 1]) << c;
  EXPECT_EQ(main->Label5->text(), "Nomor Induk");
  EXPECT_GT(main->Lv1->columnWidthTwips(10), 0);
  EXPECT_EQ(main->Label2->text(), hint);  // the hidden list and the search hint wait for the next start
  EXPECT_EQ(main->Lv2->columnText(2), "NIS");
  const QVariantList stored = row("tlabel", "idlabel");
  EXPECT_EQ(stored[column("tlabel", "Label21(0)")].toString(), "Nomor Induk");
  EXPECT_EQ(stored[column("tlabel", "check21(1)")], false);
}

TEST_F(Captions, ASaveThatCannotReadTheCaptionsLeavesTheListWhole) {
  Frmcari* main = forms::get<Frmcari>();
  openLabels();
  pf.db().Execute("delete from tlabel");
  click(l->Command1);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Terjadi kesalahan saat simpan, silakan hubungu admin"});
  ASSERT_EQ(main->Lv1->columnCount(), 10);
  EXPECT_EQ(main->Lv1->columnText(2), "NIS");
  EXPECT_EQ(main->Label5->text(), "NIS");
}

}  // namespace
