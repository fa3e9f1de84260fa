#include "cardtemplate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <optional>

#include "reporterrors.h"
#include "vb.h"

namespace report {
namespace {

constexpr qint64 kMaxTemplateBytes = 256 * 1024;
constexpr int kMaxElements = 100;
constexpr int kMaxText = 200;
const QSizeF kA4{210.0, 297.0};

// Reads one template, naming the place of every fault it finds.
class Reader {
 public:
  explicit Reader(QString file) : file_(std::move(file)), path_(file_) {
    // A path written with "\" as the windows write data paths: the same file with "/".
    if (!QFileInfo::exists(path_) && path_.contains(u'\\')) path_.replace(u'\\', u'/');
  }

  [[noreturn]] void bad(const QString& where, const QString& what) const {
    throw vb::VbError(
        kErrTemplate, kSource,
        QStringLiteral("The report template '%1' is not valid: %2%3")
            .arg(QDir::toNativeSeparators(file_), where.isEmpty() ? QString() : where + QStringLiteral(": "), what));
  }

  double number(const QJsonObject& o, const QString& key, const QString& where, double lo, double hi,
                std::optional<double> dflt = std::nullopt) const {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && dflt) return *dflt;
    if (!v.isDouble()) bad(where + u'.' + key, QStringLiteral("a number is required"));
    const double d = v.toDouble();
    if (!std::isfinite(d) || d < lo || d > hi)
      bad(where + u'.' + key, QStringLiteral("%1 is outside %2 .. %3").arg(d).arg(lo).arg(hi));
    return d;
  }
  QString text(const QJsonObject& o, const QString& key, const QString& where, bool required,
               const QString& dflt = QString()) const {
    const QJsonValue v = o.value(key);
    if (v.isUndefined()) {
      if (required) bad(where, QStringLiteral("\"%1\" is missing").arg(key));
      return dflt;
    }
    if (!v.isString()) bad(where + u'.' + key, QStringLiteral("a text is required"));
    const QString s = v.toString();
    if (s.size() > kMaxText) bad(where + u'.' + key, QStringLiteral("the text is too long"));
    return s;
  }
  bool flag(const QJsonObject& o, const QString& key, const QString& where, bool dflt) const {
    const QJsonValue v = o.value(key);
    if (v.isUndefined()) return dflt;
    if (!v.isBool()) bad(where + u'.' + key, QStringLiteral("true or false is required"));
    return v.toBool();
  }
  QJsonObject object(const QJsonObject& o, const QString& key, const QString& where, bool required) const {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && !required) return {};
    if (!v.isObject()) bad(where + u'.' + key, QStringLiteral("an object is required"));
    return v.toObject();
  }
  // [a, b, ...] of `n` numbers.
  std::vector<double> numbers(const QJsonObject& o, const QString& key, const QString& where, int n, double lo,
                              double hi) const {
    const QJsonValue v = o.value(key);
    if (!v.isArray() || v.toArray().size() != n)
      bad(where + u'.' + key, QStringLiteral("%1 numbers are required").arg(n));
    std::vector<double> out;
    for (const QJsonValue& e : v.toArray()) {
      const double d = e.toDouble(std::nan(""));
      if (!e.isDouble() || !std::isfinite(d) || d < lo || d > hi)
        bad(where + u'.' + key, QStringLiteral("numbers between %1 and %2 are required").arg(lo).arg(hi));
      out.push_back(d);
    }
    return out;
  }
  // A box that lies on the card (a millimetre of slack for rounding in the files).
  QRectF box(const QJsonObject& o, const QString& where, QSizeF card) const {
    const auto b = numbers(o, QStringLiteral("box"), where, 4, -1.0, 1000.0);
    const QRectF r(b[0], b[1], b[2], b[3]);
    if (r.width() <= 0 || r.height() <= 0 || r.right() > card.width() + 1.0 || r.bottom() > card.height() + 1.0)
      bad(where + QStringLiteral(".box"), QStringLiteral("the box does not lie on the card"));
    return r;
  }

  Element element(const QJsonObject& o, const QString& where, QSizeF card) const {
    Element e;
    const QString type = text(o, QStringLiteral("type"), where, true);
    if (type == QLatin1String("photo")) {
      e.kind = Element::Kind::Photo;
      e.box = box(o, where, card);
    } else if (type == QLatin1String("barcode")) {
      const QString kind = text(o, QStringLiteral("kind"), where, true);
      if (kind == QLatin1String("code128"))
        e.kind = Element::Kind::Code128;
      else if (kind == QLatin1String("qrimage"))
        e.kind = Element::Kind::QrImage;
      else
        bad(where + QStringLiteral(".kind"), QStringLiteral("\"code128\" or \"qrimage\" is required"));
      e.box = box(o, where, card);
    } else if (type == QLatin1String("face")) {
      e.kind = Element::Kind::Face;
      e.box = QRectF(QPointF(0, 0), card);
      const QString code = text(o, QStringLiteral("barcode"), where, false);
      if (!code.isEmpty() && code != QLatin1String("code128") && code != QLatin1String("qrimage"))
        bad(where + QStringLiteral(".barcode"), QStringLiteral("\"code128\" or \"qrimage\" is required"));
      e.barcode = code;
    } else {
      bad(where + QStringLiteral(".type"), QStringLiteral("unknown element \"%1\"").arg(type.left(40)));
    }
    return e;
  }

