// The webcam window over test-pattern cameras: device list, camera choice, settings file,
// format and controls dialogs, snapshot, crop and hand-over to the entry and main windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QMouseEvent>
#include <QTest>

#include "CropRect.h"
#include "Frmcari.h"
#include "Module1.h"
#include "controlsdialog.h"
#include "formatdialog.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "photo_files.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

using namespace testsupport;

namespace {

// A camera that shows one colour (ARGB), as a test pattern.
camera::Device cam(const QString& name, const char* argb) {
  return {name, QStringLiteral("videotestsrc is-live=true pattern=solid-color foreground-color=") + argb};
}

class Webcam : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir = QDir::currentPath();
    QDir::setCurrent(pf.root());  // the snapshot "temp.jpg" lies in the current folder
  }
  void TearDown() override {
    for (QWidget* w : forms::loaded()) forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
    camera::setDeviceSource({});
    QDir::setCurrent(oldDir);
  }
  frmWebcame* open(std::vector<camera::Device> devices, const QString& caption = "Input") {
    camera::setDeviceSource([devices] { return devices; });
    w = forms::get<frmWebcame>();
    w->setCaption(caption);
    w->show();
    return w;
  }
  QColor frameColour() { return w->videoWindow->frame().pixelColor(5, 5); }
  QString cfg(const QString& name) { return camera::settingsFile(pf.root(), name); }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook end;  // unloading the main window ends the program
  QString oldDir;
  frmWebcame* w = nullptr;
};

TEST_F(Webcam, ListsTheCamerasAndOpensTheOneChosen) {
  struct Case {
    std::vector<camera::Device> devices;
    int chosen;
    const char* loaded;   // status after the load
    const char* viewing;  // status after the choice
    QStringList boxes;
    QColor colour;  // of the chosen camera's picture
    const char* later = nullptr;  // status once the stream has ended
  };
  const Case cases[] = {
      {{}, 0, " No cameras found!", " No cameras found!", {"Kamera tidak ditemukan."}, {}},
      {{cam("Satu", "0xffff0000"), cam("Dua", "0xff00ff00"), cam("Tiga", "0xff0000ff")},
       1,
       " Ready for camera selection",
       " Viewing camera",
       {},
       Qt::green},
      {{{"Tanpa keluaran", "fakesink"}}, 0, " Ready for camera selection", " Gagal menghubungkan ke webcame!", {}, {}},
      // A camera that stops sending (unplugged): the status says so instead of a still picture.
      {{{"Lepas", "videotestsrc is-live=true num-buffers=5 pattern=solid-color foreground-color=0xffff0000"}},
       0,
       " Ready for camera selection",
       " Viewing camera",
       {},
       Qt::red,
       " Kamera berhenti: tidak ada gambar lagi dari kamera"},
      {{{"Tidak ada", "nosuchcamerasrc"}},
       0,
       " Ready for camera selection",
       " Gagal menghubungkan ke webcame!",
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loaded);
    dialogs.clear();
    open(c.devices);
    EXPECT_EQ(w->lblStatus->text(), c.loaded);
    EXPECT_EQ(w->lblStatus->toolTip(), QString(c.loaded).mid(1));
    ASSERT_EQ(w->mnuCamerasCamera.size(), std::max<size_t>(1, c.devices.size()));
    for (size_t i = 0; i < c.devices.size(); ++i) EXPECT_EQ(w->mnuCamerasCamera[i]->text(), c.devices[i].name);
    EXPECT_TRUE(w->mnuCameraS->menuAction()->isEnabled());
    EXPECT_FALSE(w->mnuSnap->isVisible());
    for (QAction* a : {w->mnuCameraproperties, w->mnuCameraCapproperties, w->mnuCameraSave, w->mnuCameraLoad})
      a->trigger();  // no camera yet: nothing happens
    w->mnuCamerasCamera[size_t(c.chosen)]->trigger();
    EXPECT_FALSE(w->mnuCameraS->menuAction()->isEnabled());  // one camera per load of the window
    EXPECT_EQ(w->lblStatus->text(), c.viewing);
    EXPECT_EQ(dialogs.msgBoxTexts(), c.boxes);
    EXPECT_EQ(w->mnuSnap->isVisible(), c.colour.isValid());
    if (c.colour.isValid()) {
      EXPECT_EQ(w->mnuCamera->title(), c.devices[size_t(c.chosen)].name);
      EXPECT_EQ(frameColour(), c.colour);
    }
    if (c.later) {
      QElapsedTimer t;
      t.start();
      while (w->lblStatus->text() != c.later && t.elapsed() < 5000) QTest::qWait(20);
      EXPECT_EQ(w->lblStatus->text(), c.later);
    }
    if (c.colour.isValid()) {  // a stopped camera's last picture is no snapshot, nor a photo
      QFile::remove("temp.jpg");
      w->mnuSnap->trigger();
      EXPECT_EQ(w->Selecting, !c.later);
      EXPECT_EQ(QFile::exists("temp.jpg"), !c.later);
      EXPECT_EQ(dialogs.msgBoxTexts().join("").startsWith("Kamera berhenti mengirim gambar"), bool(c.later));
      if (c.later) QTest::mouseClick(w->picSource, Qt::LeftButton, {}, {50, 50});
      EXPECT_FALSE(QFile::exists(pf.path("test.jpg")));
    }
    w->close();  // the close box unloads it, and the next opening lists the devices again
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(forms::isLoaded<frmWebcame>());
  }
}

