#include "desainmodel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "vb.h"

namespace desain {

namespace {

// A point is 20 twips; at the canvas's 15 twips a pixel that is a 96 dpi screen.
constexpr int kDotsPerMeter96 = 3780;

const QPaintDevice* layar96() {
  static const QImage device = [] {
    QImage img(1, 1, QImage::Format_RGB32);
    img.setDotsPerMeterX(kDotsPerMeter96);
    img.setDotsPerMeterY(kDotsPerMeter96);
    return img;
  }();
  return &device;
}

// The label's font at `pxPerTwip` on a device of `dpi`.
QFont hurufPada(const cardface::FontValue& f, double pxPerTwip, double dpi) {
  QFont q = f.font();
  const double pt = f.size > 0 ? f.size : 8.25;
  q.setPointSizeF(pt * 20.0 * pxPerTwip * 72.0 / dpi);
  return q;
}

}  // namespace

QString fileGambar(const QString& side, const QString& nama) {
  return vb::appPath(QStringLiteral("images/") + side +
                     (nama == QLatin1String("latar") ? QStringLiteral("_templatar.jpg")
                                                     : QLatin1Char('_') + nama + QStringLiteral(".gif")));
}

QString fileWajah(const QString& side) {
  return vb::appPath(side == QLatin1String("Front") ? QStringLiteral("images/depan2.jpg")
                                                    : QStringLiteral("images/back2.jpg"));
}

int nomorLabel(const QString& nama) {
  static const QString awalan = QStringLiteral("NewLabel");
  if (!nama.startsWith(awalan, Qt::CaseInsensitive) || nama.size() == awalan.size() || nama.size() > awalan.size() + 9)
    return -1;
  for (qsizetype i = awalan.size(); i < nama.size(); ++i)
    if (nama[i] < u'0' || nama[i] > u'9') return -1;
  return nama.mid(awalan.size()).toInt();
}

int nomorLabelBerikut(const QVariant& maxId, const QStringList& namaLabel) {
  long long n = 0;
  if (!maxId.isNull()) n = maxId.toLongLong() + 1;
  for (const QString& nama : namaLabel) n = std::max<long long>(n, nomorLabel(nama) + 1LL);
  return int(std::clamp<long long>(n, 0, 999'999'999));
}

void ukurOtomatis(Elemen& e) {
  const QFontMetricsF fm(hurufPada(e.font, 1.0 / kTwipsPerPixel, 96.0), layar96());
  double lebar = 0;
  const QStringList baris = e.caption.split(QLatin1Char('\n'));
  for (const QString& b : baris) lebar = std::max(lebar, fm.horizontalAdvance(b));
  e.width = std::ceil(lebar) * kTwipsPerPixel;
  e.height = std::ceil(fm.height() * double(baris.size())) * kTwipsPerPixel;
}

void gambarElemen(QPainter& p, const Elemen& e, const QRectF& target, double pxPerTwip) {
  if (target.width() <= 0 || target.height() <= 0) return;
  if (!e.label) {
    if (e.gambar.isEmpty()) return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, e.gambar.image());
    p.restore();
    return;
  }
  if (e.caption.isEmpty()) return;
  p.save();
  p.setClipRect(target, Qt::IntersectClip);
  p.setFont(hurufPada(e.font, pxPerTwip, p.device() ? p.device()->logicalDpiY() : 96.0));
  p.setPen(e.font.qcolor());
  p.drawText(target, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, e.caption);
  p.restore();
}

QImage komposisi(const std::vector<const Elemen*>& urutan) {
  QImage img(kFaceSize, QImage::Format_RGB32);
  img.setDotsPerMeterX(kDotsPerMeter96);
  img.setDotsPerMeterY(kDotsPerMeter96);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::TextAntialiasing);
  constexpr double k = 1.0 / kTwipsPerPixel;
  for (const Elemen* e : urutan)
    if (e->visible) gambarElemen(p, *e, QRectF(e->left * k, e->top * k, e->width * k, e->height * k), k);
  return img;
}

}  // namespace desain
