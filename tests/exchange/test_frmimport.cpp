// The Excel import window: the preview of workbooks written by openpyxl and by our writer,
// the import into the register and back from an export, the template, and the
// de-duplication.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Frmimport.h"
#include "mainwindow_fixture.h"
#include "workbook.h"
#include "xlsxwrite.h"

using namespace testsupport;

namespace {

class ExcelImport : public MainWindowTest {
 protected:
  // Rows as a JSON array of arrays (null leaves a cell empty), written by openpyxl.
  QString workbook(const char* name, const char* rowsJson) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3),
            {"-c", "import sys, json, openpyxl\nwb = openpyxl.Workbook()\nfor r in json.loads(sys.argv[2]):\n"
                   "    wb.active.append(r)\nwb.save(sys.argv[1])",
             path, QString::fromUtf8(rowsJson)});
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    return path;
  }
  // Opens the window from the main window's button and runs `act` on it.
  void withWindow(const std::function<void(Frmimport*)>& act) {
    start();
    ScopedModalHook modal([&](QWidget* win, QWidget*) { act(static_cast<Frmimport*>(win)); });
    QTest::mouseClick(w->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(modal.shown<Frmimport>());
  }
  void browse(Frmimport* f, const QString& file) {
    dialogs.queueFile(file);
    QTest::mouseClick(f->cmdCariFileExcel, Qt::LeftButton);
  }
  QStringList rows(const QString& sql) {
    QStringList out;
    ado::Recordset rs;
    rs.Open(sql, pf.db());
    for (; !rs.EOF_(); rs.MoveNext()) {
      QStringList r;
      for (int c = 0; c < rs.fieldCount(); ++c) r << vb::text(rs.field(c));
      out << r.join('|');
    }
    return out;
  }
  QTemporaryDir dir;
};

TEST_F(ExcelImport, PreviewStopsAtTheFirstEmptyNumberAndImportAddsSkipsAndReports) {
  pf.addMember("ab7", "Sudah ada");
  pf.addKelas("x-1");
  const QString file = workbook("siswa.xlsx", R"([["No","NIS","NISN","Nama","TTL","Agama","Kelamin","Barcode","Kelas"],
      [1, "001'x", "0012", "Budi O'Neil", "Bandung", "Islam", "L", "B1", "X-1"],
      ["'2", 12345, 0.1, "Ani", null, null, null, null, "x-2"],
      [0, null, "9", "Tanpa NIS"],
      [" ", "AB7", null, "Nomor terpakai", null, null, null, null, "X-1"],
      [5, "12345", null, "Nomor ganda"],
      [null, "006", null, "Setelah baris kosong"],
      [7, "007", null, "Tidak tampil"]])");
  withWindow([&](Frmimport* f) {
    QStringList heading;
    for (int c = 1; c <= f->lvwList->columnCount(); ++c) heading << f->lvwList->columnText(c);
    EXPECT_EQ(heading.join('|'), "NO|N I S|NISN|Nama|Tempat, Tgl. Lahir|Agama|Jenis Kelamin|Barcode|Kelas");
    browse(f, file);
    EXPECT_EQ(f->Textpath->text(), file);
    QStringList shown;
    for (int i = 1; i <= f->lvwList->count(); ++i) shown << row(f->lvwList, i).mid(0, 9).join('|');
    EXPECT_EQ(shown, QStringList({"1|001`x|0012|Budi O`Neil|Bandung|Islam|L|B1|X-1", "'2|12345|0.1|Ani|||||x-2",
                                  "0||9|Tanpa NIS|||||", " |AB7||Nomor terpakai|||||X-1", "5|12345||Nomor ganda|||||"}));
    QTest::mouseClick(f->cmdImportToAccess, Qt::LeftButton);
  });
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"2 data siswa ditambahkan, 3 dilewati (NIS kosong atau sudah terdaftar)."});
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbInformation);
  EXPECT_EQ(rows("select nis, nisn, nama, ttl, agama, kelamin, barcode, kelas from tblanggota order by id"),
            QStringList({"ab7|00ab7|Sudah ada|Bandung, 1 Mei 2010|Islam|L||",
                         "001'x|0012|Budi O'Neil|Bandung|Islam|L|B1|X-1", "12345|0.1|Ani|||||x-2"}));
  EXPECT_EQ(rows("select kelas from t_kelas order by idkelas"), QStringList({"x-1", "x-2"}));
  // When the window closes the main list is filled again and the filter offers the new class.
  EXPECT_EQ(w->Lv1->count(), 3);
  QTest::keyClick(w->CmbKelas, Qt::Key_End);
  EXPECT_EQ(w->CmbKelas->currentText(), "x-2");
  EXPECT_EQ(column(w->Lv1, 3), QStringList{"Ani"});
}