// The format and colour balance chosen are kept per camera in the program folder; a name
// with "/" stays in it, and the window fits a 640 x 480 video under its menu.
TEST_F(Webcam, KeepsTheFormatAndControlsOfACameraInItsSettingsFile) {
  const QString name = "../USB/Cam";
  open({cam(name, "0xff808080")});
  w->mnuCamerasCamera[0]->trigger();
  EXPECT_TRUE(w->mnuCameraSave->isEnabled());
  EXPECT_FALSE(w->mnuCameraLoad->isEnabled());
  EXPECT_EQ(w->videoWindow->frame().size(), QSize(320, 240));
  ScopedModalHook modal([](QWidget* d, QWidget*) {
    if (auto* f = qobject_cast<camera::FormatDialog*>(d)) {
      f->cmbFormat->setCurrentText("640 x 480");
      QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    } else if (auto* c = qobject_cast<camera::ControlsDialog*>(d)) {
      c->sldBrightness->setValue(50);
    }
  });
  w->mnuCameraCapproperties->trigger();
  w->mnuCameraproperties->trigger();
  EXPECT_EQ(w->videoWindow->geometry(), QRect(0, 0, 640, 480));
  EXPECT_EQ(w->client->size(), QSize(645, 502));  // the video, one pixel, the status line
  EXPECT_EQ(w->lblStatus->geometry(), QRect(0, 481, 645, 21));
  EXPECT_EQ(w->pipeline().balance().brightness, 0.5);
  w->mnuCameraSave->trigger();
  EXPECT_EQ(w->lblStatus->text(), " Settings saved.  Viewing camera");
  EXPECT_EQ(QDir(pf.root()).entryList({"*.cfg"}), QStringList{"---USB-Cam.cfg"});
  EXPECT_TRUE(readFile(cfg(name)).contains("caps=video/x-raw,width=640,height=480\nbrightness=0.5\n"));

  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  open({cam(name, "0xff808080")});
  w->mnuCamerasCamera[0]->trigger();  // applied before the preview starts
  EXPECT_TRUE(w->mnuCameraLoad->isEnabled());
  EXPECT_EQ(w->videoWindow->frame().size(), QSize(640, 480));
  EXPECT_EQ(w->pipeline().balance().brightness, 0.5);
  writeFile(cfg(name), "caps=video/x-raw,width=320,height=240\nhue=7\n");
  w->mnuCameraLoad->trigger();
  EXPECT_EQ(w->lblStatus->text(), " Settings loaded.  Viewing camera");
  EXPECT_EQ(w->videoWindow->frame().size(), QSize(320, 240));
  EXPECT_EQ(w->pipeline().balance(), (camera::Balance{0, 1, 1, 1}));  // out of range: the nearest end
  writeFile(cfg(name), "rubbish");
  w->mnuCameraLoad->trigger();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pengaturan kamera tidak dapat dibaca: bukan berkas pengaturan kamera");
  EXPECT_TRUE(w->mnuSnap->isEnabled());
  w->txtSelWidth->setText("lebar");
  w->mnuSnap->trigger();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Ukuran seleksi harus berupa angka lebih dari 0");
  QTest::mouseClick(w->picSource, Qt::LeftButton, {}, {50, 50});
  EXPECT_TRUE(w->isVisible());  // no crop, nothing handed over
}

