#include "FrmCamera.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QVBoxLayout>

#include "BuildGraph.h"
#include "CameraListFile.h"
#include "Form2.h"
#include "Module2.h"
#include "dib.h"
#include "msgbox.h"
#include "named.h"
#include "screen.h"
#include "twips.h"
#include "vb.h"

namespace {

const QString kCrlf = QStringLiteral("\r\n");
const char* const kChain = "~Capture|AVI Decompressor|Color Space Converter|Video Renderer";
const char* const kLinks = "Capture~XForm In|XForm Out~Input|XForm Out~VMR Input0";

QLabel* label(QWidget* parent, const char* name, const QString& text) {
  auto* l = ui::named(new QLabel(text, parent), name);
  l->setWordWrap(true);
  return l;
}

}  // namespace

FrmCamera::FrmCamera(Receiver receiver) : receiver_(receiver) {
  setObjectName(QStringLiteral("FrmCamera"));
  setCaption(QStringLiteral("Camera"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  menuBar = ui::named(new QMenuBar(this), "menuBar");
  layout->setMenuBar(menuBar);
  client = new QWidget(this);
  // Wide enough for the snapshot beside the preview, which takes the preview's size.
  client->setFixedSize(twips::toPx(14280), twips::toPx(9600));
  layout->addWidget(client);

  imgPlaceHolder = label(client, "imgPlaceHolder", QString());
  imgPlaceHolder->setFrameShape(QFrame::Box);
  twips::setGeometry(imgPlaceHolder, 120, 480, 6855, 5400);
  picSnapshot = ui::named(new PictureBox(PictureBox::ScaleMode::Twips, client), "picSnapshot");
  twips::setGeometry(picSnapshot, 120, 480, 6855, 5400);
  picSnapshot->lower();
  videoWindow = label(client, "videoWindow", QString());
  videoWindow->setScaledContents(true);
  videoWindow->hide();
  picDest = ui::named(new PictureBox(PictureBox::ScaleMode::Pixels, client), "picDest");
  twips::setGeometry(picDest, 7200, 480, 1995, 555);
  picSource = ui::named(new PictureBox(PictureBox::ScaleMode::Pixels, client), "picSource");
  twips::setGeometry(picSource, 7200, 480, 4260, 4875);
  picBuffer = ui::named(new PictureBox(PictureBox::ScaleMode::Pixels, client), "picBuffer");
  twips::setGeometry(picBuffer, 2040, 0, 555, 675);
  picBuffer->hide();
  picDestBuffer = ui::named(new PictureBox(PictureBox::ScaleMode::Pixels, client), "picDestBuffer");
  twips::setGeometry(picDestBuffer, 1440, 0, 1455, 1155);
  picDestBuffer->hide();

  Label1 = label(client, "Label1", QStringLiteral("Preview"));
  twips::setGeometry(Label1, 120, 240, 2000, 240);
  Label2 = label(client, "Label2", QStringLiteral("Captured"));
  twips::setGeometry(Label2, 7200, 240, 2000, 240);
  lblOrigWidth = label(client, "lblOrigWidth", QStringLiteral("-"));
  twips::setGeometry(lblOrigWidth, 9360, 240, 900, 240);
  lblOrigHeight = label(client, "lblOrigHeight", QStringLiteral("-"));
  twips::setGeometry(lblOrigHeight, 10320, 240, 900, 240);

  Frame2 = ui::named(new QGroupBox(QStringLiteral("Crob Selection"), client), "Frame2");
  twips::setGeometry(Frame2, 240, 6240, 2895, 975);
  Label12 = label(Frame2, "Label12", QStringLiteral("Selection Width"));
  twips::setGeometry(Label12, 120, 240, 1500, 285);
  txtSelWidth = ui::named(new QLineEdit(QStringLiteral("200"), Frame2), "txtSelWidth");
  twips::setGeometry(txtSelWidth, 1680, 240, 1095, 285);
  Label13 = label(Frame2, "Label13", QStringLiteral("Selection Height"));
  twips::setGeometry(Label13, 120, 600, 1500, 285);
  txtSelHeight = ui::named(new QLineEdit(QStringLiteral("250"), Frame2), "txtSelHeight");
  twips::setGeometry(txtSelHeight, 1680, 600, 1095, 285);
  Label12->setBuddy(txtSelWidth);
  Label13->setBuddy(txtSelHeight);

  Frame1 = ui::named(new QGroupBox(QStringLiteral("Petunjuk"), client), "Frame1");
  twips::setGeometry(Frame1, 120, 7320, 14040, 2160);
  const QStringList hints = {
      QStringLiteral("1. Setting Kamera Terlebih Dahulu ( yang ada di Pojok kiri atas )"),
      QStringLiteral("2. Capture Image dari Kamera"),
      QStringLiteral("3. Arahkan Kursor ke Image hasil Capture, maka otomatis akan terbentuk area selection crob. "
                     "Kemudian Klik Area Selextion tersebut untuk meng-Crob atau memotong gambar."),
      QStringLiteral("4. Gunakan Foto Hasil Crob dengan menekan Tombol Gunakan Foto.")};
  auto* hintLayout = new QVBoxLayout(Frame1);
  for (int i = 0; i < 4; ++i) {
    Label3[i] = label(Frame1, "Label3", hints[i]);
    Label3[i]->setObjectName(QStringLiteral("Label3_%1").arg(i));
    hintLayout->addWidget(Label3[i]);
  }

  cmdSnap = ui::named(new QPushButton(QStringLiteral("&Capture"), client), "cmdSnap");
  twips::setGeometry(cmdSnap, 4560, 6480, 1695, 570);
  cmdSnap->setEnabled(false);
  Command1 = ui::named(new QPushButton(QStringLiteral("&Gunakan Foto"), client), "Command1");
  twips::setGeometry(Command1, 6840, 6480, 1815, 570);
  Command3 = ui::named(new QPushButton(QStringLiteral("&Tutup"), client), "Command3");
  twips::setGeometry(Command3, 9360, 6480, 1695, 570);

  mnuCameras = ui::named(menuBar->addMenu(QStringLiteral("Cameras")), "mnuCameras");
  addChoice()->setText(QStringLiteral("none"));
  mnuCamerasChoice[0]->setEnabled(false);
  mnuCamerasDiv1 = mnuCameras->addSeparator();
  mnuCamerasAddNew = mnuCameras->addAction(QStringLiteral("Add new camera..."));
  mnuCamerasAddNew->setObjectName(QStringLiteral("mnuCamerasAddNew"));
  mnuCamerasDiv2 = mnuCameras->addSeparator();
  mnuCamerasRemove = mnuCameras->addAction(QStringLiteral("Remove camera list"));
  mnuCamerasRemove->setObjectName(QStringLiteral("mnuCamerasRemove"));
  mnuCamerasRemove->setEnabled(false);

  connect(cmdSnap, &QPushButton::clicked, this, &FrmCamera::cmdSnap_Click);
  connect(Command1, &QPushButton::clicked, this, &FrmCamera::Command1_Click);
  connect(Command3, &QPushButton::clicked, this, &FrmCamera::Command3_Click);
  connect(picSource, &PictureBox::MouseMove, this, &FrmCamera::picSource_MouseMove);
  connect(picSource, &PictureBox::Click, this, &FrmCamera::picSource_Click);
  connect(mnuCamerasAddNew, &QAction::triggered, this, &FrmCamera::mnuCamerasAddNew_Click);
  connect(mnuCamerasRemove, &QAction::triggered, this, &FrmCamera::mnuCamerasRemove_Click);
  connect(txtSelWidth, &QLineEdit::textChanged, this, &FrmCamera::txtSelWidth_Change);
  connect(txtSelHeight, &QLineEdit::textChanged, this, &FrmCamera::txtSelHeight_Change);
  txtSelWidth->installEventFilter(this);
  txtSelHeight->installEventFilter(this);
  connect(&preview_, &QTimer::timeout, this, &FrmCamera::showFrame);
}

FrmCamera::~FrmCamera() = default;

QAction* FrmCamera::addChoice() {
  auto* a = new QAction(this);
  a->setCheckable(true);
  a->setObjectName(QStringLiteral("mnuCamerasChoice_%1").arg(mnuCamerasChoice.size()));
  const int index = static_cast<int>(mnuCamerasChoice.size());
  // The check marks are the handler's to set: undo the toggle the click made.
  connect(a, &QAction::triggered, this, [this, a, index](bool checked) {
    a->setChecked(!checked);
    mnuCamerasChoice_Click(index);
  });
  if (mnuCamerasChoice.empty())
    mnuCameras->addAction(a);
  else
    mnuCameras->insertAction(mnuCamerasDiv1, a);
  mnuCamerasChoice.push_back(a);
  return a;
}

bool FrmCamera::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusOut) {
    if (o == txtSelWidth) txtSelWidth_LostFocus();
    if (o == txtSelHeight) txtSelHeight_LostFocus();
  }
  return forms::Form::eventFilter(o, e);
}

