#include "cardrender.h"

#include <zint.h>

#include <QFontMetricsF>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>
#include <cstring>

#include "photofile.h"
#include "vb.h"

namespace report {
namespace {

// Pictures are decoded no finer than this: sharp in print, small in a PDF.
constexpr double kPictureDpi = 300.0;

QSize pixelsAt(QSizeF mm, double dpi) {
  return QSize(qMax(1, int(std::ceil(mm.width() * dpi / 25.4))), qMax(1, int(std::ceil(mm.height() * dpi / 25.4))));
}

// The rectangle of `size` fitted into `box`, centred, in proportion.
QRectF fitted(QSizeF size, const QRectF& box) {
  if (size.isEmpty()) return box;
  const QSizeF s = size.scaled(box.size(), Qt::KeepAspectRatio);
  return QRectF(box.center().x() - s.width() / 2, box.center().y() - s.height() / 2, s.width(), s.height());
}

QFont makeFont(const FontStyle& f, double size) {
  QFont font(f.family);
  font.setPointSizeF(size);
  font.setBold(f.bold);
  font.setItalic(f.italic);
  return font;
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
    : job_(std::move(job)), tpl_(std::move(tpl)) {
  for (int i = 0; i < job_.fieldNames.size(); ++i) {
    const QString key = job_.fieldNames.at(i).toLower();
    if (!fieldIndex_.contains(key)) fieldIndex_.insert(key, i);
  }
  if (!tpl_->background.isEmpty())
    background_ = loadPicture(vb::appPath(tpl_->background), pixelsAt(tpl_->card, kPictureDpi), false);
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

bool CardRenderer::render(QPainter& p, const std::function<bool()>& newPage) {
  const int per = tpl_->cardsPerPage();
  if (per < 1) return false;
  Scale s;
  s.kx = p.device()->logicalDpiX() / 25.4;
  s.ky = p.device()->logicalDpiY() / 25.4;
  for (int i = 0; i < cardCount(); ++i) {
    const int slot = i % per;
    if (i > 0 && slot == 0 && !newPage()) return false;
    drawCard(p, s, tpl_->cardOrigin(slot), job_.rows[size_t(i)]);
  }
  return true;
}

void CardRenderer::drawCard(QPainter& p, const Scale& s, QPointF originMm, const QVariantList& row) {
  const QRectF card = s.px(QRectF(originMm, tpl_->card));
  p.save();
  p.setClipRect(card);
  p.fillRect(card, Qt::white);
  if (!background_.isNull()) p.drawImage(card, background_);
  for (const Element& e : tpl_->elements) {
    const QRectF box = s.px(e.box.translated(originMm));
    switch (e.kind) {
      case Element::Kind::Photo:
        drawPhoto(p, box, s, row);
        break;
      case Element::Kind::Fields:
        drawFields(p, e, box, s, row);
        break;
      case Element::Kind::Code128:
        drawCode128(p, box, vb::text(value(row, QStringLiteral("barcode"))), 0.5 * s.kx);
        break;
      case Element::Kind::QrImage:
        drawQrImage(p, box, row);
        break;
      case Element::Kind::SettingText:
        drawSettingText(p, e, box);
        break;
      case Element::Kind::Line:
        p.setPen(QPen(e.color, e.lineWidth * s.kx, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QLineF(s.px(e.line.p1() + originMm), s.px(e.line.p2() + originMm)));
        break;
    }
  }
  p.restore();
  if (tpl_->page == CardTemplate::Page::A4 && tpl_->cutLines) {
    p.save();
    p.setPen(QPen(QColor(150, 150, 150), 0.1 * s.kx));
    p.setBrush(Qt::NoBrush);
    p.drawRect(card);
    p.restore();
  }
}

const QImage& CardRenderer::blankPhoto(QSize maxPx) {
  if (!blankTried_ || blankSize_ != maxPx) {
    blankTried_ = true;
    blankSize_ = maxPx;
    blank_ = loadPicture(photobox::blankPhotoFile(), maxPx);
  }
  return blank_;
}

void CardRenderer::drawPhoto(QPainter& p, const QRectF& box, const Scale& s, const QVariantList& row) {
  const QSize maxPx = pixelsAt(QSizeF(box.width() / s.kx, box.height() / s.ky), pictureDpi_);
  // The member photo under the name the entry window saved it.
  const QImage photo = loadPicture(photobox::memberPhotoFile(vb::text(value(row, QStringLiteral("nis")))), maxPx);
  const QImage& shown = photo.isNull() ? blankPhoto(maxPx) : photo;
  if (!shown.isNull()) {
    p.drawImage(fitted(shown.size(), box), shown);
  } else {
    p.setPen(QPen(QColor(120, 120, 120), 0.2 * s.kx));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
  }
}

void CardRenderer::drawQrImage(QPainter& p, const QRectF& box, const QVariantList& row) {
  // QR pictures are named by the member id; a row without a member has none.
  bool ok = false;
  const qlonglong id = value(row, QStringLiteral("id")).toLongLong(&ok);
  if (!ok || id < 0) return;
  const QImage img = loadPicture(vb::appPath(QStringLiteral("barcode/%1.jpg").arg(id)), QSize(1200, 1200));
  if (img.isNull()) return;
  const QRectF target = fitted(img.size(), box);
  p.fillRect(target, Qt::white);
  p.setPen(Qt::black);
  p.drawImage(target, toMono(img));
}

void CardRenderer::drawFields(QPainter& p, const Element& e, const QRectF& box, const Scale& s,
                              const QVariantList& row) {
  p.setFont(makeFont(e.font, e.font.size));
  p.setPen(e.color);
  const QFontMetricsF fm(p.font(), p.device());
  const double rowH = e.rowHeight * s.ky, valueX = e.valueOffset * s.kx;
  double y = box.top();
  for (const FieldRow& r : e.rows) {
    if (y + rowH > box.bottom() + 0.01 * s.ky) break;
    // A row shows when its flag is True; Null or a missing flag column of a present
    // caption row counts as not shown, no caption row at all shows every row.
    if (!r.showColumn.isEmpty() && !job_.labelRow.isEmpty() && !job_.labelRow.value(r.showColumn).toBool()) continue;
    QString caption = r.caption;
    if (!r.captionColumn.isEmpty() && job_.labelRow.contains(r.captionColumn))
      caption = vb::text(job_.labelRow.value(r.captionColumn));
    const QString val = QStringLiteral(": ") + vb::text(value(row, r.field)).simplified();
    const QRectF capRect(box.left(), y, valueX, rowH);
    const QRectF valRect(box.left() + valueX, y, box.width() - valueX, rowH);
    p.drawText(capRect, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(caption, Qt::ElideRight, capRect.width()));
    // A long value (a long name) gets smaller type first, then loses its end.
    const double w = fm.horizontalAdvance(val);
    if (w > valRect.width()) {
      const QFont small = makeFont(e.font, std::max(e.font.size * 0.75, e.font.size * valRect.width() / w));
      const QFontMetricsF sfm(small, p.device());
      p.setFont(small);
      p.drawText(valRect, Qt::AlignLeft | Qt::AlignVCenter, sfm.elidedText(val, Qt::ElideRight, valRect.width()));
      p.setFont(makeFont(e.font, e.font.size));
    } else {
      p.drawText(valRect, Qt::AlignLeft | Qt::AlignVCenter, val);
    }
    y += rowH;
  }
}

void CardRenderer::drawSettingText(QPainter& p, const Element& e, const QRectF& box) {
  const QString text = vb::text(job_.settingRow.value(e.column));
  if (text.isEmpty()) return;
  p.setPen(e.color);
  double size = e.font.size;
  if (e.wrap) {
    // Smaller type until the text fits the box, down to two thirds of its size.
    for (; size > e.font.size * 0.66; size *= 0.92) {
      const QFontMetricsF fm(makeFont(e.font, size), p.device());
      if (fm.boundingRect(box, e.align | Qt::TextWordWrap, text).height() <= box.height()) break;
    }
    p.save();
    p.setClipRect(box, Qt::IntersectClip);
    p.setFont(makeFont(e.font, size));
    p.drawText(box, (e.align & ~Qt::AlignVCenter) | Qt::AlignTop | Qt::TextWordWrap, text);
    p.restore();
    return;
  }
  const QString line = text.simplified();
  const double w = QFontMetricsF(makeFont(e.font, size), p.device()).horizontalAdvance(line);
  if (w > box.width()) size = std::max(e.font.size * 0.6, size * box.width() / w);
  const QFont font = makeFont(e.font, size);
  p.setFont(font);
  p.drawText(box, e.align, QFontMetricsF(font, p.device()).elidedText(line, Qt::ElideRight, box.width()));
}

}  // namespace report
