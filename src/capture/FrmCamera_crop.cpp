// The snapshot, the crop rectangle, and handing the crop over.
#include <QCoreApplication>

#include "CropRect.h"
#include "FrmCamera.h"
#include "Frmcari.h"
#include "Module2.h"
#include "Modulekamera.h"
#include "dc.h"
#include "frmAggota.h"
#include "mJpegWriter.h"
#include "msgbox.h"
#include "photobox.h"
#include "screen.h"
#include "twips.h"
#include "vb.h"

void FrmCamera::DrawRectangle(PictureBox* picIn, int X1, int Y1, int X2, int Y2, std::uint32_t lColor) {
  // Four one-pixel fills straight on the surface: no copy of the picture per mouse move.
  const QRgb c = qRgb(int(lColor & 0xFF), int((lColor >> 8) & 0xFF), int((lColor >> 16) & 0xFF));
  const gdi::Handle dc = picIn->hDC();
  const int w = X2 - X1, h = Y2 - Y1;
  if (w > 0 && h > 0) {
    gdi::fillRect(dc, QRect(X1, Y1, w, 1), c);
    gdi::fillRect(dc, QRect(X1, Y2 - 1, w, 1), c);
    gdi::fillRect(dc, QRect(X1, Y1, 1, h), c);
    gdi::fillRect(dc, QRect(X2 - 1, Y1, 1, h), c);
  }
  picIn->update();
  QCoreApplication::processEvents();
}

void FrmCamera::cmdSnap_Click() {
  if (!graph_) return;
  long hr = camgraph::S_OK;
  if (!vb::resumeNext([&] { graph_->Pause(); })) hr = camgraph::E_FAIL;
  if (hr != camgraph::E_FAIL) hr = waitForState(*graph_, camgraph::State_Paused, 16);
  if (hr == camgraph::E_FAIL) {
    ui::msgBox(QStringLiteral("Failed to pause webcam preview for snapshot!"), ui::vbExclamation);
    return;
  }
  const std::int64_t w = graph_->VideoWidth(), h = graph_->VideoHeight();
  std::vector<std::int32_t> buffer(std::size_t(w * h + 40), 0);
  std::int64_t size = std::int64_t(buffer.size()) * 4;
  try {
    graph_->GetCurrentImage(size, buffer);
    graph_->Run();
  } catch (const vb::VbError& e) {
    vb::resumeNext([&] { graph_->Run(); });
    ui::msgBox(e.description);
    return;
  }

  const gdi::Handle bitmap = Modulekamera::DIBkeBitmap(buffer);
  std::unique_ptr<Modulekamera::Picture> picture;
  if (bitmap) picture = Modulekamera::BitmapKePicture(bitmap, 0);
  if (picture) {
    picSnapshot->AutoRedraw = true;
    picSnapshot->paintStretched(picture->image());
    picSnapshot->AutoRedraw = false;
  } else if (bitmap) {
    gdi::deleteObject(bitmap);
  }

  picSource->show();
  picSource->setPicture(picSnapshot->Image());
  picBuffer->resize(picSource->Picture().size());
  picBuffer->setPicture(picSource->Picture());
  fillCropFromPicture(picSource->Picture());
  picDest->AutoRedraw = false;
  picSource->AutoRedraw = false;
  int cw = 0, ch = 0;
  if (!cropSize(cw, ch)) {
    selecting_ = false;
    ui::msgBox(QStringLiteral("Lebar dan tinggi seleksi harus bilangan bulat lebih dari 0."), ui::vbExclamation);
    return;
  }
  selecting_ = true;
  selColor_ = 0xFFFFFF;
  selection_ = QRect();
  // The crop box shows the crop, which is cut to a snapshot smaller than it.
  const QSize shown = QSize(cw, ch).boundedTo(snapshotSize());
  twips::setWidth(picDest, std::int64_t(gdi::screen().twipsPerPixelX()) * shown.width());
  twips::setHeight(picDest, std::int64_t(gdi::screen().twipsPerPixelY()) * shown.height());
  picDestBuffer->resize(picDest->size());
}