void FrmCamera::Form_Load() {
  Command1->setEnabled(false);
  previewWidth_ = double(twips::width(picSnapshot)) - 2.0 * gdi::screen().twipsPerPixelX();
  LoadCameraList();
  if (currentCamera_ >= 0) {
    const int code = StartCamera(mnuCamerasChoice[currentCamera_]->text());
    if (code >= 0) ShowCameraError(code);
  }
  picBuffer->setPicture(picSource->Picture());
  fillCropFromPicture(picSource->Picture());
  picSource->resize(picSnapshot->size());
  txtSelWidth->setText(Module2::ReadINI(QStringLiteral("Form12"), QStringLiteral("textwidth"), txtSelWidth->text()));
  txtSelHeight->setText(Module2::ReadINI(QStringLiteral("Form12"), QStringLiteral("textheight"), txtSelHeight->text()));
}

void FrmCamera::Form_Unload() {
  preview_.stop();
  forms::unload<Form2>();
}

std::int16_t FrmCamera::StartCamera(const QString& name) {
  graph_ = std::make_unique<camgraph::FilterGraph>();
  try {
    const std::int16_t code = BuildGraph(*graph_, name + QLatin1String(kChain), QLatin1String(kLinks));
    if (code != -1) return code;
    // The frame size is known only once frames flow, so the graph runs before the window
    // is laid out for it.
    graph_->Run();
    if (!graph_->waitForFrame(kFirstFrameMs) || graph_->VideoWidth() <= 0 || graph_->VideoHeight() <= 0) {
      const QString why = graph_->lastError();
      throw vb::VbError(camgraph::kErrGraph, QStringLiteral("FilterGraph"),
                        why.isEmpty() ? QStringLiteral("The camera sends no picture") : why);
    }
  } catch (const vb::VbError& e) {
    lastError_ = e.description;
    graph_->Stop();
    return static_cast<std::int16_t>(e.number);
  }
  videoRatio_ = double(graph_->VideoHeight()) / double(graph_->VideoWidth());
  const int px = twips::kPerPixel;
  videoWindow->setGeometry(imgPlaceHolder->x(), imgPlaceHolder->y(), int(vb::vbRound(previewWidth_ / px)) + 2,
                           int(vb::vbRound(videoRatio_ * previewWidth_ / px)) + 2);
  twips::setHeight(picSnapshot, vb::vbRound(videoRatio_ * previewWidth_ + 2.0 * gdi::screen().twipsPerPixelY()));
  imgPlaceHolder->hide();
  videoWindow->show();
  videoWindow->raise();
  showFrame();
  preview_.start(40);
  cmdSnap->setEnabled(true);
  picSource->resize(picSnapshot->size());
  return -1;
}