TEST_F(ExcelImport, BadFilesAndFailedImportsAreNamedAndLeaveTheRegisterAsItWas) {
  QList<QStringList> many{{"No"}};
  for (int r = 1; r <= 32800; ++r) many << QStringList{QString::number(r), QStringLiteral("N%1").arg(r)};
  ASSERT_EQ(excel::writeTextSheet(dir.filePath("many.xlsx"), many), "");
  QFile bad(dir.filePath("rusak.xlsx"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("PK\3\4 rusak") > 0);
  bad.close();
  const QString tooLong = workbook("panjang.xlsx", QStringLiteral(R"([["No"],[1,"A1",null,"Ani"],[2,"A2",null,"%1"]])")
                                                       .arg(QString(300, 'x'))
                                                       .toUtf8()
                                                       .constData());
  const struct {
    QString file;  // "" cancels the dialog
    bool import;
    int listed;
    QString message;
  } cases[] = {
      {"", true, 0, "Belum ada data untuk diimport. Pilih file Excel terlebih dahulu."},
      {dir.filePath("many.xlsx"), false, 32800, ""},
      {bad.fileName(), false, 0,
       "File " + bad.fileName() + " tidak dapat dibaca: File rusak atau bukan workbook Excel yang sah."},
      {tooLong, true, 2, "Import gagal pada baris 3: "},
  };
  withWindow([&](Frmimport* f) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.file.toStdString());
      dialogs.clear();
      if (c.file.isEmpty()) dialogs.queueFileCancel();
      else dialogs.queueFile(c.file);
      QTest::mouseClick(f->cmdCariFileExcel, Qt::LeftButton);
      if (c.import) QTest::mouseClick(f->cmdImportToAccess, Qt::LeftButton);
      EXPECT_EQ(f->lvwList->count(), c.listed);
      EXPECT_EQ(dialogs.msgBoxes().empty() ? QString() : dialogs.lastMsgBox().prompt.left(c.message.size()), c.message);
    }
  });
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.endsWith("Tidak ada data yang disimpan."));
  EXPECT_EQ(rows("select count(*) from tblanggota"), QStringList{"0"});
}

TEST_F(ExcelImport, ExportedListImportsBackUnchangedAndIsFoundByItsOwnText) {
  pf.addMember("0007", "Siti Nur'aini", "X'1", "0042", "000123");
  pf.addMember("A/9", "Ra`hman \"50%_x\" Zoë 中文", "Kelas Ä", "=1+1", "0099");
  pf.db().Execute("update tblanggota set ttl = 'Jakarta, 1 ''Mei'' 2010', agama = nama");
  const char* const stored = "select nis, nisn, nama, ttl, agama, kelamin, barcode, kelas from tblanggota order by nis";
  const QStringList before = rows(stored);
  start();
  dialogs.queueFile(dir.filePath("ekspor.xlsx"));
  w->Export->click();
  pf.db().Execute("delete from tblanggota");
  withWindow([&](Frmimport* f) {
    browse(f, dir.filePath("ekspor.xlsx"));
    // The preview shows the quote as before.
    EXPECT_EQ(column(f->lvwList, 3), QStringList({"Ra`hman \"50%_x\" Zoë 中文", "Siti Nur`aini"}));
    QTest::mouseClick(f->cmdImportToAccess, Qt::LeftButton);
  });
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "2 data siswa ditambahkan, 0 dilewati (NIS kosong atau sudah terdaftar).");
  EXPECT_EQ(rows(stored), before);
  QTest::keyClicks(w->Text1, "Nur'ai");
  EXPECT_EQ(column(w->Lv1, 3), QStringList{"Siti Nur'aini"});
}

TEST_F(ExcelImport, TemplateIsSavedWhereTheUserSaysThenNamedAndOpened) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'Nomor Induk', [Label21(5)] = 'L/P'");
  const QString saved = dir.filePath("isian.xlsx");
  withWindow([&](Frmimport* f) {
    dialogs.queueFileCancel();  // writes and says nothing
    QTest::mouseClick(f->Command2, Qt::LeftButton);
    EXPECT_TRUE(QDir(dir.path()).isEmpty() && dialogs.msgBoxes().empty());
    dialogs.queueFile(saved);
    QTest::mouseClick(f->Command2, Qt::LeftButton);
  });
  const auto asked = dialogs.callsOf(ScriptedDialogs::Kind::File);
  EXPECT_TRUE(asked.size() == 2 && asked[1].file.save && asked[1].file.fileName == "Template Import Siswa.xlsx");
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Template disimpan di " + saved});
  const auto opened = dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument);
  EXPECT_TRUE(opened.size() == 1 && opened[0].prompt == saved);
  excel::Workbook book;
  ASSERT_EQ(excel::readWorkbook(QFile::encodeName(saved).toStdString(), &book), "");
  QStringList heading;
  for (const excel::Cell& c : book.firstWorksheet()->cells) heading << QString::fromStdString(c.text);
  EXPECT_EQ(heading.join('|'), "No|Nomor Induk|NISN|Nama|Tempat, Tgl. Lahir|Agama|L/P|Barcode|Kelas");
}