void FrmCamera::picSource_MouseMove(int, int, double X, double Y) {
  if (!selecting_) return;
  int cw = 0, ch = 0;
  if (!cropSize(cw, ch)) return;
  // Inside the snapshot, as in the webcam window: a crop past its edge would take pixels
  // that are no part of the picture.
  selection_ = capture::cropRect(QPointF(X, Y), QSize(cw, ch), snapshotSize());
  const int left = selection_.left(), top = selection_.top();
  cw = selection_.width();
  ch = selection_.height();
  if (picDest->size() != selection_.size()) {
    picDest->resize(selection_.size());
    picDestBuffer->resize(selection_.size());
  }
  selColor_ = selColor_ == 0 ? 0xFFFFFF : 0;

  gdi::bitBlt(picSource->hDC(), 0, 0, lblOrigWidth->text().toInt(), lblOrigHeight->text().toInt(), picBuffer->hDC(), 0,
              0, gdi::SRCCOPY);
  DrawRectangle(picSource, left - 1, top - 1, left + cw + 2, top + ch + 2, selColor_);
  gdi::bitBlt(picDestBuffer->hDC(), 0, 0, cw, ch, picSource->hDC(), left, top, gdi::SRCCOPY);
  gdi::bitBlt(picDest->hDC(), 0, 0, cw, ch, picDestBuffer->hDC(), 0, 0, gdi::SRCCOPY);
  picDest->update();
}

void FrmCamera::picSource_Click() {
  if (!selecting_) return;
  selecting_ = false;
  gdi::bitBlt(picSource->hDC(), 0, 0, int(picBuffer->ScaleWidth()), int(picBuffer->ScaleHeight()), picBuffer->hDC(), 0, 0,
              gdi::SRCCOPY);
  picSource->update();
  picDest->AutoRedraw = true;
  const int w = static_cast<int>(vb::vbRound(picDest->ScaleWidth()));
  const int h = static_cast<int>(vb::vbRound(picDest->ScaleHeight()));
  gdi::bitBlt(picDest->hDC(), 0, 0, w, h, picDestBuffer->hDC(), 0, 0, gdi::SRCCOPY);
  picDest->Refresh();
  cropDIB_.Create(w, h);
  cropDIB_.LoadPictureBlt(picDest->hDC(), 0, 0, w, h, gdi::SRCCOPY);
  picDest->Refresh();
  picSource->hide();
  Command1->setEnabled(true);
}

void FrmCamera::Command1_Click() {
  photobox::PhotoBox* target = nullptr;
  if (receiver_ == Receiver::EntryWindow) {
    auto* entry = forms::get<frmAggota>();
    if (entry->TextNis->text().isEmpty()) {
      ui::msgBox(QStringLiteral("Silakan pilih ") + entry->Label3->text() + QStringLiteral("  Terlebih dahulu"),
                 ui::vbExclamation, QStringLiteral("Lentavo"));
      forms::unload(this);
      return;
    }
    target = entry->Image1;
  } else {
    auto* main = forms::get<Frmcari>();
    if (main->Text2->text().isEmpty()) {
      ui::msgBox(QStringLiteral("Pilih ID NIS/Siswa pada Terlebih dahulu"), ui::vbExclamation, QStringLiteral("Lentavo"));
      forms::unload(this);
      return;
    }
    target = main->Image2;
  }
  const QString file = vb::appPath(QStringLiteral("photos/TEMP2.jpg"));
  QString why;
  bool written = false;
  try {
    written = mJpegWriter::SaveJPG(cropDIB_, file, 90);
  } catch (const vb::VbError& e) {
    why = e.description;
  }
  // A file that was not written now may be an older crop: it is never handed over, and the
  // crop stays here for another try.
  if (!written) {
    ui::msgBox(QStringLiteral("Foto hasil crop tidak dapat disimpan:") + QStringLiteral("\r\n") + why, ui::vbExclamation);
    return;
  }
  vb::resumeNext([&] { photobox::PhotoBoxGlobal::loadInto(*target, file); });
  forms::unload(this);
}

void FrmCamera::Command3_Click() { forms::unload(this); }

void FrmCamera::txtSelWidth_Change() {
  Module2::WriteINI(QStringLiteral("Form12"), QStringLiteral("textwidth"), txtSelWidth->text());
}

void FrmCamera::txtSelHeight_Change() {
  Module2::WriteINI(QStringLiteral("Form12"), QStringLiteral("textheight"), txtSelHeight->text());
}

void FrmCamera::txtSelWidth_LostFocus() {
  if (txtSelWidth->text().isEmpty()) txtSelWidth->setText(QStringLiteral("125"));
}

void FrmCamera::txtSelHeight_LostFocus() {
  if (txtSelHeight->text().isEmpty()) txtSelHeight->setText(QStringLiteral("150"));
}
