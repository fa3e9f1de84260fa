#include "cBitmap24.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "msgbox.h"
#include "program_name.h"
#include "vb.h"

namespace {
constexpr long kErrOverflow = 6;
constexpr long kErrSubscript = 9;

[[noreturn]] void raiseRuntime(long number, const char* description) {
  throw vb::VbError(number, imaging::programName(), QString::fromLatin1(description));
}

std::uint8_t channel(double v) {
  const long long r = vb::vbRound(v);
  return std::uint8_t(std::clamp<long long>(r, 0, 255));
}
}  // namespace

cBitmap24::~cBitmap24() { ClearUp(); }

bool cBitmap24::CreateDIB(gdi::Handle /*lhDC*/, std::int32_t lWidth, std::int32_t lHeight, gdi::Handle& hDib) {
  width_ = lWidth;
  height_ = lHeight;
  hDib = 0;
  bits_ = nullptr;
  // Only bottom-up bitmaps of at least one pixel (the writer and the resampler rely on it),
  // and none larger than a bitmap may be: each side is checked before the size is reckoned,
  // in 64 bits, so no request wraps round.
  if (lWidth <= 0 || lHeight <= 0 || lWidth > gdi::kMaxDibSide || lHeight > gdi::kMaxDibSide) return false;
  const std::int64_t stride = (std::int64_t(lWidth) * 3 + 3) & ~std::int64_t(3);
  if (stride * lHeight > gdi::kMaxDibBytes) return false;
  hDib = gdi::createDIBSection(lWidth, lHeight, 24, &bits_);
  return hDib != 0;
}

bool cBitmap24::Create(std::int32_t lWidth, std::int32_t lHeight) {
  ClearUp();
  hDC_ = gdi::createCompatibleDC(0);
  if (hDC_ == 0) return false;
  if (CreateDIB(hDC_, lWidth, lHeight, hDib_)) {
    hBmpOld_ = gdi::selectObject(hDC_, hDib_);
    if (hBmpOld_ != 0) return true;
    gdi::deleteObject(hDib_);
  }
  gdi::deleteDC(hDC_);
  hDC_ = 0;
  hDib_ = 0;
  bits_ = nullptr;
  return false;
}

void cBitmap24::ClearUp() {
  if (hDC_ != 0) {
    if (hDib_ != 0) {
      gdi::selectObject(hDC_, hBmpOld_);
      gdi::deleteObject(hDib_);
    }
    gdi::deleteDC(hDC_);
  }
  hDib_ = 0;
  hBmpOld_ = 0;
  hDC_ = 0;
  bits_ = nullptr;
}

std::int32_t cBitmap24::BytesPerScanLine() const {
  const std::int64_t stride = (std::int64_t(width_) * 3 + 3) & ~std::int64_t(3);
  if (stride > std::numeric_limits<std::int32_t>::max() || stride < std::numeric_limits<std::int32_t>::min())
    raiseRuntime(kErrOverflow, "Overflow");
  return std::int32_t(stride);
}

void cBitmap24::CreateFromPicture(gdi::Handle picThis) {
  gdi::BitmapInfo bm;
  gdi::getBitmapInfo(picThis, bm);  // an unknown handle leaves 0 x 0, which Create refuses
  if (!Create(bm.width, bm.height)) return;
  const gdi::Handle screen = gdi::getDC(0);
  if (screen == 0) return;
  const gdi::Handle dc = gdi::createCompatibleDC(screen);
  gdi::releaseDC(0, screen);
  if (dc == 0) return;
  const gdi::Handle old = gdi::selectObject(dc, picThis);
  if (old != 0) {  // a bitmap held by another context can't be read: the copy stays black
    LoadPictureBlt(dc, 0, 0, -1, -1, gdi::SRCCOPY);
    gdi::selectObject(dc, old);
  }
  gdi::deleteDC(dc);
}

void cBitmap24::LoadPictureBlt(gdi::Handle lhDC, std::int32_t lSrcLeft, std::int32_t lSrcTop, std::int32_t lSrcWidth,
                               std::int32_t lSrcHeight, std::uint32_t eRop) {
  if (lSrcWidth < 0) lSrcWidth = width_;
  if (lSrcHeight < 0) lSrcHeight = height_;
  gdi::bitBlt(hDC_, 0, 0, lSrcWidth, lSrcHeight, lhDC, lSrcLeft, lSrcTop, eRop);
}

void cBitmap24::PaintPicture(gdi::Handle lhDC, std::int32_t lDestLeft, std::int32_t lDestTop, std::int32_t lDestWidth,
                             std::int32_t lDestHeight, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                             std::uint32_t eRop) {
  if (lDestWidth < 0) lDestWidth = width_;
  if (lDestHeight < 0) lDestHeight = height_;
  gdi::bitBlt(lhDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, hDC_, lSrcLeft, lSrcTop, eRop);
}

