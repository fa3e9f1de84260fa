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

TEST_F(PhotoImport, CopiesJpgFilesUnderTheirMembersPhotoNamesAndNeverOverAnotherOne) {
  for (const char* nis : {"A/9", "Ab7", "aB7", "k5"}) pf.addMember(nis, nis);
  const struct {
    const char* file;
    const char* storedAs;  // nullptr: not copied
  } cases[] = {
      {"a.jpg", "a.jpg"},  // nobody's: replaces the old one of that name
      {"B.JPG", "B.jpg"},     {"c.Jpg.bak", "c.Jpg.bak"}, {"d.png", nullptr},
      {"e.jpeg", nullptr},    {"sub/f.jpg", nullptr},     {"g.jpg/h.txt", nullptr},
      {"a-9.JPG", "A-9.jpg"},  // member A/9, whatever the case of the letters
      {"ab7.jpg", nullptr},   {"aB7.jpg", "aB7.jpg"},  // Ab7's or aB7's: only the exact name is sure
      {"K5.JPG", nullptr},    {"k5.jpg", "k5.jpg"},    // two files for one photo: the exact name wins
  };
  QStringList expected{"Ab7.jpg", "keep.jpg"};
  for (const auto& c : cases) {
    QDir(src.path()).mkpath(QFileInfo(src.filePath(c.file)).path());
    writeFile(src.filePath(c.file), QByteArray("new ") + c.file);
    if (c.storedAs) expected << c.storedAs;
  }
  for (const char* old : {"a.jpg", "A-9.jpg", "Ab7.jpg", "keep.jpg"}) writeFile(pf.path("photos/") + old, old);
  withWindow([&](Form4* f) {
    EXPECT_EQ(f->Label3->text(),
              "Catatatan : Nama File foto harus sama dengan N I S masing-masing siswa dan berformat *.jpg.");
    dialogs.queueFolder(src.path());
    f->cmdopen->click();
    EXPECT_EQ(f->Text1->text(), src.path());
    f->cmdimport->click();
  });
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Photo telah diimport\n6 foto disalin, 2 dilewati.\nDilewati karena "
                                               "ganda atau tidak jelas milik siswa yang mana: K5.JPG, ab7.jpg"});
  EXPECT_EQ(dialogs.lastMsgBox().title, "NISN");
  expected.sort();
  EXPECT_EQ(QDir(pf.path("photos")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            expected);
  for (const auto& c : cases)
    if (c.storedAs) EXPECT_EQ(readFile(pf.path("photos/") + c.storedAs), QByteArray("new ") + c.file);
  EXPECT_EQ(readFile(pf.path("photos/Ab7.jpg")), "Ab7.jpg");
  EXPECT_EQ(readFile(pf.path("photos/keep.jpg")), "keep.jpg");
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
