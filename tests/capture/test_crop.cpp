// Both camera windows crop a snapshot by one rule: the crop under the click lies wholly
// inside the snapshot, and the webcam window and the fixed-chain window take the same one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QTest>

#include "CropRect.h"
#include "FrmCamera.h"
#include "Module1.h"
#include "filters.h"
#include "frmWebcame.h"
#include "photo_files.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

using namespace testsupport;

namespace {

// Bars of colour, so a crop taken from another place shows other pixels.
const char* const kPattern = "videotestsrc is-live=true";

class CropBothWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir = QDir::currentPath();
    QDir::setCurrent(pf.root());  // "temp.jpg" and "Settings.txt" lie in the current folder
    camera::setDeviceSource([] { return std::vector<camera::Device>{{"Cam", kPattern}}; });
    camgraph::setCameraProvider([] {
      return std::vector<camgraph::CameraSource>{
          {"Test Cam", QString(kPattern) + " ! capsfilter caps=video/x-raw,width=320,height=240"}};
    });
  }
  void TearDown() override {
    for (QWidget* w : forms::loaded()) forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
    camera::setDeviceSource({});
    camgraph::setCameraProvider({});
    QDir::setCurrent(oldDir);
  }
  static void move(QWidget* box, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, at, box->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(box, &e);
  }
  // QTest::mouseClick takes (0, 0) for the widget's centre; a corner needs its own events.
  static void click(QWidget* box, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, box->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(box, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, box->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(box, &release);
  }
  static QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook end;  // unloading the main window ends the program
  QString oldDir;
};

TEST_F(CropBothWindows, TheClickedCropLiesInsideTheSnapshotAndIsTheSameInBoth) {
  const QSize crop(200, 250), big(645, 502), small(160, 120);
  const struct Case {
    const char* what;
    QSize snapshot;
    QPoint click;
  } cases[] = {
      {"centre", big, {322, 251}},
      {"left edge", big, {0, 251}},
      {"right edge", big, {644, 251}},
      {"top edge", big, {322, 0}},
      {"bottom edge", big, {322, 501}},
      {"top left corner", big, {0, 0}},
      {"top right corner", big, {644, 0}},
      {"bottom left corner", big, {0, 501}},
      {"bottom right corner", big, {644, 501}},
      {"near the far corner", big, {630, 470}},
      {"snapshot smaller than the crop", small, {80, 60}},
      {"snapshot smaller than the crop, its far corner", small, {159, 119}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.clear();

    // The webcam window: the camera's own picture is the snapshot.
    ASSERT_TRUE(camera::saveSettings(camera::settingsFile(pf.root(), "Cam"),
                                     {QString("video/x-raw,width=%1,height=%2")
                                          .arg(c.snapshot.width())
                                          .arg(c.snapshot.height()),
                                      {}}));
    auto* web = forms::get<frmWebcame>();
    web->setCaption("Input");
    web->show();
    web->mnuCamerasCamera[0]->trigger();
    web->mnuSnap->trigger();
    ASSERT_TRUE(web->Selecting);
    const QImage webShot = web->picSource->picture();
    ASSERT_EQ(webShot.size(), c.snapshot);
    move(web->picSource, c.click);
    const QRect webCrop = web->picSource->selection();
    QFile::remove(pf.path("test.jpg"));
    click(web->picSource, c.click);
    QImageReader handed(pf.path("test.jpg"));
    handed.setDecideFormatFromContent(true);
    EXPECT_EQ(handed.format(), "bmp");
    EXPECT_EQ(rgb(handed.read()), rgb(webShot.copy(webCrop))) << "the photo is the crop the rectangle marked";

    // The fixed-chain window: its snapshot takes the size of picSnapshot.
    writeFile(pf.path("Settings.txt"), "0\r\n\"Test Cam\"\r\n");
    auto* cam = forms::get<FrmCamera>();
    cam->show();
    ASSERT_TRUE(cam->cmdSnap->isEnabled());
    cam->picSnapshot->resize(c.snapshot);
    cam->picSource->resize(c.snapshot);
    QTest::mouseClick(cam->cmdSnap, Qt::LeftButton);
    ASSERT_TRUE(cam->Selecting());
    const QImage camShot = cam->picSource->Picture();
    ASSERT_EQ(camShot.size(), c.snapshot);
    move(cam->picSource, c.click);
    const QRect camCrop = cam->Selection();
    click(cam->picSource, c.click);
    ASSERT_FALSE(cam->Selecting());
    ASSERT_EQ(QSize(cam->CropDIB().Width(), cam->CropDIB().Height()), camCrop.size());
    const gdi::Handle dc = cam->CropDIB().hDC();
    EXPECT_EQ(rgb(gdi::surfaceOf(dc)->toImage()), rgb(camShot.copy(camCrop))) << "the crop fixed is the one marked";

    EXPECT_EQ(camCrop, webCrop);
    EXPECT_TRUE(QRect(QPoint(0, 0), c.snapshot).contains(webCrop)) << webCrop.x() << "," << webCrop.y();
    EXPECT_TRUE(QRect(QPoint(0, 0), c.snapshot).contains(camCrop)) << camCrop.x() << "," << camCrop.y();
    EXPECT_EQ(webCrop.size(), crop.boundedTo(c.snapshot));
    EXPECT_TRUE(webCrop.contains(c.click)) << "the crop lies under the mouse";
    EXPECT_TRUE(dialogs.msgBoxTexts().isEmpty()) << dialogs.msgBoxTexts().join("|").toStdString();

    for (QWidget* w : forms::loaded()) forms::unload(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
