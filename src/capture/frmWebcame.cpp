#include "frmWebcame.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "DirectShowDIB.h"
#include "CropRect.h"
#include "Frmcari.h"
#include "PicSave.h"
#include "atomicfile.h"
#include "controlsdialog.h"
#include "formatdialog.h"
#include "frmAggota.h"
#include "msgbox.h"
#include "named.h"
#include "photobox.h"
#include "twips.h"
#include "vb.h"

using ui::named;

namespace {

// Long enough for a camera to send its first frame, short enough not to freeze the window.
constexpr int kFirstFrameMs = 5000;
// Polled faster than any camera sends, so no frame waits long for the screen.
constexpr int kPollMs = 5;

QString menuText(const QString& name) {
  QString t = name;
  return t.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

frmWebcame::frmWebcame() {
  setObjectName(QStringLiteral("frmWebcame"));
  setCaption(QStringLiteral("WebCam"));
  QFont f(QStringLiteral("Segoe UI"));
  f.setPointSize(9);
  setFont(f);

  menuBar = named(new QMenuBar(this), "menuBar");
  menuBar->setNativeMenuBar(false);
  mnuCameraS = named(menuBar->addMenu(QStringLiteral("Choose a camera")), "mnuCameraS");
  mnuCamerasCamera.push_back(mnuCameraS->addAction(QString()));
  mnuSnap = menuBar->addAction(QStringLiteral("Capture"));
  mnuSnap->setObjectName(QStringLiteral("mnuSnap"));
  mnuSnap->setVisible(false);
  mnuCamera = named(menuBar->addMenu(QString()), "mnuCamera");
  mnuCameraproperties = mnuCamera->addAction(QStringLiteral("Camera Properties..."));
  mnuCameraCapproperties = mnuCamera->addAction(QStringLiteral("Capture Properties..."));
  mnuCamera->addSeparator();
  mnuCameraSave = mnuCamera->addAction(QStringLiteral("Save current settings"));
  mnuCameraLoad = mnuCamera->addAction(QStringLiteral("Load saved settings"));
  mnuCameraSave->setEnabled(false);
  mnuCameraLoad->setEnabled(false);

  client = named(new QWidget(this), "client");
  picSource = named(new SnapshotView(client), "picSource");
  twips::setGeometry(picSource, 0, 0, 9660, 5235);
  picDest = named(new QLabel(client), "picDest");
  picDest->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // It lies over the snapshot: the mouse over it still moves the crop.
  picDest->setAttribute(Qt::WA_TransparentForMouseEvents);
  twips::setGeometry(picDest, 3360, 0, 2595, 3075);
  Frame2 = named(new QGroupBox(QStringLiteral("Crob Selection"), client), "Frame2");
  twips::setGeometry(Frame2, 120, 2400, 2895, 1695);
  Label12 = named(new QLabel(QStringLiteral("Selection Width"), Frame2), "Label12");
  twips::setGeometry(Label12, 120, 240, 1335, 195);
  txtSelWidth = named(new QLineEdit(QStringLiteral("200"), Frame2), "txtSelWidth");
  twips::setGeometry(txtSelWidth, 1920, 240, 675, 285);
  Label13 = named(new QLabel(QStringLiteral("Selection Height"), Frame2), "Label13");
  twips::setGeometry(Label13, 120, 600, 1815, 195);
  txtSelHeight = named(new QLineEdit(QStringLiteral("250"), Frame2), "txtSelHeight");
  twips::setGeometry(txtSelHeight, 1920, 600, 675, 285);
  Label12->setBuddy(txtSelWidth);
  Label13->setBuddy(txtSelHeight);
  // The captions were laid out for a narrower font than this machine may have: they grow to
  // show their whole text, which still ends before the boxes.
  for (QLabel* caption : {Label12, Label13}) caption->resize(caption->size().expandedTo(caption->sizeHint()));
  // The frame lies over the snapshot: painted whole, its captions read on a dark picture too.
  Frame2->setAutoFillBackground(true);
  lblStatus = named(new QLabel(client), "lblStatus");
  twips::setGeometry(lblStatus, 0, 4920, 6045, 315);
  videoWindow = named(new VideoView(client), "videoWindow");
  videoWindow->hide();

  resize(twips::toPx(9675), twips::toPx(5250) + menuBar->sizeHint().height());
  layoutClient();

  frameTimer_.setInterval(kPollMs);
  connect(&frameTimer_, &QTimer::timeout, this, &frmWebcame::pollFrame);
  connect(mnuSnap, &QAction::triggered, this, &frmWebcame::mnuSnap_Click);
  connect(mnuCameraproperties, &QAction::triggered, this, &frmWebcame::mnuCameraproperties_Click);
  connect(mnuCameraCapproperties, &QAction::triggered, this, &frmWebcame::mnuCameraCapproperties_Click);
  connect(mnuCameraSave, &QAction::triggered, this, &frmWebcame::mnuCameraSave_Click);
  connect(mnuCameraLoad, &QAction::triggered, this, &frmWebcame::mnuCameraLoad_Click);
  connect(mnuCamerasCamera[0], &QAction::triggered, this, [this] { mnuCamerasCamera_Click(0); });
  connect(picSource, &SnapshotView::mouseMoved, this, &frmWebcame::picSource_MouseMove);
  connect(picSource, &SnapshotView::clicked, this, &frmWebcame::picSource_Click);
}

frmWebcame::~frmWebcame() { frameTimer_.stop(); }

void frmWebcame::setStatus(const QString& text) {
  lblStatus->setText(text);
  if (!text.isEmpty()) lblStatus->setToolTip(text.mid(1));
}

void frmWebcame::layoutClient() {
  const int bar = menuBar->sizeHint().height();
  menuBar->setGeometry(0, 0, width(), bar);
  client->setGeometry(0, bar, width(), std::max(0, height() - bar));
  picSource->resize(client->size());
}

void frmWebcame::resizeEvent(QResizeEvent* e) {
  forms::Form::resizeEvent(e);
  layoutClient();
}

void frmWebcame::showEvent(QShowEvent* e) {
  forms::Form::showEvent(e);
  if (graph_.isRunning()) frameTimer_.start();
}

void frmWebcame::hideEvent(QHideEvent* e) {
  // A hidden window's preview keeps running but is not drawn.
  frameTimer_.stop();
  forms::Form::hideEvent(e);
}

void frmWebcame::Form_Load() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  Devices = camera::videoDevices();
  if (Devices.empty()) {
    setStatus(QStringLiteral(" No cameras found!"));
    return;
  }
  for (size_t i = 0; i < Devices.size(); ++i) {
    if (i > 0) {
      mnuCamerasCamera.push_back(mnuCameraS->addAction(QString()));
      connect(mnuCamerasCamera[i], &QAction::triggered, this, [this, i] { mnuCamerasCamera_Click(int(i)); });
    }
    mnuCamerasCamera[i]->setText(menuText(Devices[i].name));
    mnuCamerasCamera[i]->setVisible(true);
  }
  mnuCameraS->setEnabled(true);
  setStatus(QStringLiteral(" Ready for camera selection"));
}

QString frmWebcame::settingsPath() const { return camera::settingsFile(vb::programFolder(), cameraName_); }

void frmWebcame::mnuCamerasCamera_Click(int index) {
  // One camera per load of the window.
  mnuCameraS->setEnabled(false);
  if (index < 0 || size_t(index) >= Devices.size()) {
    ui::msgBox(QStringLiteral("Kamera tidak ditemukan."), ui::vbOKOnly);
    return;
  }
  const camera::Device device = Devices[size_t(index)];
  Devices.clear();
  cameraName_ = device.name;
  source_ = device.source;

  // Saved settings apply before the preview starts.
  camera::Settings settings;
  const bool saved = QFileInfo::exists(settingsPath());
  QString error;
  if (saved) {
    if (auto loaded = camera::loadSettings(settingsPath(), &error))
      settings = *loaded;
    else
      ui::msgBox(QStringLiteral("Pengaturan kamera tidak dapat dibaca: ") + error, ui::vbExclamation);
  }
  const camera::Pipeline::Open opened = view(settings.caps, settings.balance);
  if (opened == camera::Pipeline::Open::NoOutput) {
    setStatus(QStringLiteral(" Gagal menghubungkan ke webcame!"));
    return;
  }
  mnuSnap->setVisible(true);
  mnuCamera->setTitle(menuText(cameraName_));
  mnuCamera->menuAction()->setVisible(true);
  mnuCameraSave->setEnabled(true);
  mnuCameraLoad->setEnabled(saved);
  if (opened == camera::Pipeline::Open::Ok) {
    setStatus(QStringLiteral(" Viewing camera"));
    return;
  }
  // A saved format the camera does not give (another camera of the same name, a driver
  // that dropped a size, a damaged line) must not lock the camera out: it runs in its own.
  if (!settings.caps.isEmpty()) {
    const QString why = graph_.error();
    if (view(QString(), settings.balance) == camera::Pipeline::Open::Ok) {
      setStatus(QStringLiteral(" Viewing camera"));
      ui::msgBox(QStringLiteral("Format kamera yang tersimpan (%1) tidak dapat dipakai: %2\r\n\r\nKamera ditampilkan "
                                "dengan formatnya sendiri. Pilih \"Save current settings\" untuk menyimpan format ini.")
                     .arg(settings.caps, why),
                 ui::vbExclamation);
      return;
    }
  }
  ui::msgBox(graph_.error(), ui::vbOKOnly);
}

bool frmWebcame::StartViewing() {
  if (!startPreview()) {
    ui::msgBox(graph_.error(), ui::vbOKOnly);
    return false;
  }
  setStatus(QStringLiteral(" Viewing camera"));
  return true;
}

bool frmWebcame::startPreview() {
  setUpdatesEnabled(false);
  const bool started = graph_.start(kFirstFrameMs);
  if (started) {
    const QSize video = graph_.videoSize();
    picSource->clearSelection();
    videoWindow->setGeometry(0, 0, video.width(), video.height());
    videoWindow->show();
    videoWindow->raise();
    // The window fits the video's height with the status line right under it; its width stays.
    const int clientHeight = video.height() + 1 + lblStatus->height();
    resize(width(), menuBar->sizeHint().height() + clientHeight);
    layoutClient();
    lblStatus->setGeometry(0, clientHeight - lblStatus->height(), client->width(), lblStatus->height());
    stopped_ = false;
    pollFrame();
    if (isVisible()) frameTimer_.start();
  }
  setUpdatesEnabled(true);
  return started;
}

camera::Pipeline::Open frmWebcame::view(const QString& caps, const camera::Balance& balance) {
  stopPreview();
  const camera::Pipeline::Open opened = graph_.open(source_, caps);
  if (opened != camera::Pipeline::Open::Ok) return opened;
  graph_.setBalance(balance);
  return startPreview() ? camera::Pipeline::Open::Ok : camera::Pipeline::Open::Failed;
}

void frmWebcame::stopPreview() {
  frameTimer_.stop();
  graph_.stop();
  videoWindow->hide();
}

bool frmWebcame::reopen(const QString& caps, const camera::Balance& balance) {
  if (view(caps, balance) != camera::Pipeline::Open::Ok) {
    ui::msgBox(graph_.error(), ui::vbOKOnly);
    return false;
  }
  setStatus(QStringLiteral(" Viewing camera"));
  return true;
}

void frmWebcame::pollFrame() {
  QImage frame;
  if (graph_.pullFrame(frame)) {
    videoWindow->setFrame(std::move(frame));
  } else if (graph_.lost()) {
    // The last picture stays, but the user must not take it for a live one.
    stopped_ = true;
    frameTimer_.stop();
    setStatus(QStringLiteral(" Kamera berhenti: ") + graph_.error());
  }
}

void frmWebcame::mnuCameraproperties_Click() {
  if (!graph_.isOpen()) return;
  camera::ControlsDialog dialog(graph_);
  forms::showModal(&dialog, this);
}

void frmWebcame::mnuCameraCapproperties_Click() {
  if (!graph_.isOpen()) return;
  const QString before = graph_.caps();
  camera::FormatDialog dialog(graph_.formats(), before);
  forms::showModal(&dialog, this);
  if (dialog.chosen().isEmpty() || dialog.chosen() == before) return;
  mnuSnap->setEnabled(false);
  // A format the camera refuses gives the old one back, so the window stays usable.
  if (!reopen(dialog.chosen(), graph_.balance())) reopen(before, graph_.balance());
  mnuSnap->setEnabled(true);
}

void frmWebcame::mnuCameraSave_Click() {
  if (!graph_.isOpen()) return;
  QString error;
  if (!camera::saveSettings(settingsPath(), camera::Settings{graph_.caps(), graph_.balance()}, &error)) {
    ui::msgBox(QStringLiteral("Pengaturan kamera gagal disimpan: ") + error, ui::vbExclamation);
    return;
  }
  mnuCameraLoad->setEnabled(true);
  setStatus(QStringLiteral(" Settings saved.  Viewing camera"));
}

void frmWebcame::mnuCameraLoad_Click() {
  if (!graph_.isOpen()) return;
  QString error;
  const auto settings = camera::loadSettings(settingsPath(), &error);
  if (!settings) {
    ui::msgBox(QStringLiteral("Pengaturan kamera tidak dapat dibaca: ") + error, ui::vbExclamation);
    return;
  }
  const QString before = graph_.caps();
  mnuSnap->setEnabled(false);
  if (view(settings->caps, settings->balance) == camera::Pipeline::Open::Ok) {
    setStatus(QStringLiteral(" Settings loaded.  Viewing camera"));
  } else if (settings->caps != before) {
    // The format in the file is not to be had: the camera goes on in the one it had.
    const QString why = graph_.error();
    if (reopen(before, settings->balance))
      ui::msgBox(QStringLiteral("Format kamera yang tersimpan (%1) tidak dapat dipakai: %2\r\n\r\nKamera tetap "
                                "ditampilkan dengan format sebelumnya.")
                     .arg(settings->caps, why),
                 ui::vbExclamation);
  } else {
    ui::msgBox(graph_.error(), ui::vbOKOnly);
  }
  mnuSnap->setEnabled(true);
}

void frmWebcame::mnuSnap_Click() {
  try {
    pollFrame();
    // Only a running preview gives a new snapshot; a snapshot being cropped may be taken
    // again. The last picture of a camera that stopped is an old one, perhaps of someone
    // else, and must not become a photo.
    if (!graph_.isRunning() && !Selecting) {
      if (!stopped_) throw vb::VbError(5, QString(), QStringLiteral("Belum ada gambar dari kamera"));
      ui::msgBox(QStringLiteral("Kamera berhenti mengirim gambar, jadi tidak ada gambar yang diambil. Sambungkan "
                                "kamera lagi, lalu tutup jendela ini dan pilih kameranya kembali."),
                 ui::vbExclamation);
      return;
    }
    QImage frame = videoWindow->frame();
    if (frame.isNull()) throw vb::VbError(5, QString(), QStringLiteral("Belum ada gambar dari kamera"));
    DirectShowDIB& dib = DirectShowDIB::instance();
    const QImage pic = dib.CreatePicture(DirectShowDIB::packFrame(frame));
    if (pic.isNull()) {
      setStatus(QStringLiteral(" Capture failed.  Error: ") + dib.LastDescription);
    } else {
      PicSave::instance().SavePicture(pic, QStringLiteral("temp.jpg"), 1, 70);
      setStatus(QStringLiteral(" Snapped.  Viewing camera"));
    }
    stopPreview();
    photobox::PictureFile file = photobox::readPictureFile(QDir::current().filePath(QStringLiteral("temp.jpg")));
    if (file.status == photobox::PictureFile::Status::Missing)
      throw vb::VbError(vb::kErrFileNotFound, QString(), QStringLiteral("File not found"));
    if (file.status != photobox::PictureFile::Status::Ok)
      throw vb::VbError(vb::kErrInvalidPicture, QString(), QStringLiteral("Invalid picture"));
    picSource->clearSelection();
    picSource->setPicture(std::move(file.image));
    layoutClient();
    crop_gambar();
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbOKOnly);
  }
}

