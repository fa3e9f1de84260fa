#include "cardrender.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
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

namespace {

// The bigger of two sizes by area.
QSizeF larger(QSizeF a, QSizeF b) { return a.width() * a.height() >= b.width() * b.height() ? a : b; }

}  // namespace

CardRenderer::CardRenderer(Job job, std::shared_ptr<const CardTemplate> tpl)
    : job_(std::move(job)), tpl_(std::move(tpl)), folder_(vb::programFolder()) {
  for (int i = 0; i < job_.fieldNames.size(); ++i) {
    const QString key = job_.fieldNames.at(i).toLower();
    if (!fieldIndex_.contains(key)) fieldIndex_.insert(key, i);
  }
  // The template's elements as one card side: the face of the stored settings, with the
  // barcode the template names, and any photo or code placed on the card by millimetres.
  const double tx = cardface::kWidth / tpl_->card.width(), ty = cardface::kHeight / tpl_->card.height();
  for (const Element& e : tpl_->elements) {
    if (e.kind == Element::Kind::Face) {
      cardface::Face side = e.side == QLatin1String("back") ? cardface::back(job_.face) : cardface::front(job_.face);
      for (cardface::Item& it : side) {
        if (it.kind == cardface::Item::Kind::Code128) it.visible = e.barcode == QLatin1String("code128");
        if (it.kind == cardface::Item::Kind::Qr) it.visible = e.barcode == QLatin1String("qrimage");
      }
      face_.insert(face_.end(), side.begin(), side.end());
      continue;
    }
    cardface::Item it;
    it.kind = e.kind == Element::Kind::Photo     ? cardface::Item::Kind::Photo
              : e.kind == Element::Kind::Code128 ? cardface::Item::Kind::Code128
                                                 : cardface::Item::Kind::Qr;
    it.box = QRect(int(std::lround(e.box.x() * tx)), int(std::lround(e.box.y() * ty)),
                   int(std::lround(e.box.width() * tx)), int(std::lround(e.box.height() * ty)));
    face_.push_back(it);
  }
  for (const cardface::Item& it : face_) {
    if (!it.visible) continue;
    const QSizeF mm(it.box.width() / tx, it.box.height() / ty);
    if (it.kind == cardface::Item::Kind::Photo) photoMm_ = larger(photoMm_, mm);
    if (it.kind == cardface::Item::Kind::Qr) qrMm_ = larger(qrMm_, mm);
  }
  if (!tpl_->background.isEmpty())
    background_ = loadPicture(vb::appPath(tpl_->background), pixelsAt(tpl_->card, kPrintDpi), false);
}

double CardRenderer::pictureDpi() const {
  if (!preview_) return kPrintDpi;
  const double mm2 = photoMm_.width() * photoMm_.height() * cardCount();  // photo area of all the cards
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
  try {
    if (!photoMm_.isEmpty())
      pics.photo = forShow(memberPhoto(vb::text(value(row, QStringLiteral("nis"))), pixelsAt(photoMm_, pictureDpi())));
    if (!qrMm_.isEmpty()) {
      // QR pictures are named by the member id; a row without a member has none.
      bool ok = false;
      const qlonglong id = value(row, QStringLiteral("id")).toLongLong(&ok);
      if (ok && id >= 0) {
        const QString file = folder_ + QStringLiteral("/barcode/%1.jpg").arg(id);
        const QString text = vb::text(value(row, QStringLiteral("barcode")));
        if (barcode::qrJpegShows(text, file)) {
          // The picture holds this very symbol: drawn from its modules it stays sharp.
          pics.qr = forShow(barcode::qrModules(text));
          pics.qrShapes = !preview_;
        } else {
          const QImage img = loadPicture(file, preview_ ? pixelsAt(qrMm_, pictureDpi()) : QSize(1200, 1200));
          if (!img.isNull()) pics.qr = forShow(toMono(img));
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
  const double kx = p.device()->logicalDpiX() / 25.4, ky = p.device()->logicalDpiY() / 25.4;  // pixels a mm
  // One blank photo for every card, so a PDF stores it once.
  const QImage blank = photoMm_.isEmpty()
                           ? QImage()
                           : forShow(loadPicture(photobox::blankPhotoFile(), pixelsAt(photoMm_, pictureDpi())));
  cardface::Pictures shown;
  shown.background = background_;
  cardface::Face face = face_;
  ReadAhead<Pictures> pictures(cardCount(), [this](int i) { return readPictures(job_.rows[size_t(i)]); });
  for (int i = 0; i < cardCount(); ++i) {
    const int slot = i % per;
    if (i > 0 && slot == 0 && !newPage()) return false;
    const Pictures pics = pictures.take();
    const QVariantList& row = job_.rows[size_t(i)];
    QString values[7];
    for (int k = 0; k < 7; ++k) values[k] = vb::text(value(row, QString::fromLatin1(cardface::kRowFields[k])));
    cardface::showMember(face, values);
    shown.photo = pics.photo.isNull() ? blank : pics.photo;
    shown.code128 = vb::text(value(row, QStringLiteral("barcode")));
    shown.qr = pics.qr;
    shown.qrShapes = pics.qrShapes;
    const QPointF origin = tpl_->cardOrigin(slot);
    const QRectF card(origin.x() * kx, origin.y() * ky, tpl_->card.width() * kx, tpl_->card.height() * ky);
    cardface::draw(p, face, card, shown);
    if (tpl_->page == CardTemplate::Page::A4 && tpl_->cutLines) {
      p.save();
      p.setPen(QPen(QColor(150, 150, 150), 0.1 * kx));
      p.setBrush(Qt::NoBrush);
      p.drawRect(card);
      p.restore();
    }
  }
  return true;
}

}  // namespace report