void FrmCamera::showFrame() {
  if (!graph_) return;
  const QImage frame = graph_->currentFrame();
  if (!frame.isNull()) videoWindow->setPixmap(QPixmap::fromImage(frame));
}

long FrmCamera::waitForState(camgraph::FilterGraph& graph, long target, long sliceMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    long state = camgraph::State_Stopped;
    const long hr = graph.GetState(sliceMs, state);
    if (state == target && hr != camgraph::E_FAIL) return camgraph::S_OK;
    if (hr == camgraph::E_FAIL || clock.elapsed() >= kStateWaitMs) return camgraph::E_FAIL;
  }
}

void FrmCamera::StopCamera() {
  preview_.stop();
  if (graph_) {
    vb::resumeNext([&] { graph_->Stop(); });
    waitForState(*graph_, camgraph::State_Stopped, 40);
  }
  videoWindow->hide();
  videoWindow->clear();
  graph_.reset();
  imgPlaceHolder->show();
  cmdSnap->setEnabled(false);
}

void FrmCamera::LoadCameraList() {
  currentCamera_ = -1;
  CameraListFile::List list;
  switch (CameraListFile::read(list)) {
    case CameraListFile::Read::Missing:
      return;
    case CameraListFile::Read::TooLarge:
      // Left as it is, so the user may look at it; "Remove camera list" deletes it.
      ui::msgBox(QStringLiteral("Daftar kamera %1 terlalu besar (lebih dari %2 KB) dan tidak dibaca.")
                     .arg(CameraListFile::path())
                     .arg(CameraListFile::kMaxBytes / 1024),
                 ui::vbExclamation);
      mnuCamerasRemove->setEnabled(true);
      return;
    case CameraListFile::Read::Ok:
      break;
  }
  if (list.cut)
    ui::msgBox(QStringLiteral("Daftar kamera %1 memuat lebih dari %2 kamera; hanya %2 yang pertama dibaca.")
                   .arg(CameraListFile::path())
                   .arg(CameraListFile::kMaxCameras),
               ui::vbExclamation);
  bool ok = false;
  const int index = list.index.toInt(&ok);
  for (int i = 0; i < list.captions.size(); ++i) {
    QAction* item = i > 0 ? addChoice() : mnuCamerasChoice[0];
    item->setEnabled(true);
    item->setText(list.captions[i]);
    item->setChecked(ok && i == index);
  }
  // An index that names no item (a hand-edited file) counts as no current camera.
  if (ok && index >= 0 && index < int(mnuCamerasChoice.size())) currentCamera_ = index;
  mnuCamerasRemove->setEnabled(true);
}

