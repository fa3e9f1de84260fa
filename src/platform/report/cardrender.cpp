#include "cardrender.h"

#include <zint.h>

#include <QFileInfo>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <future>

#include "photofile.h"
#include "qrcode.h"
#include "vb.h"

namespace report {
namespace {

// Pictures are decoded no finer than this: sharp in print, small in a PDF.
constexpr double kPrintDpi = 300.0;
// The preview holds the pictures of every page in memory. Its photos get what a screen
// shows of a card in a large window, and less for a large job, so that the photos of all
// its cards stay within a budget: 5,000 cards still show theirs at about 115 dpi.
constexpr double kPreviewDpi = 200.0;
constexpr double kPreviewMinDpi = 72.0;
constexpr double kPreviewPhotoBytes = 128.0 * 1024 * 1024;

QSize pixelsAt(QSizeF mm, double dpi) {
  return QSize(qMax(1, int(std::ceil(mm.width() * dpi / 25.4))), qMax(1, int(std::ceil(mm.height() * dpi / 25.4))));
}

// The rectangle of `size` fitted into `box`, centred, in proportion.
QRectF fitted(QSizeF size, const QRectF& box) {
  if (size.isEmpty()) return box;
  const QSizeF s = size.scaled(box.size(), Qt::KeepAspectRatio);
  return QRectF(box.center().x() - s.width() / 2, box.center().y() - s.height() / 2, s.width(), s.height());
}

// A QR picture as one bit a pixel: dark modules black, the rest white.
QImage toMono(const QImage& img) {
  const QImage gray = img.convertToFormat(QImage::Format_Grayscale8);
  QImage mono(gray.size(), QImage::Format_Mono);
  mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < gray.height(); ++y) {
    const uchar* src = gray.constScanLine(y);
    uchar* dst = mono.scanLine(y);  // most significant bit first; 1 is white
    std::memset(dst, 0, size_t(mono.bytesPerLine()));
    for (int x = 0; x < gray.width(); ++x)
      if (src[x] >= 128) dst[x >> 3] |= uchar(0x80 >> (x & 7));
  }
  return mono;
}

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

// The member photo of a `nis`, under the name the entry window saves it.
QImage memberPhoto(const QString& nis, QSize maxPx) { return loadPicture(photobox::memberPhotoFile(nis), maxPx); }

// Reads items 0, 1, 2, ... on the pool's threads a bounded number ahead of the one taken,
// so decoding runs beside the drawing without holding every card's pictures at once.
template <class T>
class ReadAhead {
 public:
  ReadAhead(int count, std::function<T(int)> read)
      : count_(count), depth_(qMax(2, 2 * QThreadPool::globalInstance()->maxThreadCount())), read_(std::move(read)) {}
  ~ReadAhead() {
    for (auto& f : pending_) f.wait();  // the tasks use this object
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next item, in order.
  T take() {
    while (next_ < count_ && int(pending_.size()) < depth_) {
      auto task = std::make_shared<std::packaged_task<T()>>([this, i = next_] { return read_(i); });
      pending_.push_back(task->get_future());
      QThreadPool::globalInstance()->start([task] { (*task)(); });
      ++next_;
    }
    T item = pending_.front().get();
    pending_.pop_front();
    return item;
  }

 private:
  const int count_, depth_;
  const std::function<T(int)> read_;
  int next_ = 0;
  std::deque<std::future<T>> pending_;
};

}  // namespace

QImage loadPicture(const QString& file, QSize maxPx, bool keepAspect) {
  // The photo layer's reader: the same limits and orientation as the windows.
  QImage img = photobox::readPictureFile(file, maxPx, keepAspect).image;
  if (img.isNull()) return {};
  if (img.hasAlphaChannel()) {
    // Opaque over white: the PDF then keeps it as a plain JPEG without a mask.
    QImage opaque(img.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter p(&opaque);
    p.drawImage(0, 0, img);
    return opaque;
  }
  if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_Grayscale8)
    img = img.convertToFormat(QImage::Format_RGB32);
  return img;
}

void drawCode128(QPainter& p, const QRectF& box, const QString& text, double maxModule) {
  const QByteArray data = text.toUtf8();
  if (data.isEmpty() || data.size() > 160) return;
  std::unique_ptr<zint_symbol, SymbolDeleter> sym(ZBarcode_Create());
  if (!sym) return;
  sym->symbology = BARCODE_CODE128;
  sym->input_mode = UNICODE_MODE;
  sym->show_hrt = 0;
  sym->whitespace_width = 10;  // the quiet zone a scanner needs on both sides
  const int rc = ZBarcode_Encode_and_Buffer_Vector(sym.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                                                   int(data.size()), 0);
  const zint_vector* v = sym->vector;
  if (rc >= ZINT_ERROR || !v || v->width <= 0 || v->height <= 0) return;
  const double unit = std::min(box.width() / v->width, maxModule);
  const double w = v->width * unit;
  const QRectF area(box.center().x() - w / 2, box.top(), w, box.height());
  const double sy = box.height() / v->height;
  p.fillRect(area, Qt::white);
  for (const zint_vector_rect* r = v->rectangles; r; r = r->next) {
    if (r->colour != -1 && r->colour != 7) continue;  // only the bars (foreground or black)
    p.fillRect(QRectF(area.left() + r->x * unit, area.top() + r->y * sy, r->width * unit, r->height * sy), Qt::black);
  }
}

struct CardRenderer::Scale {
  double kx = 1, ky = 1;  // device pixels per millimetre
  QRectF px(const QRectF& mm) const { return QRectF(mm.x() * kx, mm.y() * ky, mm.width() * kx, mm.height() * ky); }
  QPointF px(QPointF mm) const { return QPointF(mm.x() * kx, mm.y() * ky); }
};

CardRenderer::CardRenderer(Job job, std::shared_ptr<const CardTemplate> tpl)
    : job_(std::move(job)), tpl_(std::move(tpl)), folder_(vb::programFolder()) {
  for (int i = 0; i < job_.fieldNames.size(); ++i) {
    const QString key = job_.fieldNames.at(i).toLower();
    if (!fieldIndex_.contains(key)) fieldIndex_.insert(key, i);
  }
  front_ = cardface::front(job_.face);
  back_ = cardface::back(job_.face);
  if (!tpl_->background.isEmpty())
    background_ = loadPicture(vb::appPath(tpl_->background), pixelsAt(tpl_->card, kPrintDpi), false);
}

double CardRenderer::pictureDpi() const {
  if (!preview_) return kPrintDpi;
  double mm2 = 0;  // photo area of all the cards
  for (const Element& e : tpl_->elements)
    if (e.kind == Element::Kind::Photo) mm2 += e.box.width() * e.box.height() * cardCount();
  if (mm2 <= 0) return kPreviewDpi;
  const double dpi = 25.4 * std::sqrt(kPreviewPhotoBytes / (3.0 * mm2));  // three bytes a pixel
  return std::clamp(dpi, kPreviewMinDpi, kPreviewDpi);
}

int CardRenderer::pageCount() const {
  const int per = tpl_->cardsPerPage();
  return per > 0 ? (cardCount() + per - 1) / per : 0;
}

QPageLayout CardRenderer::pageLayout() const {
  const QPageSize size =
      tpl_->page == CardTemplate::Page::A4
          ? QPageSize(QPageSize::A4)
          : QPageSize(tpl_->card, QPageSize::Millimeter, QStringLiteral("CR80"), QPageSize::ExactMatch);
  return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QVariant CardRenderer::value(const QVariantList& row, const QString& field) const {
  const auto it = fieldIndex_.constFind(field.toLower());
  if (it == fieldIndex_.constEnd() || *it >= row.size()) return {};
  return row.at(*it);
}

QImage CardRenderer::forShow(const QImage& img) const {
  // The preview keeps a copy of each picture it is given in a format of its own, four
  // bytes a pixel, unless the picture is drawn without conversion: then it keeps three
  // bytes a pixel of a photo and one of a QR code, a pixel a module, which the preview
  // shows without smoothing.
  if (!preview_ || img.isNull()) return img;
  return img.convertToFormat(img.depth() == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
}

CardRenderer::Pictures CardRenderer::readPictures(const QVariantList& row) const {
  Pictures pics;
  pics.byElement.resize(tpl_->elements.size());
  pics.qrModules.resize(tpl_->elements.size());
  try {
    for (size_t i = 0; i < tpl_->elements.size(); ++i) {
      const Element& e = tpl_->elements[i];
      const QSize boxPx = pixelsAt(e.box.size(), pictureDpi());
      if (e.kind == Element::Kind::Photo) {
        pics.byElement[i] = forShow(memberPhoto(vb::text(value(row, QStringLiteral("nis"))), boxPx));
      } else if (e.kind == Element::Kind::QrImage) {
        // QR pictures are named by the member id; a row without a member has none.
        bool ok = false;
        const qlonglong id = value(row, QStringLiteral("id")).toLongLong(&ok);
        if (!ok || id < 0) continue;
        const QString file = folder_ + QStringLiteral("/barcode/%1.jpg").arg(id);
        const QString text = vb::text(value(row, QStringLiteral("barcode")));
        if (barcode::qrJpegShows(text, file)) {
          // The picture holds this very symbol: drawn from its modules it stays sharp.
          pics.byElement[i] = forShow(barcode::qrModules(text));
          pics.qrModules[i] = !preview_;
        } else {
          const QImage img = loadPicture(file, preview_ ? boxPx : QSize(1200, 1200));
          if (!img.isNull()) pics.byElement[i] = forShow(toMono(img));
        }
      }
    }
  } catch (...) {
    // A picture that cannot be read is left out, as a missing one is.
  }
  return pics;
}

bool CardRenderer::render(QPainter& p, const std::function<bool()>& newPage) {
  const int per = tpl_->cardsPerPage();
  if (per < 1) return false;
  Scale s;
  s.kx = p.device()->logicalDpiX() / 25.4;
  s.ky = p.device()->logicalDpiY() / 25.4;
  // One blank photo for every card, so a PDF stores it once.
  std::vector<QImage> blanks(tpl_->elements.size());
  for (size_t i = 0; i < tpl_->elements.size(); ++i)
    if (tpl_->elements[i].kind == Element::Kind::Photo)
      blanks[i] =
          forShow(loadPicture(photobox::blankPhotoFile(), pixelsAt(tpl_->elements[i].box.size(), pictureDpi())));
  ReadAhead<Pictures> pictures(cardCount(), [this](int i) { return readPictures(job_.rows[size_t(i)]); });
  for (int i = 0; i < cardCount(); ++i) {
    const int slot = i % per;
    if (i > 0 && slot == 0 && !newPage()) return false;
    const Pictures pics = pictures.take();
    const QPointF originMm = tpl_->cardOrigin(slot);
    const QRectF card = s.px(QRectF(originMm, tpl_->card));
    p.save();
    p.setClipRect(card);
    p.fillRect(card, Qt::white);
    if (!background_.isNull()) p.drawImage(card, background_);
    for (size_t k = 0; k < tpl_->elements.size(); ++k)
      drawElement(p, s, originMm, job_.rows[size_t(i)], tpl_->elements[k], pics.byElement[k], pics.qrModules[k],
                  blanks[k]);
    p.restore();
    if (tpl_->page == CardTemplate::Page::A4 && tpl_->cutLines) {
      p.save();
      p.setPen(QPen(QColor(150, 150, 150), 0.1 * s.kx));
      p.setBrush(Qt::NoBrush);
      p.drawRect(card);
      p.restore();
    }
  }
  return true;
}

void CardRenderer::drawElement(QPainter& p, const Scale& s, QPointF originMm, const QVariantList& row, const Element& e,
                               const QImage& picture, bool qrModules, const QImage& blank) {
  const QRectF box = s.px(e.box.translated(originMm));
  switch (e.kind) {
    case Element::Kind::Photo:
      if (const QImage& shown = picture.isNull() ? blank : picture; !shown.isNull()) {
        p.drawImage(fitted(shown.size(), box), shown, shown.rect(), Qt::NoFormatConversion);
      } else {
        p.setPen(QPen(QColor(120, 120, 120), 0.2 * s.kx));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
      }
      break;
    case Element::Kind::QrImage:
      if (!picture.isNull()) drawQr(p, fitted(picture.size(), box), picture, qrModules);
      break;
    case Element::Kind::Code128:
      drawCode128(p, box, vb::text(value(row, QStringLiteral("barcode"))), 0.5 * s.kx);
      break;
    case Element::Kind::Face:
      drawFace(p, e, box, row);
      break;
  }
}

void CardRenderer::drawQr(QPainter& p, const QRectF& target, const QImage& img, bool modules) {
  p.fillRect(target, Qt::white);
  if (!modules) {
    p.drawImage(target, img, img.rect(), Qt::NoFormatConversion);
    return;
  }
  // The dark modules as one shape: sharp at any printer's resolution, and one fill, so
  // no seam shows between neighbouring modules.
  const double mx = target.width() / img.width(), my = target.height() / img.height();
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width();) {
      if (img.pixelIndex(x, y) != 0) {
        ++x;
        continue;
      }
      const int from = x;
      while (x < img.width() && img.pixelIndex(x, y) == 0) ++x;
      path.addRect(QRectF(target.left() + from * mx, target.top() + y * my, (x - from) * mx, my));
    }
  p.fillPath(path, Qt::black);
}

void CardRenderer::drawFace(QPainter& p, const Element& e, const QRectF& box, const QVariantList& row) {
  if (e.side == QLatin1String("back")) {
    cardface::draw(p, back_, box, {});
    return;
  }
  // The value column shows the member's own data where the preview shows the caption. A
  // value is not known when the card is designed: it may run on to the card's right margin
  // (nothing stands right of the field rows), so a birth place and date is not cut short.
  cardface::Face face = front_;
  for (int i = 0; i < 7; ++i)
    if (cardface::Item* v = cardface::find(face, QStringLiteral("Label15(%1)").arg(i))) {
      v->text = QStringLiteral(": ") + vb::text(value(row, QString::fromLatin1(cardface::kRowFields[i]))).simplified();
      v->box.setRight(qMax(v->box.right(), cardface::kWidth - 120));
    }
  cardface::draw(p, face, box, {});
}

}  // namespace report