std::optional<QSize> frmWebcame::cropSize() const {
  bool okW = false, okH = false;
  const double w = txtSelWidth->text().trimmed().toDouble(&okW), h = txtSelHeight->text().trimmed().toDouble(&okH);
  // Beyond any picture a camera gives; the crop is cut to the snapshot anyway.
  constexpr double kMax = 100000;
  if (!okW || !okH || !(w >= 0.5 && w < kMax) || !(h >= 0.5 && h < kMax)) return std::nullopt;
  const QSize size(int(vb::vbRound(w)), int(vb::vbRound(h)));
  if (size.isEmpty()) return std::nullopt;
  return size;
}

void frmWebcame::crop_gambar() {
  Selecting = true;
  SelColor = 0xFFFFFF;
  crop_ = QImage();
  picDest->clear();
  const auto size = cropSize();
  if (!size) throw vb::VbError(13, QString(), QStringLiteral("Ukuran seleksi harus berupa angka lebih dari 0"));
  picDest->resize(size->boundedTo(picSource->picture().size()));
  picDest->raise();
  Frame2->raise();
  lblStatus->raise();
}

void frmWebcame::updateCrop(QPointF pos) {
  const auto size = cropSize();
  if (!size || picSource->picture().isNull()) return;
  const QRect r = capture::cropRect(pos, *size, picSource->picture().size());
  picSource->setSelection(r, SelColor);
  crop_ = picSource->picture().copy(r);
  picDest->resize(r.size());
  picDest->setPixmap(QPixmap::fromImage(crop_));
}