void FrmCamera::SaveCameraList() {
  QStringList captions;
  for (QAction* a : mnuCamerasChoice) captions << a->text();
  if (!CameraListFile::write(currentCamera_, captions))
    ui::msgBox(QStringLiteral("Daftar kamera tidak dapat disimpan ke ") + CameraListFile::path(), ui::vbExclamation);
}

bool FrmCamera::IsCameraInMenu(const QString& name) const {
  if (currentCamera_ < 0) return false;
  for (QAction* a : mnuCamerasChoice)
    if (a->text() == name) return true;
  return false;
}

void FrmCamera::ShowCameraError(int code) {
  QAction* item = mnuCamerasChoice[currentCamera_];
  item->setChecked(false);
  const QString caption = item->text();
  currentCamera_ = -1;
  SaveCameraList();
  ui::msgBox(QStringLiteral("Selected camera failed, may not be connected:") + kCrlf + kCrlf + caption + kCrlf + kCrlf +
                 QStringLiteral("BuildGraph error ") + QString::number(code),
             ui::vbInformation);
}

void FrmCamera::mnuCamerasAddNew_Click() {
  // The list file keeps no more cameras than this; one more would be lost at the next load.
  // With no camera current the new one takes item 0, so the list does not grow.
  if (currentCamera_ >= 0 && mnuCamerasChoice.size() >= size_t(CameraListFile::kMaxCameras)) {
    ui::msgBox(QStringLiteral("Daftar kamera sudah penuh: paling banyak %1 kamera. Kamera baru tidak dapat "
                              "ditambahkan.\r\n\r\nPilih \"Remove camera list\" untuk mengosongkan daftar, lalu "
                              "tambahkan lagi kamera yang dipakai.")
                   .arg(CameraListFile::kMaxCameras),
               ui::vbExclamation);
    return;
  }
  auto* picker = forms::get<Form2>();
  forms::showModal(picker, this);
  if (!forms::isLoaded<Form2>() || !picker->Oked) return;
  const QString name = picker->CameraName;
  if (IsCameraInMenu(name)) {
    ui::msgBox(QStringLiteral("Camera:") + kCrlf + kCrlf + name + kCrlf + kCrlf + QStringLiteral("Is already in the menu."));
    return;
  }
  StopCamera();
  lastError_.clear();
  const int code = StartCamera(name);
  if (code >= 0) {
    ui::msgBox(QStringLiteral("This doesn't seems to be a valid webcam:") + kCrlf + kCrlf + name + kCrlf + kCrlf +
                   QStringLiteral("BuildGraph error ") + lastError_,
               ui::vbInformation);
    if (currentCamera_ > -1) {
      const int again = StartCamera(mnuCamerasChoice[currentCamera_]->text());
      if (again >= 0) ShowCameraError(again);
    }
    return;
  }
  if (currentCamera_ >= 0) {
    mnuCamerasChoice[currentCamera_]->setChecked(false);
    currentCamera_ = static_cast<int>(mnuCamerasChoice.size());
    addChoice();
  } else {
    currentCamera_ = 0;
  }
  QAction* item = mnuCamerasChoice[currentCamera_];
  item->setText(name);
  item->setChecked(true);
  item->setEnabled(true);
  SaveCameraList();
  mnuCamerasRemove->setEnabled(true);
}