TEST_F(ExcelImport, ClosingTheWindowWhileItsBoxIsUpClosesItOnceTheBoxIsAnswered) {
  const QString bad = dir.filePath("rusak.xlsx");
  QFile junk(bad);
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("bukan workbook") > 0);
  junk.close();
  enum class Close { PressTutup, CloseBox };
  const std::function<void(Frmimport*)> handlers[] = {
      [&](Frmimport* f) { browse(f, bad); },  // "tidak dapat dibaca"
      [&](Frmimport* f) {                      // a template that cannot be written
        dialogs.queueFile(dir.filePath("tidak/ada/template.xlsx"));
        QTest::mouseClick(f->Command2, Qt::LeftButton);
      },
      [&](Frmimport* f) { QTest::mouseClick(f->cmdImportToAccess, Qt::LeftButton); },  // nothing to import
      [&](Frmimport* f) { f->hapusDuplikat(); },
  };
  int round = 0;
  for (const auto& handler : handlers) {
    for (const Close how : {Close::PressTutup, Close::CloseBox}) {
      SCOPED_TRACE(round++);
      QPointer<Frmimport> window;
      bool closeArrived = false, survivedTheBox = false;
      // While the box is up its own event loop runs, and the close reaches the window
      // through it: an accessibility "press" on "Tutup", or the window system's close.
      dialogs.whileMsgBoxUp = [&](const ScriptedDialogs::Call&) {
        dialogs.whileMsgBoxUp = nullptr;
        QEventLoop boxLoop;
        QTimer::singleShot(3000, &boxLoop, &QEventLoop::quit);  // never reached when the close arrives
        if (how == Close::PressTutup) {
          QObject::connect(window->Command1, &QPushButton::clicked, &boxLoop, [&] {
            closeArrived = true;
            QMetaObject::invokeMethod(&boxLoop, &QEventLoop::quit, Qt::QueuedConnection);
          });
          QTimer::singleShot(0, window, [&] {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window->Command1);
            a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
          });
        } else {
          QTimer::singleShot(0, window, [&] {
            QCloseEvent e;
            QCoreApplication::sendEvent(window, &e);
            closeArrived = true;
            QMetaObject::invokeMethod(&boxLoop, &QEventLoop::quit, Qt::QueuedConnection);
          });
        }
        boxLoop.exec();
        survivedTheBox = !window.isNull() && window->isVisible();
      };
      withWindow([&](Frmimport* f) {
        window = f;
        handler(f);
        EXPECT_TRUE(closeArrived);
        EXPECT_TRUE(survivedTheBox);
        EXPECT_FALSE(forms::isLoaded<Frmimport>());  // closed once the handler was done
      });
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      EXPECT_TRUE(window.isNull());
      EXPECT_EQ(dialogs.msgBoxes().size(), 1u);
      dialogs.clear();
    }
  }
}

TEST_F(ExcelImport, TemplateThatNoProgramOpensIsNamedInOneBoxAtOnce) {
  const QString saved = dir.filePath("isian.xlsx");
  dialogs.openDocumentSucceeds = false;
  withWindow([&](Frmimport* f) {
    dialogs.queueFile(saved);
    QTest::mouseClick(f->Command2, Qt::LeftButton);
  });
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument).size(), 1u);  // it was tried, and failed
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Template tersimpan di " + saved + ", tetapi tidak dapat dibuka."});
  // Told before anything else is opened: the box comes right after the failed open.
  EXPECT_EQ(dialogs.calls.back().kind, ScriptedDialogs::Kind::MsgBox);
  EXPECT_TRUE(QFile::exists(saved));
}

TEST_F(ExcelImport, DeDuplicationKeepsTheFirstOfAlikeRowsAndTheTableWholeOnFailure) {
  for (const char* nama : {"Ani", "Budi", "ANI", "Ani"}) pf.addMember("1", nama);
  const QStringList schema = rows("select sql from sqlite_master where tbl_name = 'tblanggota' order by name");
  start();
  Frmimport* f = forms::get<Frmimport>();
  pf.db().Execute("create trigger stop before delete on tblanggota begin select raise(abort, 'ditolak'); end");
  f->hapusDuplikat();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data ganda gagal dihapus; data anggota tidak berubah: ditolak");
  EXPECT_EQ(rows("select id from tblanggota order by id"), QStringList({"1", "2", "3", "4"}));
  pf.db().Execute("drop trigger stop");
  f->hapusDuplikat();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Import Sukses");
  EXPECT_EQ(rows("select id, nama from tblanggota order by id"), QStringList({"1|Ani", "2|Budi"}));
  EXPECT_EQ(rows("select sql from sqlite_master where tbl_name = 'tblanggota' order by name"), schema);
  pf.addMember("2", "Citra");
  EXPECT_EQ(rows("select max(id) from tblanggota"), QStringList{"5"});  // ids are never given again
}

}  // namespace