void frmWebcame::picSource_MouseMove(QPointF pos) {
  if (!Selecting) return;
  SelColor = SelColor == 0 ? 0xFFFFFF : 0;
  updateCrop(pos);
}

void frmWebcame::picSource_Click(QPointF pos) {
  if (!Selecting) return;
  updateCrop(pos);  // the crop under the click, also when no move came before it
  if (crop_.isNull()) return;
  Selecting = false;
  if (!serahkanFoto(crop_)) Selecting = true;  // nothing handed over: the user may click again
}

bool frmWebcame::serahkanFoto(const QImage& crop) {
  if (crop.isNull()) return false;
  const QString file = vb::appPath(QStringLiteral("test.jpg"));
  QByteArray bmp;
  QBuffer buffer(&bmp);
  QString why;
  if (!buffer.open(QIODevice::WriteOnly) || !crop.save(&buffer, "BMP") || !vb::replaceFileBytes(file, bmp, &why)) {
    // The receiver keeps what it shows: an older "test.jpg" is another member's photo.
    ui::msgBox(QStringLiteral("Foto tidak dapat diserahkan: %1 tidak dapat ditulis (%2).").arg(file, why),
               ui::vbExclamation);
    return false;
  }

  const bool forEntry = Caption() == QLatin1String("Input");
  forms::Form* target = nullptr;
  photobox::PhotoBox* box = nullptr;
  if (forEntry) {
    auto* w = forms::get<frmAggota>();
    target = w;
    box = w->Image1;
  } else {
    auto* w = forms::get<Frmcari>();
    target = w;
    box = w->Image2;
  }
  try {
    photobox::PhotoBoxGlobal::loadInto(*box, file);
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbExclamation);
  }
  box->Stretch = true;
  forms::showFront(target);
  if (graph_.isOpen()) StartViewing();
  hide();
  return true;
}

void frmWebcame::Form_Unload() {
  frameTimer_.stop();
  graph_.close();
}