void FrmCamera::mnuCamerasChoice_Click(int Index) {
  if (Index == currentCamera_) return;
  if (currentCamera_ >= 0) {
    StopCamera();
    mnuCamerasChoice[currentCamera_]->setChecked(false);
  }
  currentCamera_ = Index;
  mnuCamerasChoice[Index]->setChecked(true);
  const int code = StartCamera(mnuCamerasChoice[Index]->text());
  if (code >= 0)
    ShowCameraError(code);
  else
    SaveCameraList();
}

void FrmCamera::mnuCamerasRemove_Click() {
  StopCamera();
  currentCamera_ = -1;
  mnuCamerasChoice[0]->setText(QStringLiteral("none"));
  mnuCamerasChoice[0]->setEnabled(false);
  while (mnuCamerasChoice.size() > 1) {
    delete mnuCamerasChoice.back();
    mnuCamerasChoice.pop_back();
  }
  mnuCamerasRemove->setEnabled(false);
  QFile::remove(CameraListFile::path());
  picSource->resize(imgPlaceHolder->size());
}

void FrmCamera::fillCropFromPicture(const QImage& picture) {
  gdi::Handle h = 0;
  if (!picture.isNull()) {
    h = gdi::createDIBSection(picture.width(), picture.height(), 32);
    if (auto dib = gdi::find<gdi::Dib>(h)) dib->fromImage(picture.convertToFormat(QImage::Format_RGB32));
  }
  cropDIB_.CreateFromPicture(h);
  if (h) gdi::deleteObject(h);
  lblOrigWidth->setText(QString::number(cropDIB_.Width()));
  lblOrigHeight->setText(QString::number(cropDIB_.Height()));
}

bool FrmCamera::cropSize(int& cw, int& ch) const {
  bool okW = false, okH = false;
  cw = txtSelWidth->text().trimmed().toInt(&okW);
  ch = txtSelHeight->text().trimmed().toInt(&okH);
  return okW && okH && cw > 0 && ch > 0 && cw <= gdi::kMaxDibSide && ch <= gdi::kMaxDibSide;
}

QSize FrmCamera::snapshotSize() const { return picSource->Picture().size().boundedTo(picSource->size()); }
