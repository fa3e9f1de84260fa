// Photo import: which files reach the photo folder, and the messages on a bad folder.
#include <QDir>
#include <QTemporaryDir>

#include "Form4.h"
#include "mainwindow_fixture.h"
#include "photo_files.h"

using namespace testsupport;

namespace {

class PhotoImport : public MainWindowTest {
 protected:
  // Opens the window from the main window's button and runs `act` on it.
  void withWindow(const std::function<void(Form4*)>& act) {
    start();
    ScopedModalHook modal([&](QWidget* win, QWidget*) { act(static_cast<Form4*>(win)); });
    w->PushButton5->click();
    ASSERT_TRUE(modal.shown<Form4>());
  }
  QTemporaryDir src;
};

TEST_F(PhotoImport, CopiesJpgFilesOfAnyCaseAndReplacesExistingOnes) {
  for (const char* name : {"a.jpg", "B.JPG", "c.Jpg.bak", "d.png", "e.jpeg", "sub/f.jpg", "g.jpg/h.txt"}) {
    QDir(src.path()).mkpath(QFileInfo(src.filePath(name)).path());
    writeFile(src.filePath(name), QByteArray("new ") + name);
  }
  writeFile(pf.path("photos/a.jpg"), "old");
  writeFile(pf.path("photos/keep.jpg"), "kept");
  withWindow([&](Form4* f) {
    EXPECT_EQ(f->Label3->text(),
              "Catatatan : Nama File foto harus sama dengan N I S masing-masing siswa dan berformat *.jpg.");
    dialogs.queueFolder(src.path());
    f->cmdopen->click();
    EXPECT_EQ(f->Text1->text(), src.path());
    f->cmdimport->click();
  });
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Photo telah diimport"});
  EXPECT_EQ(dialogs.lastMsgBox().title, "NISN");
  EXPECT_EQ(QDir(pf.path("photos")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"a.jpg", "B.jpg", "c.Jpg.bak", "keep.jpg"}));
  EXPECT_EQ(readFile(pf.path("photos/a.jpg")), "new a.jpg");
  EXPECT_EQ(readFile(pf.path("photos/keep.jpg")), "kept");
}

TEST_F(PhotoImport, BadFoldersAreNamed) {
  writeFile(src.filePath("note.txt"), "x");
  const QString missing = src.filePath("nope");
  struct Case {
    QString typed;
    bool removePhotos;
    QString message;
    int icon;
  };
  const Case cases[] = {
      {"", false, "pilih folder terlebih dahulu", ui::vbExclamation},
      {missing, false, missing + "/ folder tidak ditemukan", ui::vbExclamation},
      {missing + "/", false, missing + "/ folder tidak ditemukan", ui::vbExclamation},
      {src.path(), false, "Tidak ditemukan file berformat *.jpg di folder tersebut! ", ui::vbExclamation},
      {src.path(), true, pf.path("photos/") + "tidak ditemukan", ui::vbCritical},
  };
  withWindow([&](Form4* f) {
    for (const Case& c : cases) {
      if (c.removePhotos) QDir(pf.path("photos")).removeRecursively();
      f->Text1->setText(c.typed);
      f->cmdimport->click();
      EXPECT_EQ(dialogs.lastMsgBox().prompt, c.message);
      EXPECT_EQ(dialogs.lastMsgBox().flags, c.icon) << c.message.toStdString();
    }
  });
  EXPECT_EQ(dialogs.msgBoxes().size(), std::size(cases));
}

}  // namespace
