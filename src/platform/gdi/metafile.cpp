#include "metafile.h"

#include <QFont>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <variant>

#include "byte_reader.h"
#include "dib.h"

namespace gdi {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520;
constexpr std::size_t kMaxSavedStates = 1024;
constexpr double kMaxDeviceSize = 8192;  // pen widths and font sizes, in target pixels

// Bounds-checked little-endian reads inside one record.
using Rec = ByteReader;

QColor colorRef(std::uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

struct PenObj {
  int style = 0;  // 0 solid .. 5 null
  double width = 0;
  QColor color = Qt::black;
};
struct BrushObj {
  int style = 0;  // 0 solid, 1 null, 2 hatched
  int hatch = 0;
  QColor color = Qt::white;
};
struct FontObj {
  double height = 0;  // logical units; negative: character height
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  QString face;
};
using Obj = std::variant<std::monostate, PenObj, BrushObj, FontObj>;

struct State {
  PenObj pen;
  BrushObj brush;
  FontObj font;
  QColor textColor = Qt::black, bkColor = Qt::white;
  int bkMode = 2;  // 1 transparent, 2 opaque
  int textAlign = 0;
  bool winding = false;
  int mapMode = 1;
  QPointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
  QPointF position{0, 0};
};

// A stretched DIB (BITMAPINFO, then the bits), BI_RGB only, as a top-down image.
QImage dibImage(const Rec& r, std::size_t info, std::size_t infoEnd, std::size_t bits, std::size_t bitsEnd) {
  if (!r.has(info, 40) || infoEnd > r.size() || bitsEnd > r.size() || bits > bitsEnd) return {};
  const std::uint32_t hs = r.u32(info);
  const std::int32_t w = r.i32(info + 4), h = r.i32(info + 8);
  const int bpp = r.u16(info + 14);
  if (hs < 40 || r.u32(info + 16) != 0) return {};
  std::uint64_t colors = r.u32(info + 32);
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  if (bpp > 8) colors = 0;
  if (colors > 256 || !r.has(info + hs, colors * 4) || info + hs + colors * 4 > infoEnd) return {};
  std::vector<QRgb> palette;
  for (std::uint64_t i = 0; i < colors; ++i) palette.push_back(0xFF000000u | (r.u32(info + hs + 4 * i) & 0xFFFFFF));
  auto dib = Dib::create(w, h, bpp, palette);
  if (!dib || std::uint64_t(dib->sizeImage()) > bitsEnd - bits) return {};
  std::memcpy(dib->bits(), r.at(bits), std::size_t(dib->sizeImage()));
  QImage img = dib->toImage().convertToFormat(QImage::Format_RGB32);
  return img;
}

class Player {
 public:
  Player(QPainter& p, Metafile::Kind kind, int objectSlots, const QTransform& toTarget, const QRectF& frame)
      : p_(p), kind_(kind), objects_(std::size_t(objectSlots)), toTarget_(toTarget) {
    if (kind == Metafile::Wmf) {
      // The host maps the picture's frame onto the target; the records' window wins.
      s_.mapMode = 8;
      s_.windowOrg = frame.topLeft();
      s_.windowExt = QPointF(frame.width(), frame.height());
      s_.viewportOrg = frame.topLeft();
      s_.viewportExt = s_.windowExt;
    }
  }

  void wmfRecord(std::uint16_t fn, const Rec& r);
  void emfRecord(std::uint32_t type, const Rec& r);

 private:
  QTransform pageTransform() const {
    double sx = 1, sy = 1;
    if ((s_.mapMode == 7 || s_.mapMode == 8) && s_.windowExt.x() != 0 && s_.windowExt.y() != 0) {
      sx = s_.viewportExt.x() / s_.windowExt.x();
      sy = s_.viewportExt.y() / s_.windowExt.y();
      if (s_.mapMode == 7) {  // isotropic: the smaller scale both ways, signs kept
        const double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
    }
    return QTransform(sx, 0, 0, sy, s_.viewportOrg.x() - s_.windowOrg.x() * sx,
                      s_.viewportOrg.y() - s_.windowOrg.y() * sy) *
           toTarget_;
  }
  double deviceScale() const {
    const QTransform t = pageTransform();
    return std::sqrt(std::abs(t.determinant()));
  }

  void applyTools(bool fill) {
    const QTransform t = pageTransform();
    p_.setTransform(t);
    if (s_.pen.style == 5) {
      p_.setPen(Qt::NoPen);
    } else {
      static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                            Qt::DashDotDotLine, Qt::NoPen, Qt::SolidLine};
      QPen pen(s_.pen.color, 0, styles[std::clamp(s_.pen.style, 0, 6)], Qt::RoundCap, Qt::RoundJoin);
      const double scale = deviceScale();
      if (s_.pen.width > 0 && scale > 0) {
        pen.setWidthF(std::min(s_.pen.width, kMaxDeviceSize / scale));
      } else {
        pen.setCosmetic(true);
        pen.setWidth(1);
      }
      p_.setPen(pen);
    }
    if (!fill || s_.brush.style == 1) {
      p_.setBrush(Qt::NoBrush);
    } else if (s_.brush.style == 2) {
      static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                               Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
      p_.setBrush(QBrush(s_.brush.color, hatches[std::clamp(s_.brush.hatch, 0, 5)]));
      p_.setBackgroundMode(s_.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
      p_.setBackground(s_.bkColor);
    } else {
      p_.setBrush(s_.brush.color);
    }
  }

  QRectF rect(double l, double t, double r, double b) const { return QRectF(QPointF(l, t), QPointF(r, b)).normalized(); }
  void drawRect(const QRectF& r) {
    applyTools(true);
    p_.drawRect(r);
  }
  void drawEllipse(const QRectF& r) {
    applyTools(true);
    p_.drawEllipse(r);
  }
  void drawRoundRect(const QRectF& r, double cw, double ch) {
    applyTools(true);
    p_.drawRoundedRect(r, std::abs(cw) / 2, std::abs(ch) / 2);
  }
  void drawPoly(const QPolygonF& poly, bool closed) {
    applyTools(closed);
    if (closed)
      p_.drawPolygon(poly, s_.winding ? Qt::WindingFill : Qt::OddEvenFill);
    else
      p_.drawPolyline(poly);
  }
  void lineTo(QPointF to) {
    applyTools(false);
    p_.drawLine(s_.position, to);
    s_.position = to;
  }
  void text(QPointF at, const QString& str, const QRectF* opaqueRect, bool clipped) {
    if (str.isEmpty() && !opaqueRect) return;
    const QTransform t = pageTransform();
    p_.setTransform(QTransform());
    if (opaqueRect) p_.fillRect(t.mapRect(*opaqueRect), s_.bkColor);
    if (str.isEmpty()) return;
    QFont font(s_.font.face.isEmpty() ? QStringLiteral("DejaVu Sans") : s_.font.face);
    const double sy = std::sqrt(t.m12() * t.m12() + t.m22() * t.m22());
    double px = std::abs(s_.font.height) * sy;
    if (s_.font.height > 0) px *= 0.8;  // a cell height holds the internal leading too
    font.setPixelSize(std::clamp(int(std::lround(px == 0 ? 16 : px)), 1, int(kMaxDeviceSize)));
    font.setWeight(QFont::Weight(s_.font.weight <= 0 ? 400 : std::clamp(s_.font.weight, 100, 900)));
    font.setItalic(s_.font.italic);
    font.setUnderline(s_.font.underline);
    font.setStrikeOut(s_.font.strikeOut);
    font.setStyleStrategy(QFont::NoAntialias);
    p_.setFont(font);
    const QFontMetricsF fm(font);
    QPointF d = t.map(at);
    const double w = fm.horizontalAdvance(str);
    if ((s_.textAlign & 6) == 6)
      d.rx() -= w / 2;
    else if (s_.textAlign & 2)
      d.rx() -= w;
    if ((s_.textAlign & 24) == 0)
      d.ry() += fm.ascent();
    else if ((s_.textAlign & 24) == 8)
      d.ry() -= fm.descent();
    if (s_.bkMode == 2 && !opaqueRect)
      p_.fillRect(QRectF(d.x(), d.y() - fm.ascent(), w, fm.height()), s_.bkColor);
    p_.save();
    if (clipped && opaqueRect) p_.setClipRect(t.mapRect(*opaqueRect));
    p_.setPen(s_.textColor);
    p_.drawText(d, str);
    p_.restore();
  }
  void stretchDib(const QRectF& dst, const QRectF& src, const QImage& img, std::uint32_t rop) {
    if (img.isNull() || rop != 0x00CC0020) return;
    p_.setTransform(pageTransform());
    p_.drawImage(dst, img, src);
  }

  void select(const Obj& o) {
    if (auto* pen = std::get_if<PenObj>(&o)) s_.pen = *pen;
    if (auto* brush = std::get_if<BrushObj>(&o)) s_.brush = *brush;
    if (auto* font = std::get_if<FontObj>(&o)) s_.font = *font;
  }
  void selectStock(std::uint32_t index) {
    switch (index) {
      case 0: case 1: case 2: case 3: case 4: {
        static const int grays[] = {255, 192, 128, 64, 0};
        s_.brush = BrushObj{0, 0, QColor(grays[index], grays[index], grays[index])};
        break;
      }
      case 5: s_.brush.style = 1; break;
      case 6: s_.pen = PenObj{0, 0, Qt::white}; break;
      case 7: s_.pen = PenObj{0, 0, Qt::black}; break;
      case 8: s_.pen.style = 5; break;
      default: if (index >= 10 && index <= 17) s_.font = FontObj{}; break;
    }
  }
  void save() {
    if (saved_.size() < kMaxSavedStates) saved_.push_back(s_);
  }
  void restore(std::int32_t n) {
    // Negative: relative to the current depth; positive: the n-th saved state.
    const std::int64_t depth = std::int64_t(saved_.size());
    const std::int64_t keep = n < 0 ? depth + n : n - 1;
    if (keep < 0 || keep >= depth) return;
    s_ = saved_[std::size_t(keep)];
    saved_.resize(std::size_t(keep));
  }
  void put(std::size_t slot, Obj o) {
    if (slot < objects_.size()) objects_[slot] = std::move(o);
  }
  void putFirstFree(Obj o) {
    for (auto& slot : objects_)
      if (std::holds_alternative<std::monostate>(slot)) {
        slot = std::move(o);
        return;
      }
  }

  QPainter& p_;
  Metafile::Kind kind_;
  std::vector<Obj> objects_;
  QTransform toTarget_;
  State s_;
  std::vector<State> saved_;
};

void Player::wmfRecord(std::uint16_t fn, const Rec& r) {
  // Parameters start at byte 6; points are stored y first.
  auto pt = [&](std::size_t at) { return QPointF(r.i16(at + 2), r.i16(at)); };
  auto rectAt = [&](std::size_t at) { return rect(r.i16(at + 6), r.i16(at + 4), r.i16(at + 2), r.i16(at)); };
  switch (fn) {
    case 0x020B: s_.windowOrg = pt(6); break;
    case 0x020C: s_.windowExt = pt(6); break;
    case 0x0102: s_.bkMode = r.u16(6); break;
    case 0x0106: s_.winding = r.u16(6) == 2; break;
    case 0x012E: s_.textAlign = r.u16(6); break;
    case 0x0201: s_.bkColor = colorRef(r.u32(6)); break;
    case 0x0209: s_.textColor = colorRef(r.u32(6)); break;
    case 0x001E: save(); break;
    case 0x0127: restore(r.i16(6)); break;
    case 0x0214: s_.position = pt(6); break;
    case 0x0213: lineTo(pt(6)); break;
    case 0x041B: drawRect(rectAt(6)); break;
    case 0x0418: drawEllipse(rectAt(6)); break;
    case 0x061C: drawRoundRect(rectAt(10), r.i16(8), r.i16(6)); break;
    case 0x02FA: putFirstFree(PenObj{r.u16(6) & 0xFF, double(r.i16(8)), colorRef(r.u32(12))}); break;
    case 0x02FC: putFirstFree(BrushObj{r.u16(6), r.u16(12), colorRef(r.u32(8))}); break;
    case 0x02FB: {
      FontObj f;
      f.height = r.i16(6);
      f.weight = r.i16(14);
      f.italic = r.u8(16);
      f.underline = r.u8(17);
      f.strikeOut = r.u8(18);
      std::string face;
      for (std::size_t i = 24; i < 56 && r.has(i, 1) && r.u8(i); ++i) face += char(r.u8(i));
      f.face = QString::fromLatin1(face);
      putFirstFree(f);
      break;
    }
    case 0x012D:
      if (r.u16(6) < objects_.size()) select(objects_[r.u16(6)]);
      break;
    case 0x01F0:
      if (r.u16(6) < objects_.size()) objects_[r.u16(6)] = std::monostate{};
      break;
    case 0x0324:
    case 0x0325: {
      const std::size_t n = r.u16(6);
      if (!r.has(8, n * 4)) break;
      QPolygonF poly;
      for (std::size_t i = 0; i < n; ++i) poly << QPointF(r.i16(8 + 4 * i), r.i16(10 + 4 * i));
      drawPoly(poly, fn == 0x0324);
      break;
    }
    case 0x0538: {
      const std::size_t polys = r.u16(6);
      if (!r.has(8, polys * 2)) break;
      std::size_t at = 8 + polys * 2;
      QPainterPath path;
      path.setFillRule(s_.winding ? Qt::WindingFill : Qt::OddEvenFill);
      for (std::size_t k = 0; k < polys; ++k) {
        const std::size_t n = r.u16(8 + 2 * k);
        if (!r.has(at, n * 4)) return;
        QPolygonF poly;
        for (std::size_t i = 0; i < n; ++i) poly << QPointF(r.i16(at + 4 * i), r.i16(at + 2 + 4 * i));
        path.addPolygon(poly);
        path.closeSubpath();
        at += n * 4;
      }
      applyTools(true);
      p_.drawPath(path);
      break;
    }
    case 0x0521: {
      const std::size_t n = r.u16(6), padded = (n + 1) & ~std::size_t(1);
      if (!r.has(8, padded + 4)) break;
      text(pt(8 + padded), QString::fromLatin1(reinterpret_cast<const char*>(r.at(8)), qsizetype(n)), nullptr, false);
      break;
    }
    case 0x0A32: {
      const QPointF at = pt(6);
      const std::size_t n = r.u16(10);
      const std::uint16_t opts = r.u16(12);
      std::size_t strAt = 14;
      QRectF box;
      const bool hasRect = opts & 0x6;
      if (hasRect) {
        if (!r.has(14, 8)) break;
        box = rect(r.i16(14), r.i16(16), r.i16(18), r.i16(20));
        strAt += 8;
      }
      if (!r.has(strAt, n)) break;
      text(at, QString::fromLatin1(reinterpret_cast<const char*>(r.at(strAt)), qsizetype(n)),
           (opts & 0x2) ? &box : nullptr, opts & 0x4);
      break;
    }
    case 0x0F43:  // StretchDIB: rop, usage, source h, w, y, x, destination h, w, y, x, DIB
    case 0x0B41: {  // DIBStretchBlt: the same without usage
      const std::size_t base = fn == 0x0F43 ? 12 : 10;
      if (!r.has(6, base - 6 + 16)) break;
      const QRectF src(r.i16(base + 6), r.i16(base + 4), r.i16(base + 2), r.i16(base));
      const QRectF dst(r.i16(base + 14), r.i16(base + 12), r.i16(base + 10), r.i16(base + 8));
      const std::size_t info = base + 16;
      const std::uint32_t hs = r.u32(info);
      const std::uint16_t bpp = r.u16(info + 14);
      std::uint64_t colors = r.u32(info + 32);
      if (bpp <= 8 && colors == 0) colors = 1u << std::min<int>(bpp, 8);
      if (bpp > 8) colors = 0;
      const std::uint64_t bits = std::uint64_t(info) + hs + colors * 4;
      if (bits > r.size()) break;
      stretchDib(dst, src, dibImage(r, info, std::size_t(bits), std::size_t(bits), r.size()), r.u32(6));
      break;
    }
    default: break;
  }
}

void Player::emfRecord(std::uint32_t type, const Rec& r) {
  auto pt = [&](std::size_t at) { return QPointF(r.i32(at), r.i32(at + 4)); };
  auto rectAt = [&](std::size_t at) { return rect(r.i32(at), r.i32(at + 4), r.i32(at + 8), r.i32(at + 12)); };
  switch (type) {
    case 9: s_.windowExt = pt(8); break;
    case 10: s_.windowOrg = pt(8); break;
    case 11: s_.viewportExt = pt(8); break;
    case 12: s_.viewportOrg = pt(8); break;
    case 17: s_.mapMode = int(r.u32(8)); break;
    case 18: s_.bkMode = int(r.u32(8)); break;
    case 19: s_.winding = r.u32(8) == 2; break;
    case 22: s_.textAlign = int(r.u32(8)); break;
    case 24: s_.textColor = colorRef(r.u32(8)); break;
    case 25: s_.bkColor = colorRef(r.u32(8)); break;
    case 27: s_.position = pt(8); break;
    case 54: lineTo(pt(8)); break;
    case 33: save(); break;
    case 34: restore(r.i32(8)); break;
    case 37: {
      const std::uint32_t h = r.u32(8);
      if (h & 0x80000000u)
        selectStock(h & 0x7FFFFFFF);
      else if (h < objects_.size())
        select(objects_[h]);
      break;
    }
    case 38: put(r.u32(8), PenObj{int(r.u32(12) & 0xFF), double(r.i32(16)), colorRef(r.u32(24))}); break;
    case 39: put(r.u32(8), BrushObj{int(r.u32(12)), int(r.u32(20)), colorRef(r.u32(16))}); break;
    case 40:
      if (r.u32(8) < objects_.size()) objects_[r.u32(8)] = std::monostate{};
      break;
    case 82: {
      FontObj f;
      f.height = r.i32(12);
      f.weight = r.i32(28);
      f.italic = r.u8(32);
      f.underline = r.u8(33);
      f.strikeOut = r.u8(34);
      for (std::size_t i = 40; i < 104 && r.has(i, 2) && r.u16(i); i += 2) f.face += QChar(r.u16(i));
      put(r.u32(8), f);
      break;
    }
    case 42: drawEllipse(rectAt(8)); break;
    case 43: drawRect(rectAt(8)); break;
    case 44: drawRoundRect(rectAt(8), r.i32(24), r.i32(28)); break;
    case 3:
    case 4:
    case 86:
    case 87: {
      const bool small = type >= 86;
      const std::size_t n = r.u32(24), step = small ? 4 : 8;
      if (!r.has(28, n * step)) break;
      QPolygonF poly;
      for (std::size_t i = 0; i < n; ++i)
        poly << (small ? QPointF(r.i16(28 + 4 * i), r.i16(30 + 4 * i)) : pt(28 + 8 * i));
      drawPoly(poly, type == 3 || type == 86);
      break;
    }
    case 84: {  // ExtTextOutW: bounds, mode, scales, then the text record at 36
      const std::size_t n = r.u32(44), offString = r.u32(48), opts = r.u32(52);
      if (!r.has(offString, n * 2)) break;
      QString str;
      for (std::size_t i = 0; i < n; ++i) str += QChar(r.u16(offString + 2 * i));
      const QRectF box = rectAt(56);
      text(pt(36), str, (opts & 0x2) ? &box : nullptr, opts & 0x4);
      break;
    }
    case 81: {  // StretchDIBits
      const QRectF dst(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
      const QRectF src(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
      const std::uint64_t offBmi = r.u32(48), cbBmi = r.u32(52), offBits = r.u32(56), cbBits = r.u32(60);
      if (!r.has(offBmi, cbBmi) || !r.has(offBits, cbBits) || !r.has(64, 16)) break;
      QImage img = dibImage(r, std::size_t(offBmi), std::size_t(offBmi + cbBmi), std::size_t(offBits),
                            std::size_t(offBits + cbBits));
      stretchDib(dst, src, img, r.u32(68));
      break;
    }
    default: break;
  }
}

}  // namespace

std::optional<Metafile> Metafile::parse(std::span<const std::uint8_t> bytes) {
  Rec r(bytes.data(), bytes.size());
  Metafile m;
  m.bytes_.assign(bytes.begin(), bytes.end());
  if (r.u32(0) == 1 && r.u32(40) == kEmfSignature) {
    // EMF: the header is the first record.
    m.kind_ = Emf;
    const std::uint32_t headerSize = r.u32(4);
    if (headerSize < 88 || headerSize % 4 || !r.has(0, headerSize)) return std::nullopt;
    const double fl = r.i32(24), ft = r.i32(28), fr = r.i32(32), fb = r.i32(36);  // 0.01 mm
    const double devW = r.i32(72), devH = r.i32(76), mmW = r.i32(80), mmH = r.i32(84);
    if (fr <= fl || fb <= ft || devW <= 0 || devH <= 0 || mmW <= 0 || mmH <= 0) return std::nullopt;
    m.himetric_ = QSizeF(fr - fl, fb - ft);
    m.dpiX_ = devW * 25.4 / mmW;
    const double px = devW / (mmW * 100), py = devH / (mmH * 100);  // device pixels per 0.01 mm
    m.frame_ = QRectF(fl * px, ft * py, (fr - fl) * px, (fb - ft) * py);
    m.objectSlots_ = r.u16(56);
    std::size_t pos = 0;
    for (;;) {
      if (!r.has(pos, 8)) return std::nullopt;
      const std::uint32_t type = r.u32(pos), size = r.u32(pos + 4);
      if (size < 8 || size % 4 || !r.has(pos, size)) return std::nullopt;
      pos += size;
      if (type == 14) break;
    }
    m.firstRecord_ = headerSize;
    return m;
  }

  std::size_t pos = 0;
  if (r.u32(0) == kPlaceableKey) {
    if (!r.has(0, 22)) return std::nullopt;
    const double l = r.i16(6), t = r.i16(8), rr = r.i16(10), b = r.i16(12);
    m.unitsPerInch_ = r.u16(14);
    if (m.unitsPerInch_ == 0 || rr == l || b == t) return std::nullopt;
    m.dpiX_ = m.unitsPerInch_;
    m.frame_ = QRectF(QPointF(l, t), QPointF(rr, b)).normalized();
    m.himetric_ = QSizeF(m.frame_.width() * 2540 / m.unitsPerInch_, m.frame_.height() * 2540 / m.unitsPerInch_);
    pos = 22;
  }
  const std::uint16_t type = r.u16(pos), headerWords = r.u16(pos + 2);
  if (!r.has(pos, 18) || (type != 1 && type != 2) || headerWords != 9) return std::nullopt;
  m.objectSlots_ = r.u16(pos + 10);
  pos += 18;
  m.firstRecord_ = pos;
  QPointF org, ext;
  bool hasExt = false;
  for (;;) {
    if (!r.has(pos, 6)) return std::nullopt;
    const std::uint64_t size = std::uint64_t(r.u32(pos)) * 2;
    const std::uint16_t fn = r.u16(pos + 4);
    if (size < 6 || !r.has(pos, size)) return std::nullopt;
    if (fn == 0x020B && size >= 10) org = QPointF(r.i16(pos + 8), r.i16(pos + 6));
    if (fn == 0x020C && size >= 10 && !hasExt) {
      ext = QPointF(r.i16(pos + 8), r.i16(pos + 6));
      hasExt = true;
    }
    pos += std::size_t(size);
    if (fn == 0) break;
  }
  if (m.unitsPerInch_ == 0) {
    // No placeable header: the first window extent gives the frame, taken as 1440 units an inch.
    if (!hasExt || ext.x() == 0 || ext.y() == 0) return std::nullopt;
    m.frame_ = QRectF(org, QSizeF(ext.x(), ext.y())).normalized();
    m.himetric_ = QSizeF(m.frame_.width() * 2540 / 1440, m.frame_.height() * 2540 / 1440);
  }
  return m;
}

QSize Metafile::sizePixels(int dpi) const {
  auto px = [&](double him) { return std::max(1, int(std::lround(him * dpi / 2540))); };
  return QSize(px(himetric_.width()), px(himetric_.height()));
}

void Metafile::play(QPainter& painter, const QRectF& target) const {
  if (frame_.width() <= 0 || frame_.height() <= 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setClipRect(target, Qt::IntersectClip);
  const QTransform base = painter.transform();
  // The picture's frame onto the target, in the painter's own coordinates.
  const QTransform toTarget = QTransform(target.width() / frame_.width(), 0, 0, target.height() / frame_.height(),
                                         target.x() - frame_.x() * target.width() / frame_.width(),
                                         target.y() - frame_.y() * target.height() / frame_.height()) *
                              base;
  Player player(painter, kind_, std::clamp(objectSlots_, 0, 65535), toTarget, frame_);
  Rec r(bytes_.data(), bytes_.size());
  std::size_t pos = firstRecord_;
  if (kind_ == Emf) {
    while (r.has(pos, 8)) {
      const std::uint32_t type = r.u32(pos), size = r.u32(pos + 4);
      if (size < 8 || !r.has(pos, size) || type == 14) break;
      player.emfRecord(type, Rec(r.at(pos), size));
      pos += size;
    }
  } else {
    while (r.has(pos, 6)) {
      const std::uint64_t size = std::uint64_t(r.u32(pos)) * 2;
      const std::uint16_t fn = r.u16(pos + 4);
      if (size < 6 || !r.has(pos, size) || fn == 0) break;
      player.wmfRecord(fn, Rec(r.at(pos), std::size_t(size)));
      pos += std::size_t(size);
    }
  }
  painter.restore();
}

QImage Metafile::render(QSize size, QRgb background) const {
  if (!dibSizeAllowed(size.width(), size.height())) return {};
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  if (img.isNull()) return {};
  img.fill(background);
  {
    QPainter p(&img);
    play(p, QRectF(QPointF(0, 0), QSizeF(size)));
  }
  return img.convertToFormat(QImage::Format_ARGB32);
}

namespace {
struct MetafileObject : Object {
  explicit MetafileObject(Metafile m) : metafile(std::make_shared<const Metafile>(std::move(m))) {}
  std::shared_ptr<const Metafile> metafile;
};
}  // namespace

Handle addMetafile(Metafile metafile) { return addObject(std::make_shared<MetafileObject>(std::move(metafile))); }

std::shared_ptr<const Metafile> findMetafile(Handle handle) {
  auto obj = find<MetafileObject>(handle);
  return obj ? obj->metafile : nullptr;
}

}  // namespace gdi
