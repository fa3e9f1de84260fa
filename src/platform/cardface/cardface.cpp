#include "cardface.h"

#include <zint.h>

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <memory>

#include "vb.h"

namespace cardface {
namespace {

// Windows' default system colours by index (the low byte of a stored system colour), so
// a card looks the same on every machine.
QRgb systemColour(int index) {
  switch (index) {
    case 2:
    case 13:
      return qRgb(0, 120, 215);  // active caption, highlight
    case 5:
    case 14:
      return qRgb(255, 255, 255);  // window, highlight text
    case 15:
      return qRgb(240, 240, 240);  // button face
    case 16:
    case 17:
      return qRgb(109, 109, 109);  // button shadow, grey text
    default:
      return qRgb(0, 0, 0);  // window text, button text and the rest
  }
}

// Measures as a screen at 15 twips per pixel does, whatever the machine's screen.
const QPaintDevice* screenMeasure() {
  static const QImage device = [] {
    QImage img(1, 1, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);  // 96 dpi
    img.setDotsPerMeterY(3780);
    return img;
  }();
  return &device;
}

FontValue arial(float size, bool bold = false) {
  FontValue f;
  f.size = size;
  f.bold = bold;
  return f;
}

Item text(const QString& name, QRect box, const QString& t, const FontValue& f, int align = Qt::AlignLeft,
          bool wrap = false) {
  Item it;
  it.name = name;
  it.box = box;
  it.text = t;
  it.font = f;
  it.align = align;
  it.wrap = wrap;
  return it;
}

Item picture(Item::Kind kind, const QString& name, QRect box, bool visible = true) {
  Item it;
  it.kind = kind;
  it.name = name;
  it.box = box;
  it.visible = visible;
  return it;
}

QString col(const char* pattern, int i) { return QString::fromLatin1(pattern).arg(i); }

// A bar unit of at most half a millimetre on an 85.60 mm card, so a short code does not
// spread over the whole place; the same share of any card or preview.
constexpr double kMaxModuleOfWidth = 0.5 / 85.60;

// The rectangle of `size` fitted into `box`, centred, in proportion.
QRectF fitted(QSizeF size, const QRectF& box) {
  if (size.isEmpty()) return box;
  const QSizeF s = size.scaled(box.size(), Qt::KeepAspectRatio);
  return QRectF(box.center().x() - s.width() / 2, box.center().y() - s.height() / 2, s.width(), s.height());
}

void drawQr(QPainter& p, const QRectF& target, const QImage& img, bool shapes) {
  p.fillRect(target, Qt::white);
  if (!shapes || img.format() != QImage::Format_Mono) {
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

void drawPhoto(QPainter& p, const QRectF& box, const QImage& photo, double pxPerTwip) {
  if (!photo.isNull()) {
    p.drawImage(fitted(photo.size(), box), photo, photo.rect(), Qt::NoFormatConversion);
    return;
  }
  // No photo and no blank one: the place shows as an empty frame.
  p.setPen(QPen(QColor(120, 120, 120), 12 * pxPerTwip));
  p.setBrush(Qt::NoBrush);
  p.drawRect(box);
}

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

}  // namespace

bool isQr(const QVariant& stored) { return !stored.isNull() && vb::text(stored) != QLatin1String("Code 128"); }

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

QFont FontValue::font() const {
  QFont f(name);
  f.setPointSizeF(size > 0 ? size : 8.25);
  f.setBold(bold);
  f.setItalic(italic);
  f.setUnderline(underline);
  return f;
}

QColor FontValue::qcolor() const {
  const quint32 c = quint32(color);
  if (c & 0x80000000u) return QColor(systemColour(int(c & 0xff)));
  return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}

FontValue fontOf(const QFont& f, const QColor& c) {
  FontValue v;
  v.name = f.family();
  v.size = float(f.pointSizeF());
  v.bold = f.bold();
  v.italic = f.italic();
  v.underline = f.underline();
  v.color = qint32(c.red() | (c.green() << 8) | (c.blue() << 16));
  return v;
}

void readFont(const ado::Recordset& rs, int i, FontValue& f) {
  const QString p = QStringLiteral("textheader(%1)font").arg(i);
  auto read = [&](const char* part, auto apply) {
    vb::resumeNext([&] {
      const QVariant v = rs.field(p + QLatin1String(part));
      if (!v.isNull()) apply(v);
    });
  };
  read("Name", [&](const QVariant& v) { f.name = vb::text(v); });
  read("Size", [&](const QVariant& v) { f.size = v.toFloat(); });
  read("Bold", [&](const QVariant& v) { f.bold = vb::isTrue(v); });
  read("Color", [&](const QVariant& v) { f.color = qint32(v.toLongLong()); });
  read("Underline", [&](const QVariant& v) { f.underline = vb::isTrue(v); });
  read("Italic", [&](const QVariant& v) { f.italic = vb::isTrue(v); });
}

void writeFont(ado::Recordset& rs, int i, const FontValue& f) {
  const QString p = QStringLiteral("textheader(%1)font").arg(i);
  rs.setField(p + QLatin1String("Name"), f.name);
  // A single-precision size goes back as the shortest decimal that reads as it: 9.75
  // stays 9.75, not 9.75000000xxx.
  rs.setField(p + QLatin1String("Size"), QString::number(f.size, 'g', 7).toDouble());
  rs.setField(p + QLatin1String("Bold"), f.bold);
  rs.setField(p + QLatin1String("Color"), f.color);
  rs.setField(p + QLatin1String("Underline"), f.underline);
  rs.setField(p + QLatin1String("Italic"), f.italic);
}

Settings readSettings(ado::Connection& conn) {
  Settings s;
  auto open = [&](ado::Recordset& rs, const char* sql) {
    return vb::resumeNext([&] { rs.Open(QString::fromLatin1(sql), conn); }) && !rs.EOF_();
  };
  auto txt = [](const ado::Recordset& rs, const QString& c) {
    QString t;
    vb::resumeNext([&] { t = vb::text(rs.field(c)); });
    return t;
  };
  ado::Recordset st;
  if (open(st, "select * from tblsetting where idtext = '2'")) {
    for (int i = 0; i < 4; ++i) {
      s.header[i] = txt(st, col("textheader(%1)", i));
      s.footer[i] = txt(st, col("textfooter(%1)", i));
    }
    s.judul = txt(st, QStringLiteral("textjudul"));
    s.isi = txt(st, QStringLiteral("textisi"));
    s.bawah = txt(st, QStringLiteral("textbawah"));
    vb::resumeNext([&] { s.qr = isQr(st.field(QStringLiteral("barcode"))); });
  }
  ado::Recordset uk;
  if (open(uk, "select * from Tblukuran where idfont = '2'"))
    for (int i = 0; i < 6; ++i) readFont(uk, i, s.headerFont[i]);
  ado::Recordset lb;
  if (open(lb, "select * from tlabel where idlabel = '2'"))
    for (int i = 0; i < 7; ++i) {
      s.caption[i] = txt(lb, col("Label21(%1)", i));
      vb::resumeNext([&] { s.show[i] = vb::isTrue(lb.field(col("check21(%1)", i))); });
    }
  return s;
}

int lineHeight(const FontValue& f) {
  return int(std::lround(QFontMetricsF(f.font(), screenMeasure()).height() * 15.0));
}

Face front(const Settings& s) {
  Face face;
  // Header lines stacked by their own line heights; the fifth keeps its place, the sixth
  // follows the fourth.
  int top = 120, afterFourth = 0;
  for (int k = 0; k < 4; ++k) {
    const int h = lineHeight(s.headerFont[k]);
    face.push_back(
        text(col("LabelHeader(%1)", k), QRect(0, top, 4940, h), s.header[k], s.headerFont[k], Qt::AlignHCenter));
    top += h;
    afterFourth = top;
  }
  face.push_back(
      text(QStringLiteral("LabelHeader(4)"), QRect(0, 840, 4935, 255), s.header[4], s.headerFont[4], Qt::AlignHCenter));
  face.push_back(text(QStringLiteral("LabelHeader(5)"), QRect(0, afterFourth, 4940, 255), s.header[5], s.headerFont[5],
                      Qt::AlignHCenter));
  // Field rows step by 180 and overlap by 20; a hidden row keeps its gap.
  static const int captionWidth[7] = {1695, 1455, 1335, 1335, 1335, 975, 855};
  static const int valueWidth[7] = {1215, 1095, 1095, 1095, 1095, 975, 1095};
  const FontValue small = arial(6.75f);
  for (int i = 0; i < 7; ++i) {
    const int rowTop = 1100 + 180 * i;
    Item c = text(col("Label8(%1)", i), QRect(1500, rowTop, captionWidth[i], 200), s.caption[i], small);
    Item v = text(col("Label15(%1)", i), QRect(2200, rowTop, valueWidth[i], 200), QStringLiteral(": ") + s.caption[i],
                  small);
    c.visible = v.visible = s.show[i];
    c.clipWidth = 2200 - 1500;
    face.push_back(c);
    face.push_back(v);
  }
  face.push_back(picture(Item::Kind::Photo, QStringLiteral("photo"), QRect(200, 1100, 1200, 1400)));
  face.push_back(picture(Item::Kind::Code128, QStringLiteral("Barcode"), QRect(200, 2600, 1800, 350), !s.qr));
  // The QR code stands below the last field row, left of the footer lines and above the
  // card face's bottom stripe, clear of every text and of the photo.
  face.push_back(picture(Item::Kind::Qr, QStringLiteral("qrcode"), QRect(1440, 2400, 600, 600), s.qr));
  static const int footerTop[4] = {2400, 2520, 2760, 2880};
  for (int i = 0; i < 4; ++i)
    face.push_back(text(col("Label4(%1)", i), QRect(2950, footerTop[i], i == 3 ? 1695 : 1815, i == 3 ? 255 : 135),
                        s.footer[i], arial(6.0f, i == 2), Qt::AlignHCenter));
  return face;
}

Face back(const Settings& s) {
  return {text(QStringLiteral("Label1"), QRect(240, 200, 4575, 255), s.judul, arial(9.75f, true), Qt::AlignHCenter),
          text(QStringLiteral("Label2"), QRect(240, 645, 4455, 1815), s.isi, arial(6.75f), Qt::AlignLeft, true),
          text(QStringLiteral("Label3"), QRect(360, 2580, 4455, 495), s.bawah, arial(6.75f), Qt::AlignLeft, true)};
}

Item* find(Face& face, const QString& name) {
  for (Item& it : face)
    if (it.name == name) return &it;
  return nullptr;
}

void showMember(Face& face, const QString (&values)[7]) {
  static const QString names[7] = {col("Label15(%1)", 0), col("Label15(%1)", 1), col("Label15(%1)", 2),
                                   col("Label15(%1)", 3), col("Label15(%1)", 4), col("Label15(%1)", 5),
                                   col("Label15(%1)", 6)};
  for (int i = 0; i < 7; ++i)
    if (Item* v = find(face, names[i])) {
      v->text = QStringLiteral(": ") + values[i].simplified();
      v->box.setRight(qMax(v->box.right(), kWidth - 120));
    }
}

void draw(QPainter& p, const Face& face, const QRectF& target, const Pictures& pics) {
  const double sx = target.width() / kWidth, sy = target.height() / kHeight;
  auto dev = [&](const QRect& r) {
    return QRectF(target.left() + r.x() * sx, target.top() + r.y() * sy, r.width() * sx, r.height() * sy);
  };
  p.save();
  p.setClipRect(target, Qt::IntersectClip);
  p.fillRect(target, Qt::white);
  if (!pics.background.isNull()) p.drawImage(target, pics.background);
  // A point is 20 twips; the device's own resolution turns that into its points.
  const double dpi = p.device() ? p.device()->logicalDpiY() : 96.0;
  for (const bool texts : {false, true})
    for (const Item& it : face) {
      if (!it.visible || (it.kind == Item::Kind::Text) != texts) continue;
      const QRectF box = dev(it.box);
      switch (it.kind) {
        case Item::Kind::Photo:
          drawPhoto(p, box, pics.photo, sx);
          break;
        case Item::Kind::Code128:
          drawCode128(p, box, pics.code128, kMaxModuleOfWidth * target.width());
          break;
        case Item::Kind::Qr:
          if (!pics.qr.isNull()) drawQr(p, fitted(pics.qr.size(), box), pics.qr, pics.qrShapes);
          break;
        case Item::Kind::Text: {
          if (it.text.isEmpty()) break;
          QFont f = it.font.font();
          f.setPointSizeF(it.font.size * 20.0 * sy * 72.0 / dpi);
          p.setFont(f);
          p.setPen(it.font.qcolor());
          if (it.wrap) {
            p.save();
            p.setClipRect(box, Qt::IntersectClip);
            p.drawText(box, it.align | Qt::AlignTop | Qt::TextWordWrap, it.text);
            p.restore();
          } else {
            const QFontMetricsF fm(f, p.device());
            QString line = it.text;
            if (it.clipWidth > 0) {
              const double room = it.clipWidth * sx;
              while (!line.isEmpty() && fm.horizontalAdvance(line) > room) line.chop(1);
            } else if (fm.horizontalAdvance(line) > box.width()) {
              line = fm.elidedText(line, Qt::ElideRight, box.width());
            }
            p.drawText(box, it.align | Qt::AlignTop | Qt::TextDontClip, line);
          }
          break;
        }
      }
    }
  p.restore();
}

}  // namespace cardface
