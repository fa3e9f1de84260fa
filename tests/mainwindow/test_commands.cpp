// The main window's commands: photo, entry window, deletes, task windows, and the wiring
// of its buttons, menu and lists, driven through the real widgets.
#include <QDir>
#include <QFile>
#include <QTest>

#include "Frmbackup.h"
#include "Frmimport.h"
#include "Frmrestore.h"
#include "Form4.h"
#include "Module3.h"
#include "cardreport.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "frmkelas.h"
#include "frmsetting.h"
#include "mainwindow_fixture.h"

using namespace testsupport;

namespace {

class Commands : public MainWindowTest {
 protected:
  int members(const QString& where = "1=1") {
    ado::Recordset rs;
    rs.Open("select count(*) as n from tblanggota where " + where, pf.db());
    return rs.field("n").toInt();
  }
  // The main window on screen, as the user has it.
  void startShown() {
    start();
    w->show();
    QCoreApplication::processEvents();
  }
  static void click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }
};

TEST_F(Commands, DeleteTickedRemovesExactlyThoseRowsAfterTheQuestion) {
  for (const char* n : {"Ani", "Budi", "Citra", "Dewi", "Eko"}) pf.addMember(QString(n).left(1), n);
  start();
  w->Lv1->setChecked(1, true);
  w->Lv1->setChecked(3, true);
  w->Lv1->setChecked(5, true);
  w->Lv1->setCurrentIndex1(2);

  dialogs.expectMsgBox(ui::vbNo);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Apakah Anda Yakin Menghapus 3  data? ");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Konfirmasi");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbYesNo);
  EXPECT_EQ(w->Lv1->count(), 5);
  EXPECT_EQ(members(), 5);

  dialogs.expectMsgBox(ui::vbYes);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Telah dihapus");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Hapus");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Budi", "Dewi"}));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"2", "4"}));  // the others keep their numbers
  EXPECT_EQ(w->Label1->text(), "5");                      // the count is not rewritten
  EXPECT_EQ(members(), 2);
  EXPECT_EQ(members("nama in ('Budi', 'Dewi')"), 2);
}

TEST_F(Commands, SelectAllThenHapusDeletesEveryListedMember) {
  for (const char* n : {"Ani", "Budi", "Citra"}) pf.addMember(QString(n).left(1), n);
  startShown();
  click(w->Check1);
  ASSERT_TRUE(w->Lv1->checked(3));
  dialogs.expectMsgBox(ui::vbYes);
  click(w->Command5);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Apakah Anda Yakin Menghapus 3  data? ", "Telah dihapus"}));
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(members(), 0);
}

TEST_F(Commands, DeleteTickedWithNothingTickedOrNoCurrentRow) {
  pf.addMember("1", "Ani");
  pf.addMember("2", "Budi");
  start();
  w->Lv1->setCurrentIndex1(0);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
  w->Lv1->setCurrentIndex1(1);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Silakan pilih / ceklist data yang ingin dihapus");
  EXPECT_EQ(members(), 2);
}

TEST_F(Commands, FailedDeleteOfTickedRowsDeletesNoneAndSaysWhy) {
  struct Case {
    const char* what;
    std::function<void(Frmcari*, ProgramFolder&)> arrange;
    const char* message;
  };
  const Case cases[] = {
      // Not an id: refused, never put in a statement; the member before it stays too.
      {"not an id", [](Frmcari* w, ProgramFolder&) { w->Lv1->setSubItem(1, 9, "2 or 1=1"); },
       "Data gagal dihapus: Type mismatch"},
      {"locked", [](Frmcari*, ProgramFolder& p) { p.db().Execute("BEGIN EXCLUSIVE"); },
       "Data gagal dihapus: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder p;
    for (const char* n : {"Ani", "Budi", "Citra"}) p.addMember(QString(n).left(1), n);
    start();
    for (int i = 1; i <= 3; ++i) w->Lv1->setChecked(i, true);
    w->Lv1->setCurrentIndex1(1);
    c.arrange(w, p);
    dialogs.expectMsgBox(ui::vbYes);
    w->Command5->click();
    // Our words, then the reason (the engine's own, for a lock).
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().title, "Hapus");
    EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi", "Citra"}));
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(w->Lv1->checked(i));
    p.closeDb();  // ends the lock
    ado::Recordset rs;
    rs.Open("select * from tblanggota", p.db());
    EXPECT_EQ(rs.RecordCount(), 3);
    closeAll();
  }
}

