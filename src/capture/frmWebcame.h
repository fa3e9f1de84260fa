#pragma once
// The webcam window. Its caption, set by the opener, says who receives the photo:
// "Input" the entry window, anything else the main window. It lists the cameras, shows
// the chosen one live, takes a snapshot, lets a crop rectangle of the size in the boxes
// follow the mouse and hands the crop over on a click.
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <optional>
#include <vector>

#include "devices.h"
#include "forms.h"
#include "pipeline.h"
#include "webcamviews.h"

class frmWebcame : public forms::Form {
  Q_OBJECT
 public:
  frmWebcame();
  ~frmWebcame() override;

  QMenuBar* menuBar;
  QMenu* mnuCameraS;                       // "Choose a camera"
  std::vector<QAction*> mnuCamerasCamera;  // one item per device, index = device index
  QAction* mnuSnap;                        // "Capture"
  QMenu* mnuCamera;                        // the chosen camera's name
  QAction* mnuCameraproperties;
  QAction* mnuCameraCapproperties;
  QAction* mnuCameraSave;
  QAction* mnuCameraLoad;

  QWidget* client;  // the client area under the menu bar
  SnapshotView* picSource;
  VideoView* videoWindow;
  QLabel* picDest;
  QGroupBox* Frame2;
  QLabel* Label12;
  QLineEdit* txtSelWidth;
  QLabel* Label13;
  QLineEdit* txtSelHeight;
  QLabel* lblStatus;

  void Form_Load() override;
  void Form_Unload() override;
  void mnuCamerasCamera_Click(int index);
  void mnuCameraproperties_Click();
  void mnuCameraCapproperties_Click();
  void mnuCameraSave_Click();
  void mnuCameraLoad_Click();
  void mnuSnap_Click();
  void picSource_MouseMove(QPointF pos);
  void picSource_Click(QPointF pos);
  void crop_gambar();

  // Hands a cropped picture over: writes it as "test.jpg" in the program folder (a
  // bitmap file despite its name), shows it in the receiving window's photo and shows
  // that window, restarts the preview and hides this one. When the file cannot be
  // written the user is told and nothing is handed over. Nothing is written under "photos".
  bool serahkanFoto(const QImage& crop);

  bool Selecting = false;
  QRgb SelColor = 0;
  camera::Pipeline& pipeline() { return graph_; }
  // The status line; its tooltip is the text without the leading blank.
  void setStatus(const QString& text);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  bool StartViewing();
  // StartViewing without a word: false, with the reason in the pipeline's error, when the
  // camera gives no picture.
  bool startPreview();
  void stopPreview();
  // Opens the chosen camera in `caps` ("" the camera's own format) and starts the preview,
  // quietly; the caller reports a failure.
  camera::Pipeline::Open view(const QString& caps, const camera::Balance& balance);
  // view, and the failure's reason in a message box.
  bool reopen(const QString& caps, const camera::Balance& balance);
  void pollFrame();
  void layoutClient();
  void updateCrop(QPointF pos);
  std::optional<QSize> cropSize() const;
  QString settingsPath() const;

  std::vector<camera::Device> Devices;
  QString cameraName_;
  QString source_;
  camera::Pipeline graph_;
  QTimer frameTimer_;
  QImage crop_;
  bool stopped_ = false;  // the camera stopped sending on its own; the picture shown is its last
};