  CardTemplate read() const {
    QFile f(path_);
    const QFileInfo info(path_);
    if (!info.exists() || !info.isFile())
      throw vb::VbError(vb::kErrFileNotFound, kSource,
                        QStringLiteral("The report template '%1' was not found.").arg(QDir::toNativeSeparators(file_)));
    if (info.size() > kMaxTemplateBytes) bad(QString(), QStringLiteral("the file is too large"));
    if (!f.open(QIODevice::ReadOnly))
      throw vb::VbError(vb::kErrFileNotFound, kSource,
                        QStringLiteral("The report template '%1' cannot be read: %2")
                            .arg(QDir::toNativeSeparators(file_), f.errorString()));
    const QByteArray bytes = f.read(kMaxTemplateBytes + 1);
    if (bytes.size() > kMaxTemplateBytes) bad(QString(), QStringLiteral("the file is too large"));
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError)
      bad(QString(), QStringLiteral("%1 at byte %2").arg(err.errorString()).arg(err.offset));
    if (!doc.isObject()) bad(QString(), QStringLiteral("a JSON object is required"));
    const QJsonObject root = doc.object();

    if (root.value(QStringLiteral("format")).toString() != QLatin1String("lentavo-card-template"))
      bad(QString(), QStringLiteral("this is not a card template"));
    if (number(root, QStringLiteral("version"), QStringLiteral("version"), 1, 1e9) != 1)
      bad(QStringLiteral("version"), QStringLiteral("only version 1 is known"));

    CardTemplate t;
    t.file = file_;
    t.connection = text(root, QStringLiteral("connection"), QString(), true);
    t.dataset = text(root, QStringLiteral("dataset"), QString(), true);
    if (t.connection.isEmpty() || t.dataset.isEmpty())
      bad(QString(), QStringLiteral("the connection and dataset need names"));

    const QJsonObject page = object(root, QStringLiteral("page"), QString(), true);
    const QString kind = text(page, QStringLiteral("kind"), QStringLiteral("page"), true);
    if (kind == QLatin1String("card"))
      t.page = CardTemplate::Page::Card;
    else if (kind == QLatin1String("a4"))
      t.page = CardTemplate::Page::A4;
    else
      bad(QStringLiteral("page.kind"), QStringLiteral("\"card\" or \"a4\" is required"));
    t.margin = number(page, QStringLiteral("margin"), QStringLiteral("page"), 0.0, 50.0, t.margin);
    t.gap = number(page, QStringLiteral("gap"), QStringLiteral("page"), 0.0, 50.0, t.gap);
    t.cutLines = flag(page, QStringLiteral("cutLines"), QStringLiteral("page"), t.cutLines);

    const QJsonObject card = object(root, QStringLiteral("card"), QString(), true);
    t.card = QSizeF(number(card, QStringLiteral("width"), QStringLiteral("card"), 20.0, 200.0, 85.60),
                    number(card, QStringLiteral("height"), QStringLiteral("card"), 20.0, 200.0, 53.98));
    t.side = text(card, QStringLiteral("side"), QStringLiteral("card"), true);
    if (t.side != QLatin1String("front") && t.side != QLatin1String("back"))
      bad(QStringLiteral("card.side"), QStringLiteral("\"front\" or \"back\" is required"));
    t.background = text(card, QStringLiteral("background"), QStringLiteral("card"), false);
    // The card face lies inside the program folder.
    if (!t.background.isEmpty() &&
        (QDir::isAbsolutePath(t.background) || t.background.contains(u'\\') || t.background.contains(u':') ||
         t.background.split(u'/').contains(QStringLiteral(".."))))
      bad(QStringLiteral("card.background"), QStringLiteral("a path inside the program folder is required"));
    if (t.page == CardTemplate::Page::A4 && t.cardsPerPage() < 1)
      bad(QStringLiteral("page"), QStringLiteral("no card fits on the sheet within its margins"));

    const QJsonValue elements = root.value(QStringLiteral("elements"));
    if (!elements.isArray() || elements.toArray().size() > kMaxElements)
      bad(QStringLiteral("elements"), QStringLiteral("a list of at most %1 elements is required").arg(kMaxElements));
    int i = 0;
    for (const QJsonValue& v : elements.toArray()) {
      const QString where = QStringLiteral("elements[%1]").arg(i++);
      if (!v.isObject()) bad(where, QStringLiteral("an object is required"));
      Element e = element(v.toObject(), where, t.card);
      if (e.kind == Element::Kind::Face)
        addFace(t, e);
      else
        t.elements.push_back(e);
    }
    return t;
  }

 private:
  // A face shows the template's side.
  static void addFace(CardTemplate& t, Element face) {
    face.side = t.side;
    if (t.side != QLatin1String("front")) face.barcode.clear();
    t.elements.push_back(face);
  }

  QString file_;  // as given, for the messages and the template's identity
  QString path_;  // the file read
};

}  // namespace

QSizeF CardTemplate::pageSize() const { return page == Page::Card ? card : kA4; }

int CardTemplate::columns() const {
  if (page == Page::Card) return 1;
  return std::max(0, int(std::floor((kA4.width() - 2 * margin + gap) / (card.width() + gap) + 1e-9)));
}

int CardTemplate::rowsPerPage() const {
  if (page == Page::Card) return 1;
  return std::max(0, int(std::floor((kA4.height() - 2 * margin + gap) / (card.height() + gap) + 1e-9)));
}

QPointF CardTemplate::cardOrigin(int slot) const {
  if (page == Page::Card) return {0, 0};
  const int cols = columns(), rows = rowsPerPage();
  // The grid sits in the middle of the sheet, so the margins left over are even.
  const double gridW = cols * card.width() + (cols - 1) * gap;
  const double gridH = rows * card.height() + (rows - 1) * gap;
  const double x0 = (kA4.width() - gridW) / 2, y0 = (kA4.height() - gridH) / 2;
  return {x0 + (slot % cols) * (card.width() + gap), y0 + (slot / cols) * (card.height() + gap)};
}

CardTemplate loadTemplate(const QString& file) { return Reader(file).read(); }

}  // namespace report