TEST_F(Commands, DeleteAllEmptiesTableAndPhotoFilesButKeepsSubFolders) {
  pf.addMember("1", "Ani");
  pf.addMember("2", "Budi");
  pf.writePhoto("photos/1.jpg", Qt::red);
  pf.writePhoto("photos/2.jpg", Qt::red);
  QFile::setPermissions(pf.path("photos/2.jpg"), QFile::ReadOwner);
  QDir().mkpath(pf.path("photos/arsip"));
  pf.writePhoto("photos/arsip/lama.jpg", Qt::red);
  start();

  dialogs.expectMsgBox(ui::vbNo);
  w->PushButton8_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Yakin anda ingin menghapus semua Record ?");
  EXPECT_EQ(dialogs.lastMsgBox().title, "hapus");
  EXPECT_EQ(members(), 2);
  EXPECT_TRUE(QFile::exists(pf.path("photos/1.jpg")));

  dialogs.expectMsgBox(ui::vbYes);
  w->PushButton8_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Semua Record Telah berhasil dihapus");
  EXPECT_EQ(members(), 0);
  EXPECT_TRUE(QDir(pf.path("photos")).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(QFile::exists(pf.path("photos/arsip/lama.jpg")));
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
}

TEST_F(Commands, DeleteAllKeepsPhotosWhenTheRowsCannotBeDeleted) {
  pf.addMember("1", "Ani");
  pf.writePhoto("photos/1.jpg", Qt::red);
  start();
  Module1::Conn->Execute("create trigger keep before delete on tblanggota begin select raise(abort, 'locked'); end");
  dialogs.expectMsgBox(ui::vbYes);
  w->PushButton8_Click();
  EXPECT_NE(dialogs.lastMsgBox().prompt, "Semua Record Telah berhasil dihapus");
  EXPECT_EQ(members(), 1);
  EXPECT_TRUE(QFile::exists(pf.path("photos/1.jpg")));
}

TEST(FolderEmptying, RemovesFilesAndLinksWithoutFollowingThemAndKeepsSubFolders) {
  QTemporaryDir d, outside;
  EXPECT_FALSE(Module3::HapusIsiFolder(d.path() + "/none"));
  const QString target = outside.filePath("milik.jpg");
  QFile(target).open(QIODevice::WriteOnly);
  QFile::setPermissions(target, QFile::ReadOwner);
  QDir(outside.path()).mkdir("isi");
  QFile(outside.filePath("isi/tetap.jpg")).open(QIODevice::WriteOnly);
  QDir(d.path()).mkdir("sub");
  QFile(d.path() + "/a.jpg").open(QIODevice::WriteOnly);
  QFile(d.path() + "/.hidden").open(QIODevice::WriteOnly);
  QFile::setPermissions(d.path() + "/a.jpg", QFile::ReadOwner);
  QFile::link(target, d.path() + "/link.jpg");
  QFile::link(outside.filePath("isi"), d.path() + "/folderlink");
  QFile::link(outside.filePath("gone"), d.path() + "/dangling");
  EXPECT_TRUE(Module3::HapusIsiFolder(d.path()));
  EXPECT_EQ(QDir(d.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList({"sub"}));
  EXPECT_FALSE(QFile::permissions(target) & QFile::WriteOwner);  // the link's target is untouched
  EXPECT_TRUE(QFile::exists(outside.filePath("isi/tetap.jpg")));
}

TEST_F(Commands, SaveFotoNeedsAMemberAndWritesUnderTheSlashRule) {
  pf.addMember("12/3", "Ani");
  start();
  w->Command3_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "silakan Pilih salah satu siswa");
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());

  clickRow(1);
  pf.writePhoto("baru.JPG", Qt::yellow, QSize(45, 60));
  dialogs.queueFile(pf.path("baru.JPG"));
  w->cmdfoto_Click();
  EXPECT_EQ(w->Image2->picture().width(), 45);
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::File).back().file.filter, "jpeg file (*.jpg)|*.jpg");

  dialogs.queueFileCancel();  // a cancelled choice changes nothing
  w->cmdfoto_Click();
  EXPECT_EQ(w->Image2->picture().width(), 45);
  EXPECT_TRUE(dialogs.msgBoxes().size() == 1);

  w->Command3_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Foto berhasil di simpan");
  EXPECT_EQ(photobox::PhotoBoxGlobal::LoadPictureFile(pf.path("photos/12-3.jpg")).width(), 45);

  // "12-3" names the same file: saving its photo would overwrite the photo of "12/3".
  pf.addMember("12-3", "Budi");
  QFile stored(pf.path("photos/12-3.jpg"));
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  const QByteArray before = stored.readAll();
  stored.close();
  w->Text2->setText("12-3");
  w->Command3_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt,
            "Foto tidak disimpan: file foto 12-3.jpg sudah dipakai anggota dengan NIS 12/3.");
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  EXPECT_EQ(stored.readAll(), before);
}

