// The fixed-chain camera windows over test-pattern cameras, and the filter picker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include "CameraListFile.h"
#include "Form2.h"
#include "FrmCamera.h"
#include "Frmcari.h"
#include "Module1.h"
#include "frmAggota.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

using namespace testsupport;

namespace {

const char* const kCam = "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=320,height=240";
const QString kQuoted = "Cam \"Depan\", 2";

class CameraWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(pf.root());
    camgraph::setCameraProvider([] {
      return std::vector<camgraph::CameraSource>{
          {"Test Cam", kCam}, {kQuoted, kCam}, {"Broken", "videotestsrc ! fakesink"}, {"Broken", kCam}};
    });
    ASSERT_TRUE(Module1::bukaKoneksi());
  }
  void TearDown() override {
    for (QWidget* w : forms::loaded()) forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
    camgraph::setCameraProvider({});
    QDir::setCurrent(previousDir_);
  }
  template <class T = FrmCamera>
  T* open(const QByteArray& settings = {}) {
    if (!settings.isNull()) writeFile("Settings.txt", settings);
    auto* w = forms::get<T>();
    w->show();
    QApplication::setActiveWindow(w);
    return w;
  }
  void writeFile(const QString& rel, const QByteArray& bytes) {
    QFile f(pf.path(rel));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray readFile(const QString& rel) {
    QFile f(pf.path(rel));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static QStringList captions(FrmCamera* w) {
    QStringList out;
    for (QAction* a : w->mnuCamerasChoice) out << a->text();
    return out;
  }
  // "Add new camera..." with `name` picked in the filter picker.
  void addCamera(FrmCamera* w, const QString& name) {
    ScopedModalHook modal([&](QWidget* picker, QWidget*) {
      auto* f = static_cast<Form2*>(picker);
      EXPECT_FALSE(f->cmdOk->isEnabled()) << "the refilled list has no selection";
      const auto found = f->lstFilters->findItems(name, Qt::MatchExactly);
      ASSERT_FALSE(found.isEmpty());
      f->lstFilters->setCurrentItem(found.back());
      QTest::mouseClick(f->cmdOk, Qt::LeftButton);
    });
    w->mnuCamerasAddNew->trigger();
  }
  // A snapshot of the running camera and a crop fixed with the mouse at (x, y) of picSource.
  static void crop(FrmCamera* w, QPoint at = {10, 10}) {
    ASSERT_TRUE(w->cmdSnap->isEnabled());
    QTest::mouseClick(w->cmdSnap, Qt::LeftButton);
    ASSERT_TRUE(w->Selecting());
    QTest::mouseMove(w->picSource, at);
    QTest::mouseClick(w->picSource, Qt::LeftButton, {}, at);
  }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  QString previousDir_;
};

TEST_F(CameraWindow, CameraListFromSettingsFile) {
  QStringList cut{"Cam"};  // a name, then empty ones up to the most a list holds
  while (cut.size() < CameraListFile::kMaxCameras) cut << "";
  const QString list = "Daftar kamera " + pf.path("Settings.txt");
  struct Case {
    const char* what;
    QByteArray file;  // null: no file
    QStringList menu;
    int current;
    QString box;           // the message shown, "" for none
    QByteArray fileAfter;  // null: unchanged
  } cases[] = {
      {"no file", QByteArray(), {"none"}, -1, "", QByteArray()},
      {"index only: 'none' fails", "0\r\n", {"none"}, -1,
       "Selected camera failed, may not be connected:\r\n\r\nnone\r\n\r\nBuildGraph error 0", "-1\r\n\"none\"\r\n"},
      {"index past the list", "5\r\n\"Test Cam\"\r\n", {"Test Cam"}, -1, "", QByteArray()},
      {"second camera runs", "1\r\n\"Broken\"\r\n\"Test Cam\"\r\n", {"Broken", "Test Cam"}, 1, "", QByteArray()},
      {"no pin Capture on the first namesake: the second is used", "0\r\n\"Broken\"\r\n", {"Broken"}, 0, "",
       QByteArray()},
      {"a run of commas: cut", "-1,\"Cam\"" + QByteArray(60000, ','), cut, -1,
       list + " memuat lebih dari 64 kamera; hanya 64 yang pertama dibaca.", QByteArray()},
      {"2 MB of commas: not read, left for removal", QByteArray(2 << 20, ','), {"none"}, -1,
       list + " terlalu besar (lebih dari 64 KB) dan tidak dibaca.", QByteArray()},
  };
  for (const Case& c : cases) {
    QFile::remove(pf.path("Settings.txt"));
    dialogs.clear();
    FrmCamera* w = open(c.file);
    EXPECT_EQ(captions(w), c.menu) << c.what;
    EXPECT_EQ(w->CurrentCamera(), c.current) << c.what;
    EXPECT_EQ(w->cmdSnap->isEnabled(), c.current >= 0) << c.what;
    EXPECT_EQ(w->mnuCamerasChoice[0]->isEnabled(), c.file.contains('"')) << c.what;
    EXPECT_EQ(w->mnuCamerasRemove->isEnabled(), !c.file.isNull()) << c.what;
    EXPECT_EQ(dialogs.msgBoxTexts().join("|"), c.box) << c.what;
    EXPECT_EQ(readFile("Settings.txt"), c.fileAfter.isNull() ? c.file : c.fileAfter) << c.what;
    forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(CameraWindow, AddCameraKeepsQuotedNameAndRefusesRepeats) {
  FrmCamera* w = open();
  addCamera(w, kQuoted);
  ASSERT_EQ(w->CurrentCamera(), 0);
  EXPECT_EQ(readFile("Settings.txt"), "0\r\n\"Cam \"\"Depan\"\", 2\"\r\n");
  addCamera(w, "Test Cam");
  EXPECT_EQ(captions(w), QStringList({kQuoted, "Test Cam"}));
  EXPECT_EQ(w->CurrentCamera(), 1);

  addCamera(w, kQuoted);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Camera:\r\n\r\n" + kQuoted + "\r\n\r\nIs already in the menu.");
  addCamera(w, "udpsrc");  // a filter, but no camera
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("This doesn't seems to be a valid webcam:\r\n\r\nudpsrc"));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbInformation);
  EXPECT_EQ(captions(w).size(), 2);
  EXPECT_TRUE(w->cmdSnap->isEnabled()) << "the previous camera runs again";

  forms::unload(w);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  w = open();
  EXPECT_EQ(captions(w), QStringList({kQuoted, "Test Cam"}));
  EXPECT_EQ(w->CurrentCamera(), 1);
  EXPECT_TRUE(w->mnuCamerasChoice[1]->isChecked());
  w->mnuCamerasChoice[0]->trigger();
  EXPECT_EQ(w->CurrentCamera(), 0);
  EXPECT_TRUE(w->mnuCamerasChoice[0]->isChecked());
  EXPECT_FALSE(w->mnuCamerasChoice[1]->isChecked());

  w->mnuCamerasRemove->trigger();
  EXPECT_FALSE(QFile::exists(pf.path("Settings.txt")));
  EXPECT_EQ(captions(w), QStringList({"none"}));
  EXPECT_FALSE(w->cmdSnap->isEnabled());
  addCamera(w, kQuoted);  // no camera current: item 0 is taken, a repeat is no repeat
  EXPECT_EQ(captions(w), QStringList({kQuoted}));
}

// The window adds no camera past the most the list file keeps: it says so, and the list it
// saves reads back whole at the next load.
TEST_F(CameraWindow, CameraListStopsAtTheMostTheFileKeeps) {
  const int most = CameraListFile::kMaxCameras;
  const struct Case {
    const char* what;
    int listed, current;
    bool added;
  } cases[] = {
      {"one short of the most: added", most - 1, 0, true},
      {"the most: refused", most, 0, false},
      {"the most, none current: item 0 is taken, the list does not grow", most, -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.clear();
    QStringList listed{"Test Cam"};
    while (listed.size() < c.listed) listed << QString("Kamera %1").arg(listed.size());
    QByteArray file = QByteArray::number(c.current) + "\r\n";
    for (const QString& name : listed) file += "\"" + name.toUtf8() + "\"\r\n";
    FrmCamera* w = open(file);
    ASSERT_EQ(captions(w), listed);
    ASSERT_EQ(w->CurrentCamera(), c.current);

    addCamera(w, kQuoted);
    const QStringList menu = captions(w);
    EXPECT_EQ(menu.contains(kQuoted), c.added);
    EXPECT_EQ(menu.size(), c.listed + (c.added && c.current >= 0 ? 1 : 0));
    EXPECT_LE(menu.size(), most);
    if (c.added) {
      EXPECT_TRUE(dialogs.msgBoxTexts().isEmpty()) << dialogs.msgBoxTexts().join("|").toStdString();
    } else {
      ASSERT_EQ(dialogs.msgBoxTexts().size(), 1);
      EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Daftar kamera sudah penuh: paling banyak 64 kamera."))
          << dialogs.lastMsgBox().prompt.toStdString();
      EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
      EXPECT_EQ(readFile("Settings.txt"), file) << "the list is left as it was";
      EXPECT_EQ(w->CurrentCamera(), c.current) << "the camera in use goes on";
      EXPECT_TRUE(w->cmdSnap->isEnabled());
    }
    const int current = w->CurrentCamera();

    forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialogs.clear();
    w = open();
    EXPECT_EQ(captions(w), menu) << "read back whole";
    EXPECT_EQ(w->CurrentCamera(), current);
    EXPECT_TRUE(dialogs.msgBoxTexts().isEmpty()) << dialogs.msgBoxTexts().join("|").toStdString();
    forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(CameraWindow, UnwritableCameraListIsReported) {
  ASSERT_TRUE(QDir(pf.root()).mkdir("Settings.txt"));
  FrmCamera* w = open();
  addCamera(w, "Test Cam");
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Daftar kamera tidak dapat disimpan ke " + pf.path("Settings.txt"));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_TRUE(w->cmdSnap->isEnabled());
}

TEST_F(CameraWindow, FilterPicker) {
  ScopedModalHook modal([](QWidget* picker, QWidget*) {
    auto* f = static_cast<Form2*>(picker);
    EXPECT_FALSE(f->cmdOk->isEnabled()) << "nothing selected yet";
    EXPECT_EQ(f->lstFilters->findItems("Broken", Qt::MatchExactly).size(), 2);
    f->lstFilters->setCurrentRow(0);
    EXPECT_TRUE(f->cmdOk->isEnabled());
  });  // left open: the hook closes it as the close box does
  FrmCamera* w = open();
  w->mnuCamerasAddNew->trigger();
  ASSERT_TRUE(forms::isLoaded<Form2>());
  EXPECT_FALSE(forms::get<Form2>()->Oked);
  EXPECT_EQ(w->CurrentCamera(), -1);
  forms::unload(w);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(forms::isLoaded<Form2>());
}

TEST_F(CameraWindow, SnapshotAndCrop) {
  FrmCamera* w = open("0\r\n\"Test Cam\"\r\n");
  crop(w);
  const QSize snap = w->picSnapshot->size();
  EXPECT_EQ(snap, QSize(457, 343)) << "455 x 341.25 of video, 2 pixels of border";
  EXPECT_EQ(w->lblOrigWidth->text(), "457");
  EXPECT_EQ(w->lblOrigHeight->text(), "343");
  EXPECT_FALSE(w->Selecting());
  EXPECT_FALSE(w->picSource->isVisible());
  EXPECT_TRUE(w->Command1->isEnabled());
  ASSERT_EQ(w->CropDIB().Width(), 200);
  ASSERT_EQ(w->CropDIB().Height(), 250);
  // The crop is the snapshot's top-left 200 x 250 pixels, with no trace of the outline.
  const QImage snapshot = w->picBuffer->Image();
  const auto* bits = w->CropDIB().DIBSectionBitsPtr();
  const int stride = w->CropDIB().BytesPerScanLine();
  int differing = 0;
  for (int y = 0; y < 250; ++y)
    for (int x = 0; x < 200; ++x) {
      const std::uint8_t* p = bits + std::ptrdiff_t(249 - y) * stride + x * 3;
      differing += qRgb(p[2], p[1], p[0]) != (snapshot.pixel(x, y) | 0xFF000000u);
    }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(w->picDest->Image().copy(0, 0, 200, 250), snapshot.copy(0, 0, 200, 250).convertToFormat(w->picDest->Image().format()));

  // The outline's right and bottom edges lie one pixel inside X2 and Y2; the inside is left.
  w->picDestBuffer->setPicture({});
  w->DrawRectangle(w->picDestBuffer, 2, 3, 10, 8, 0x0000FF);
  const QImage box = w->picDestBuffer->Image();
  for (QPoint p : {QPoint(2, 3), QPoint(9, 3), QPoint(2, 7), QPoint(9, 7)}) EXPECT_EQ(box.pixel(p), qRgb(255, 0, 0));
  for (QPoint p : {QPoint(10, 7), QPoint(9, 8), QPoint(5, 5)}) EXPECT_NE(box.pixel(p), qRgb(255, 0, 0));

  w->txtSelWidth->setText("abc");
  QTest::mouseClick(w->cmdSnap, Qt::LeftButton);
  EXPECT_FALSE(w->Selecting());
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Lebar dan tinggi seleksi harus bilangan bulat lebih dari 0.");
}

TEST_F(CameraWindow, CropSizeBoxesAndSettingFile) {
  writeFile("setting.ini", "[Form12]\r\ntextwidth=300\r\n");
  FrmCamera* w = open();
  EXPECT_EQ(w->txtSelWidth->text(), "300");
  EXPECT_EQ(w->txtSelHeight->text(), "250");
  for (QLineEdit* box : {w->txtSelWidth, w->txtSelHeight}) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_TRUE(readFile("setting.ini").contains(box == w->txtSelWidth ? "textwidth=\r\n" : "textheight=\r\n"));
    w->cmdSnap->setEnabled(true);
    w->Command3->setFocus();
  }
  EXPECT_EQ(w->txtSelWidth->text(), "125");
  EXPECT_EQ(w->txtSelHeight->text(), "150");
  const QByteArray ini = readFile("setting.ini");
  EXPECT_TRUE(ini.contains("textwidth=125")) << ini.constData();
  EXPECT_TRUE(ini.contains("textheight=150")) << ini.constData();
}

TEST_F(CameraWindow, HandOver) {
  ScopedEndHook end;  // unloading the main window ends the program
  struct Case {
    const char* what;
    bool toMain;
    QString nis;
    bool writeFails;
    QString box;
  } cases[] = {
      {"entry window, no member", false, "", false, "Silakan pilih N I S  Terlebih dahulu"},
      {"main window, no member", true, "", false, "Pilih ID NIS/Siswa pada Terlebih dahulu"},
      {"entry window", false, "1001", false, ""},
      {"main window", true, "1001", false, ""},
      {"write fails, an older crop lies there", false, "1001", true, "Foto hasil crop tidak dapat disimpan:"},
  };
  for (const Case& c : cases) {
    QFile::remove(pf.path("photos/TEMP2.jpg"));
    dialogs.clear();
    if (c.writeFails) pf.writePhoto("photos/TEMP2.jpg", Qt::red, {200, 250});
    FrmCamera* w = c.toMain ? open<FrmCamera2>("0\r\n\"Test Cam\"\r\n") : open<FrmCamera>("0\r\n\"Test Cam\"\r\n");
    crop(w);
    photobox::PhotoBox* photo = c.toMain ? forms::get<Frmcari>()->Image2 : forms::get<frmAggota>()->Image1;
    (c.toMain ? forms::get<Frmcari>()->Text2 : forms::get<frmAggota>()->TextNis)->setText(c.nis);
    photo->setPicture({});
    // An older crop its owner may not write can't be replaced.
    if (c.writeFails) QFile::setPermissions(pf.path("photos/TEMP2.jpg"), QFile::ReadOwner);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const bool handedOver = c.box.isEmpty();
    EXPECT_TRUE(c.box.isEmpty() ? dialogs.msgBoxTexts().isEmpty() : dialogs.msgBoxTexts().join("|").startsWith(c.box))
        << c.what;
    if (!handedOver) {
      EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation) << c.what;
      EXPECT_EQ(QFile::exists(pf.path("photos/TEMP2.jpg")), c.writeFails) << c.what;
    }
    if (!c.writeFails && !handedOver) EXPECT_EQ(dialogs.lastMsgBox().title, "Lentavo") << c.what;
    EXPECT_EQ(photo->picture().image().size(), handedOver ? QSize(200, 250) : QSize(0, 0)) << c.what;
    EXPECT_EQ(forms::isLoaded<FrmCamera>() || forms::isLoaded<FrmCamera2>(), c.writeFails)
        << c.what << ": the window stays only to keep its crop";
    for (QWidget* x : forms::loaded()) forms::unload(x);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