// A saved format the camera cannot give never locks it out: choosing the camera, then
// loading the file into it, falls back to a format that works, says why in our own words
// (whatever the camera's library says is only the reason) and keeps the camera's menus.
TEST_F(Webcam, ASavedFormatTheCameraCannotGiveFallsBack) {
  const struct {
    const char* caps;
    QSize size;
    bool refused;
  } cases[] = {
      {"video/x-raw,width=640,height=480", {640, 480}, false},
      {"image/jpeg,width=640,height=480", {320, 240}, true},  // a raw-only camera
      {"}{ rusak", {320, 240}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caps);
    dialogs.clear();
    writeFile(cfg("Cam"), QByteArray("caps=") + c.caps + "\nbrightness=0.5\n");
    open({cam("Cam", "0xff808080")})->mnuCamerasCamera[0]->trigger();
    w->mnuCameraLoad->trigger();
    EXPECT_EQ(w->videoWindow->frame().size(), c.size);
    EXPECT_TRUE(w->pipeline().isRunning());
    EXPECT_EQ(w->pipeline().balance().brightness, 0.5);
    EXPECT_EQ(w->lblStatus->text(), c.refused ? " Viewing camera" : " Settings loaded.  Viewing camera");
    // The menus of a running camera stay: another snapshot, save or load may follow.
    EXPECT_TRUE(w->mnuSnap->isVisible() && w->mnuSnap->isEnabled());
    EXPECT_EQ(w->mnuCamera->title(), "Cam");
    EXPECT_TRUE(w->mnuCameraSave->isEnabled());
    EXPECT_TRUE(w->mnuCameraLoad->isEnabled());
    EXPECT_FALSE(w->mnuCameraS->menuAction()->isEnabled());

    // At the choice the camera runs in its own format, at the load it keeps the one it had.
    const QStringList boxes = dialogs.msgBoxTexts();
    ASSERT_EQ(boxes.size(), c.refused ? 2 : 0);
    const QString ours = "Format kamera yang tersimpan (" + QString(c.caps) + ") tidak dapat dipakai: ";
    for (int i = 0; i < boxes.size(); ++i) {
      ASSERT_TRUE(boxes[i].startsWith(ours)) << boxes[i].toStdString();
      const QStringList parts = boxes[i].mid(ours.size()).split("\r\n\r\n");
      ASSERT_EQ(parts.size(), 2) << boxes[i].toStdString();
      EXPECT_FALSE(parts[0].trimmed().isEmpty()) << "the reason is given";
      EXPECT_TRUE(parts[1].startsWith(i == 0 ? "Kamera ditampilkan dengan formatnya sendiri."
                                             : "Kamera tetap ditampilkan dengan format sebelumnya."))
          << parts[1].toStdString();
    }
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// The crop size captions show their whole text before their boxes, and read over a black
// snapshot as over a white one: their darkest and lightest greys lie far apart.
TEST_F(Webcam, CropCaptionsReadInFullOverAnyPicture) {
  ASSERT_TRUE(camera::saveSettings(cfg("Cam"), {"video/x-raw,width=640,height=480", {}}));
  for (const char* colour : {"0xff000000", "0xffffffff"}) {
    open({cam("Cam", colour)})->mnuCamerasCamera[0]->trigger();
    w->mnuSnap->trigger();
    const QImage shot = w->client->grab().toImage();
    for (QLabel* caption : {w->Label12, w->Label13}) {
      SCOPED_TRACE(caption->text().toStdString() + colour);
      const QRect text(caption->mapTo(w->client, QPoint()), caption->sizeHint());
      EXPECT_TRUE(QRect(text.topLeft(), caption->size()).contains(text));
      EXPECT_LT(text.right(), caption->buddy()->mapTo(w->client, QPoint()).x());
      int low = 255, high = 0;
      for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = text.left(); x <= text.right(); ++x)
          low = std::min(low, qGray(shot.pixel(x, y))), high = std::max(high, qGray(shot.pixel(x, y)));
      EXPECT_GE(high - low, 128);
    }
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(Webcam, CropFollowsTheMouseInsideTheSnapshot) {
  struct Case {
    QPointF mouse;
    QSize crop, frame;
    QRect expected;
  };
  const Case cases[] = {
      {{10, 10}, {200, 250}, {645, 502}, {0, 0, 200, 250}},
      {{630, 470}, {200, 250}, {645, 502}, {445, 252, 200, 250}},   // far edges: inside, not one past
      {{300.5, 200}, {200, 250}, {640, 480}, {200, 75, 200, 250}},  // halves to even: 300
      {{301.5, 200}, {200, 250}, {640, 480}, {202, 75, 200, 250}},  // 302
      {{300, 240}, {200, 251}, {640, 480}, {200, 115, 200, 251}},   // half height 125
      {{300, 100}, {200, 250}, {640, 240}, {200, 0, 200, 240}},     // higher than the frame: cut
      {{300, 100}, {900, 900}, {640, 480}, {0, 0, 640, 480}},
      {{-50, -70}, {200, 250}, {640, 480}, {0, 0, 200, 250}},                 // outside, before the picture
      {{3e9, 3e9}, {200, 250}, {640, 480}, {440, 230, 200, 250}},             // far outside: no overflow
      {{10, 10}, {200, 250}, {0, 0}, {0, 0, 0, 0}},                           // no picture: no crop
  };
  for (const Case& c : cases) EXPECT_EQ(capture::cropRect(c.mouse, c.crop, c.frame), c.expected) << c.mouse.x();
}

// Snapshot, the rectangle over it, and the click that hands the crop to the window that
// opened the webcam; the entry window's save then stores it as the member's photo.
TEST_F(Webcam, TheClickedCropBecomesThePhotoOfTheOpener) {
  ASSERT_TRUE(camera::saveSettings(cfg("Cam"), {"video/x-raw,width=640,height=480", {}}));
  for (const char* caption : {"Input", "Cari", "input"}) {
    SCOPED_TRACE(caption);
    const bool entry = QString(caption) == "Input";
    auto* aggota = forms::get<frmAggota>();
    auto* cari = forms::get<Frmcari>();
    open({cam("Cam", "0xff2040c0")}, caption);
    w->mnuCamerasCamera[0]->trigger();
    QTest::mouseClick(w->picSource, Qt::LeftButton, {}, {300, 300});  // no snapshot yet: nothing
    EXPECT_TRUE(w->isVisible());
    w->mnuSnap->trigger();
    EXPECT_EQ(w->lblStatus->text(), " Snapped.  Viewing camera");
    EXPECT_EQ(QImageReader("temp.jpg").size(), QSize(640, 480));
    EXPECT_FALSE(w->videoWindow->isVisible());
    std::vector<QRgb> colours;
    for (QPoint p : {QPoint(100, 100), QPoint(101, 100), QPoint(630, 470)}) {
      QMouseEvent move(QEvent::MouseMove, p, w->picSource->mapToGlobal(p), Qt::NoButton, Qt::NoButton, {});
      QApplication::sendEvent(w->picSource, &move);
      colours.push_back(w->picSource->selectionColor());
    }
    EXPECT_EQ(colours, (std::vector<QRgb>{0, 0xFFFFFF, 0}));
    EXPECT_EQ(w->picSource->selection(), QRect(440, 230, 200, 250));
    EXPECT_EQ(w->picDest->size(), QSize(200, 250));

    QFile::remove(pf.path("test.jpg"));
    QDir(pf.root()).mkdir("test.jpg");  // cannot be written: nothing stale is handed over
    QTest::mouseClick(w->picSource, Qt::LeftButton, {}, {630, 470});
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Foto tidak dapat diserahkan"));
    EXPECT_TRUE(w->isVisible());
    QDir(pf.root()).rmdir("test.jpg");
    // Through the window, over the crop shown in the corner: the click still reaches the snapshot.
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, w->picSource->mapTo(w, QPoint(300, 100)));
    EXPECT_TRUE(readFile(pf.path("test.jpg")).startsWith("BM"));
    photobox::PhotoBox* box = entry ? aggota->Image1 : cari->Image2;
    EXPECT_EQ(box->picture().image().size(), QSize(200, 250));
    EXPECT_NEAR(box->picture().image().pixelColor(100, 100).blue(), 0xc0, 8);
    EXPECT_EQ((entry ? static_cast<QWidget*>(aggota) : cari)->isVisible(), true);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->lblStatus->text(), " Viewing camera");
    QTest::mouseClick(w->picSource, Qt::LeftButton, {}, {300, 300});  // a second click: nothing
    if (entry) {
      aggota->TextNis->setText("2024/7");
      aggota->TextNISN->setText("77");
      aggota->TextNama->setText("Ani");
      QTest::mouseClick(aggota->cmdSimpan, Qt::LeftButton);
      QImageReader stored(pf.path("photos/2024-7.jpg"));
      EXPECT_EQ(stored.format(), "jpeg");
      EXPECT_EQ(stored.size(), QSize(200, 250));
    }
    forms::unload<frmWebcame>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