TEST_F(Commands, UbahFillsTheEntryWindowFromTheCurrentRow) {
  start();
  w->PushButton11_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data masih kosong");
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
  closeAll();

  pf.addMember("9/1", "Ani", "X-1", "QR-9");
  pf.addMember("9/2", "Budi");
  pf.writePhoto("photos/9-1.jpg", Qt::blue, QSize(21, 28));
  start();
  w->Lv1->setCurrentIndex1(0);  // rows but none current: nothing opens
  w->PushButton11_Click();
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
  EXPECT_EQ(dialogs.msgBoxes().size(), 1u);

  clickRow(1);
  w->Lv1_DblClick();
  auto* f = forms::get<frmAggota>();
  EXPECT_TRUE(f->isVisible());
  EXPECT_EQ(QStringList({f->TextNis->text(), f->TextNISN->text(), f->TextNama->text(), f->TextTTL->text(),
                         f->Textagama->text(), f->Textkelamin->text(), f->TextAlamat->text(),
                         f->CmbKelas->currentText(), f->Textid->text()}),
            row(w->Lv1, 1).mid(1));
  EXPECT_FALSE(f->TextNis->isEnabled());
  EXPECT_EQ(f->Image1->picture().width(), 21);
}

// Every fill leaves its first row current, so "Ubah" opens that member straight away.
TEST_F(Commands, AfterEveryFillUbahOpensTheFirstRow) {
  pf.addKelas("X-1");
  pf.addKelas("XI-2");
  pf.addMember("1", "Citra", "X-1");
  pf.addMember("2", "Ani", "X-1");
  pf.addMember("3", "Budi", "XI-2");
  startShown();
  struct Fill {
    const char* what;
    std::function<void()> run;
    const char* firstNis;
  };
  const Fill fills[] = {
      {"load", [] {}, "2"},
      {"typed search", [&] { QTest::keyClicks(w->Text1, "i"); }, "1"},
      {"Refresh", [&] { click(w->cmdbersih); }, "1"},
      {"class filter X-1", [&] { QTest::keyClick(w->CmbKelas, Qt::Key_Down); }, "2"},
      {"class filter XI-2", [&] { QTest::keyClick(w->CmbKelas, Qt::Key_Down); }, "3"},
      {"Cari", [&] { click(w->Command1); }, "3"},
  };
  for (const Fill& fill : fills) {
    SCOPED_TRACE(fill.what);
    fill.run();
    click(w->PushButton11);
    ASSERT_TRUE(forms::isLoaded<frmAggota>());
    EXPECT_EQ(forms::get<frmAggota>()->TextNis->text(), fill.firstNis);
  }
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Commands, TambahDataAfterUbahOpensAClearedWindowAndAddsANewMember) {
  pf.addMember("1", "Ani", "X-1");
  startShown();
  click(w->PushButton11);
  auto* f = forms::get<frmAggota>();
  ASSERT_EQ(f->TextNama->text(), "Ani");
  pf.addMember("2", "Budi");  // the list is refilled at once
  click(w->Command4);
  EXPECT_TRUE(f->isVisible());
  EXPECT_TRUE(f->TextNis->isEnabled());
  EXPECT_EQ(f->Textid->text(), "0");
  EXPECT_TRUE(f->TextNis->text().isEmpty() && f->TextNama->text().isEmpty() && f->CmbKelas->currentText().isEmpty());
  EXPECT_FALSE(f->Cmdcetak->isEnabled());
  EXPECT_EQ(w->Lv1->count(), 2);

  QTest::keyClicks(f->TextNis, "3");
  QTest::keyClicks(f->TextNISN, "0033");
  QTest::keyClicks(f->TextNama, "Citra");
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(members(), 3);
  EXPECT_EQ(members("nis = '1' and nama = 'Ani' and kelas = 'X-1'"), 1);
}