bool cBitmap24::CopyToClipboard(bool bAsDIB) {
  const gdi::Handle screen = gdi::getDC(0);
  if (screen == 0) return false;
  const gdi::Handle dc = gdi::createCompatibleDC(screen);
  if (dc == 0) {
    gdi::releaseDC(0, screen);
    return false;
  }
  bool result = false;
  if (bAsDIB) {
    ui::msgBox(QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"),
               ui::vbOKOnly);
  } else if (const gdi::Handle bmp = gdi::createCompatibleBitmap(screen, width_, height_)) {
    const gdi::Handle old = gdi::selectObject(dc, bmp);
    PaintPicture(dc, 0, 0, -1, -1, 0, 0, gdi::SRCCOPY);
    QImage image;
    if (auto surface = gdi::surfaceOf(dc)) image = surface->toImage();
    gdi::selectObject(dc, old);
    // The clipboard keeps its own copy, so the bitmap goes whether or not it got there.
    gdi::deleteObject(bmp);
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app && !image.isNull()) {
      if (image.format() == QImage::Format_ARGB32) image.reinterpretAsFormat(QImage::Format_RGB32);
      QGuiApplication::clipboard()->setImage(image);
      result = true;
    }
  }
  gdi::deleteDC(dc);
  gdi::releaseDC(0, screen);
  return result;
}

void cBitmap24::RandomiseBits(bool bGray) {
  if (!bits_) return;
  const std::int32_t stride = BytesPerScanLine();
  std::mt19937 gen(unsigned(QTime::currentTime().msecsSinceStartOfDay() / 1000));
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  auto next = [&] { return channel(uniform(gen) * 255.0); };
  const std::int64_t last = std::int64_t(width_ - 1) * 3;
  if (!bGray) {
    for (std::int64_t c = 0; c <= last; c += 3)
      for (std::int32_t y = 0; y < height_; ++y) {
        std::uint8_t* p = bits_ + std::int64_t(y) * stride + c;
        p[0] = 0;
        p[1] = next();
        p[2] = next();
      }
  } else {
    for (std::int32_t y = 0; y < height_; ++y)
      for (std::int64_t c = 0; c <= last; c += 3) {
        std::uint8_t* p = bits_ + std::int64_t(y) * stride + c;
        p[0] = p[1] = p[2] = next();
      }
  }
}

std::unique_ptr<cBitmap24> cBitmap24::Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) {
  if (!bits_) return nullptr;  // nothing to read from
  auto result = std::make_unique<cBitmap24>();
  if (!result->Create(lNewWidth, lNewHeight)) return nullptr;
  if (lNewWidth == width_ && lNewHeight == height_)
    result->LoadPictureBlt(hDC_, 0, 0, -1, -1, gdi::SRCCOPY);
  else
    ResampleDib(*result);
  return result;
}

void cBitmap24::ResampleDib(cBitmap24& dest) {
  const std::int64_t sStride = BytesPerScanLine(), dStride = dest.BytesPerScanLine();
  const std::int32_t sHeight = height_, dWidth = dest.width_, dHeight = dest.height_;
  const std::uint8_t* src = bits_;
  std::uint8_t* dst = dest.bits_;
  const float xScale = float(double(width_ - 1) / double(dWidth));
  const float yScale = float(double(height_ - 1) / double(dHeight));
  for (std::int32_t y = 0; y < dHeight; ++y) {
    const float yPos = float(double(yScale) * y);
    const std::int64_t y0 = std::int64_t(std::floor(yPos));
    const double fy = float(yPos - float(y0));
    // Both rows are read: a source one pixel high stops here, before any read.
    if (y0 < 0 || y0 + 1 >= sHeight) raiseRuntime(kErrSubscript, "Subscript out of range");
    const std::uint8_t* r0 = src + y0 * sStride;
    const std::uint8_t* r1 = r0 + sStride;
    std::uint8_t* out = dst + std::int64_t(y) * dStride;
    for (std::int32_t x = 0; x < dWidth; ++x) {
      const float xPos = float(double(xScale) * x);
      const std::int64_t x0 = std::int64_t(std::floor(xPos));
      const double fx = float(xPos - float(x0));
      const std::int64_t b = x0 * 3;
      if (b < 0 || b + 5 >= sStride) raiseRuntime(kErrSubscript, "Subscript out of range");
      for (int k = 0; k < 3; ++k) {
        const double left = double(vb::vbRound((1.0 - fy) * r0[b + k] + fy * r1[b + k]));
        const double right = double(vb::vbRound((1.0 - fy) * r0[b + 3 + k] + fy * r1[b + 3 + k]));
        out[x * 3 + k] = channel((1.0 - fx) * left + fx * right);
      }
    }
  }
}
