#pragma once
// The fixed-chain camera windows: a camera from the window's own list runs through the
// chain camera -> decompressor -> colour converter -> renderer; a snapshot of it is cropped
// with a rectangle of a set size that follows the mouse, and the crop goes to
// photos/TEMP2.jpg and into the receiving window's photo. FrmCamera hands it to the entry
// window, FrmCamera2 to the main window. Nothing in the program opens them.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "PictureBox.h"
#include "cBitmap24.h"
#include "filtergraph.h"
#include "forms.h"

class FrmCamera : public forms::Form {
  Q_OBJECT
 public:
  enum class Receiver { EntryWindow, MainWindow };
  explicit FrmCamera(Receiver receiver = Receiver::EntryWindow);
  ~FrmCamera() override;

  QWidget* client;  // the window's area below the menu; control positions count from it
  QLabel* imgPlaceHolder;
  PictureBox* picSnapshot;
  PictureBox* picDest;
  PictureBox* picSource;
  PictureBox* picBuffer;
  PictureBox* picDestBuffer;
  QLabel* videoWindow;  // where the renderer's frames are shown
  QLabel* lblOrigWidth;
  QLabel* lblOrigHeight;
  QGroupBox* Frame2;
  QLineEdit* txtSelWidth;
  QLineEdit* txtSelHeight;
  QLabel* Label12;
  QLabel* Label13;
  QGroupBox* Frame1;
  std::array<QLabel*, 4> Label3;
  QLabel* Label1;
  QLabel* Label2;
  QPushButton* cmdSnap;
  QPushButton* Command1;
  QPushButton* Command3;
  QMenuBar* menuBar;
  QMenu* mnuCameras;
  std::vector<QAction*> mnuCamerasChoice;
  QAction* mnuCamerasDiv1;
  QAction* mnuCamerasAddNew;
  QAction* mnuCamerasDiv2;
  QAction* mnuCamerasRemove;

  // Outlines the rectangle from (X1, Y1) to (X2 - 1, Y2 - 1) in `lColor` (0x00BBGGRR).
  void DrawRectangle(PictureBox* picIn, int X1, int Y1, int X2, int Y2, std::uint32_t lColor);

  void Form_Load() override;
  void Form_Unload() override;
  void cmdSnap_Click();
  void picSource_MouseMove(int Button, int Shift, double X, double Y);
  void picSource_Click();
  void Command1_Click();
  void Command3_Click();
  void mnuCamerasAddNew_Click();
  void mnuCamerasChoice_Click(int Index);
  void mnuCamerasRemove_Click();
  void txtSelWidth_Change();
  void txtSelHeight_Change();
  void txtSelWidth_LostFocus();
  void txtSelHeight_LostFocus();

  int CurrentCamera() const { return currentCamera_; }
  bool Selecting() const { return selecting_; }
  const cBitmap24& CropDIB() const { return cropDIB_; }
  // The crop the rectangle marks now, in pixels of the snapshot; empty before the first move.
  QRect Selection() const { return selection_; }
  camgraph::FilterGraph* Graph() const { return graph_.get(); }

  // How long a state change, and a camera's first frame, may take before it counts as failed.
  static constexpr int kStateWaitMs = 2000;
  static constexpr int kFirstFrameMs = 5000;
  // Asks the graph for its state every `sliceMs` until it reports `target`, fails, or
  // kStateWaitMs have passed; S_OK when reached, E_FAIL otherwise.
  static long waitForState(camgraph::FilterGraph& graph, long target, long sliceMs);

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  std::int16_t StartCamera(const QString& name);
  void StopCamera();
  void LoadCameraList();
  void SaveCameraList();
  bool IsCameraInMenu(const QString& name) const;
  void ShowCameraError(int code);
  QAction* addChoice();
  void fillCropFromPicture(const QImage& picture);
  bool cropSize(int& cw, int& ch) const;
  // The part of the snapshot that picSource holds: the crop never reaches past it.
  QSize snapshotSize() const;
  void showFrame();

  Receiver receiver_;
  std::unique_ptr<camgraph::FilterGraph> graph_;
  int currentCamera_ = -1;
  double previewWidth_ = 0;  // twips
  double videoRatio_ = 0;
  cBitmap24 cropDIB_;
  bool selecting_ = false;
  QRect selection_;
  std::uint32_t selColor_ = 0;
  QString lastError_;
  QTimer preview_;
};

class FrmCamera2 : public FrmCamera {
  Q_OBJECT
 public:
  FrmCamera2() : FrmCamera(Receiver::MainWindow) { setObjectName(QStringLiteral("FrmCamera2")); }
};