// A window that is already open comes to the front again, also out of its minimised state.
TEST_F(Commands, WindowsOpenedFromTheMainWindowComeToTheFront) {
  pf.addMember("1", "Ani");
  startShown();
  struct Case {
    QWidget* button;
    std::function<QWidget*()> window;
  };
  const Case cases[] = {{w->Command4, [] { return forms::get<frmAggota>(); }},
                        {w->PushButton6, [] { return forms::get<frmAggota>(); }},
                        {w->PushButton11, [] { return forms::get<frmAggota>(); }},
                        {w->Command2, [] { return forms::get<frmWebcame>(); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->objectName().toStdString());
    click(c.button);
    QWidget* shown = c.window();
    for (bool minimised : {false, true}) {
      if (minimised) shown->showMinimized();
      w->activateWindow();
      QCoreApplication::processEvents();
      ASSERT_EQ(QApplication::activeWindow(), w);
      click(c.button);
      QCoreApplication::processEvents();
      EXPECT_EQ(QApplication::activeWindow(), shown);
      EXPECT_FALSE(shown->isMinimized());
    }
  }
}

// At its smallest the window shows every control whole, and the ones the resize rule moves
// stay clear of each other.
TEST_F(Commands, MinimumSizeKeepsEveryControlWholeAndApart) {
  pf.addMember("1", "Ani");
  startShown();
  w->resize(1, 1);  // the user shrinks the window as far as it goes
  QCoreApplication::processEvents();
  ASSERT_EQ(w->size(), w->minimumSize());

  auto rectOf = [&](const char* name) {
    auto* c = w->findChild<QWidget*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c ? QRect(c->mapTo(w, QPoint(0, 0)), c->size()) : QRect();
  };
  for (QWidget* c : w->findChildren<QWidget*>()) {
    const QString name = c->objectName();
    const bool container = !c->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
    if (name.isEmpty() || name.startsWith("qt_") || !c->isVisibleTo(w) || container) continue;
    // Whole inside every frame around it, up to the window.
    for (QWidget* frame = c->parentWidget(); frame != w->parentWidget(); frame = frame->parentWidget())
      EXPECT_TRUE(frame->rect().contains(QRect(c->mapTo(frame, QPoint(0, 0)), c->size())))
          << name.toStdString() << " cut off by " << frame->objectName().toStdString();
  }
  const std::pair<const char*, const char*> apart[] = {
      {"Label4", "Command1"},   {"Label4", "cmdbersih"},   {"Label4", "Label2"},   {"Label1", "Label2"},
      {"Label1", "cmdbersih"},  {"PushButton4", "Frame1"}, {"Lv1", "Frame3"},      {"Check1", "Frame3"},
      {"Lv1", "Frame2"},        {"cmdfoto", "Frame2"},     {"Command2", "Frame2"}, {"Command3", "Frame2"},
      {"Frame2", "StatusBar2"}, {"Lv1", "StatusBar2"}};
  for (const auto& [a, b] : apart) EXPECT_FALSE(rectOf(a).intersects(rectOf(b))) << a << " overlaps " << b;
}

// The print menu's items reach their handlers through the menu itself, opened by "Cetak
// Kartu" and worked with the keyboard.
TEST_F(Commands, PrintMenuItemsRunTheirCommands) {
  pf.addMember("1", "Ani");
  pf.db().Execute("update tblsetting set barcode = 'Code 128'");
  std::vector<report::Job> jobs;
  report::setRunHook([&](const report::Job& j) { jobs.push_back(j); });
  startShown();
  w->Lv1->setChecked(1, true);
  struct Item {
    std::vector<Qt::Key> keys;
    const char* templateFile;
  };
  const Item items[] = {{{Qt::Key_Down, Qt::Key_Return}, "temp/01.rep"},
                        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Return}, "temp/03.rep"},
                        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return}, "temp/05.rep"}};
  for (const Item& item : items) {
    SCOPED_TRACE(item.templateFile);
    click(w->Command6);
    ASSERT_EQ(QApplication::activePopupWidget(), w->m_Cetak);
    for (Qt::Key k : item.keys) QTest::keyClick(QApplication::activePopupWidget(), k);
    ASSERT_FALSE(jobs.empty());
    EXPECT_EQ(jobs.back().templateFile, pf.path(item.templateFile));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  }
  EXPECT_EQ(jobs.size(), 3u);
  report::setRunHook(nullptr);
}

// From the main window to the class master: a click on a class puts it in the name field.
TEST_F(Commands, ClassListClickFillsTheClassName) {
  pf.addKelas("X-1");
  pf.addKelas("XI-2");
  startShown();
  click(w->PushButton6);
  QString typed;
  ScopedModalHook modal([&](QWidget* window, QWidget*) {
    auto* k = static_cast<frmkelas*>(window);
    QTest::mouseClick(k->Lv1->viewport(), Qt::LeftButton, {},
                      k->Lv1->visualRect(k->Lv1->model()->index(1, 0)).center());
    typed = k->Text1->text();
  });
  click(forms::get<frmAggota>()->Command2);
  ASSERT_TRUE(modal.shown<frmkelas>());
  EXPECT_EQ(typed, "XI-2");
}

TEST_F(Commands, WebcamPhotoForTheMainWindowGoesToItsPhoto) {
  start();
  w->Command2_Click();
  auto* cam = forms::get<frmWebcame>();
  EXPECT_EQ(cam->Caption(), "Cari");
  QImage crop(50, 70, QImage::Format_RGB32);
  crop.fill(Qt::magenta);
  cam->serahkanFoto(crop);
  EXPECT_EQ(w->Image2->picture().width(), 50);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
}

TEST_F(Commands, TaskWindowsOpenModallyAndOnlyImportAndRestoreRefill) {
  pf.addMember("1", "Ani");
  start();
  ScopedModalHook modal([&](QWidget*, QWidget* owner) {
    EXPECT_EQ(owner, w);
    pf.addMember(QString::number(100 + w->Lv1->count()), "Zaki");  // a change the window made
  });
  struct Case {
    QToolButton* button;
    const char* cls;
    bool refills;
  };
  const Case cases[] = {{w->PushButton1, "Frmimport", true},   {w->PushButton5, "Form4", false},
                        {w->PushButton7, "frmsetting", false}, {w->PushButton2, "Frmbackup", false},
                        {w->PushButton3, "Frmrestore", true},  {w->PushButton4, "Frmtentang", false}};
  for (const Case& c : cases) {
    const int before = w->Lv1->count();
    c.button->click();
    EXPECT_EQ(modal.calls.back().className, c.cls);
    EXPECT_EQ(w->Lv1->count(), c.refills ? members() : before) << c.cls;
  }
}

TEST_F(Commands, UserGuideAndWebSiteOpenWithTheSystemHandler) {
  start();
  w->bukaPanduan();  // no guide in the program folder
  EXPECT_EQ(dialogs.lastMsgBox().prompt,
            "Terjadi kesalahan saat memuat file bantuan, pastikan pc anda telah terinstall Adobe Reader / PDF Reader");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  QFile(pf.path("panduan.pdf")).open(QIODevice::WriteOnly);
  dialogs.clear();
  w->bukaPanduan();
  w->bukaWeb();
  const auto opened = dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].prompt, pf.path("panduan.pdf"));
  EXPECT_TRUE(opened[1].prompt.startsWith("https://"));
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Commands, RowStripesPaintOneBandPerRow) {
  for (const char* n : {"Ani", "Budi", "Citra"}) pf.addMember(n, n);
  startShown();
  w->warnaBaris(*w->Lv1);
  const QImage bands = w->Lv1->backgroundPicture();
  const int h = bands.height() / 3;
  ASSERT_GT(h, 0);
  EXPECT_EQ(bands.width(), w->Lv1->width());
  EXPECT_EQ(bands.pixelColor(5, h / 2), QColor(200, 225, 225));
  EXPECT_EQ(bands.pixelColor(bands.width() - 1, h + h / 2), QColor(225, 225, 200));
  EXPECT_EQ(bands.pixelColor(5, 2 * h + h / 2), QColor(200, 225, 225));
}

}  // namespace
