#pragma once
// The layout of a card face, front and back, from the stored card settings, and its
// drawing on any painter: the one routine behind the settings preview, the print preview,
// the printer and the PDF. Geometry is in twips of the 4950 x 3145 preview card; drawing
// scales it to the target rectangle (the preview box, a card on paper or in a PDF).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

#include "ado.h"

class QPainter;

namespace cardface {

inline constexpr int kWidth = 4950;
inline constexpr int kHeight = 3145;

// A font as the settings store it. Written back exactly as read: the name stays even when
// no such font is installed (drawing then takes a substitute).
struct FontValue {
  QString name = QStringLiteral("Arial");
  float size = 8.25f;  // points, single precision as stored
  bool bold = false;
  bool italic = false;
  bool underline = false;
  qint32 color = 0;  // RGB long, red in the low byte; high bit set: a system colour
  QFont font() const;
  QColor qcolor() const;
  bool operator==(const FontValue&) const = default;
};
FontValue fontOf(const QFont& f, const QColor& c);

// The six font columns of header line i of the Tblukuran row, read into `f` and written
// from it. A Null or unreadable column leaves that part of `f` as it was.
void readFont(const ado::Recordset& rs, int i, FontValue& f);
void writeFont(ado::Recordset& rs, int i, const FontValue& f);

// Everything a card face shows besides the member.
struct Settings {
  QString header[6];
  FontValue headerFont[6];
  QString footer[4];
  QString judul, isi, bawah;
  // Without a caption row every field shows under its own name.
  QString caption[7] = {QStringLiteral("NIS"),   QStringLiteral("NISN"),
                        QStringLiteral("Nama"),  QStringLiteral("Tempat, Tgl. Lahir"),
                        QStringLiteral("Agama"), QStringLiteral("Jenis Kelamin"),
                        QStringLiteral("Kelas")};
  bool show[7] = {true, true, true, true, true, true, true};
  bool qr = false;  // the card carries a QR code rather than a Code 128 symbol (isQr)
};
// The barcode a card carries for the stored barcode type, as printing picks its templates
// and the settings window shows it: Code 128 for exactly "Code 128" and for Null; a QR
// code for any other text (case and blanks count, so "qr code" is a QR code).
bool isQr(const QVariant& stored);
// Reads the rows '2' of tblsetting, Tblukuran and tlabel; what cannot be read keeps its
// default. Header lines 4 and 5 stay empty, as the settings window shows them.
Settings readSettings(ado::Connection& conn);

// One piece of a card face, named as the settings window's control that shows it
// ("LabelHeader(0)", "Label8(2)", "Label15(2)", "Label4(1)", "photo", "Barcode", "qrcode",
// "Label1", "Label2", "Label3").
struct Item {
  enum class Kind { Text, Photo, Code128, Qr };
  Kind kind = Kind::Text;
  QString name;
  QRect box;  // twips
  QString text;
  FontValue font;
  int align = Qt::AlignLeft;
  bool wrap = false;
  bool visible = true;
  int clipWidth = 0;  // twips; a caption is cut where the value column covers it
};
using Face = std::vector<Item>;

// Line height of a font in twips, the height of an auto-sized label.
int lineHeight(const FontValue& f);
// The field rows, photo and barcode places, and the header lines stacked by their fonts.
Face front(const Settings& s);
Face back(const Settings& s);
// The item of a face by name; nullptr when there is none.
Item* find(Face& face, const QString& name);

// The member field each field row shows on a printed card, by row.
inline const char* const kRowFields[7] = {"nis", "nisn", "nama", "ttl", "agama", "kelamin", "kelas"};
// Puts a member's values (by row, in the order of kRowFields) in the value column of the
// field rows. A value is not known when the card is designed: it may run on to the card's
// right margin (nothing stands right of the field rows), so a birth place and date is not
// cut short.
void showMember(Face& face, const QString (&values)[7]);

// What a card shows besides its texts and places.
struct Pictures {
  QImage background;      // the card face image, under everything
  QImage photo;           // fitted into its place in proportion; without one an empty frame shows
  QString code128;        // the text the Code 128 symbol carries; none is drawn for an empty text
  QImage qr;              // the QR symbol, a pixel a module, or a picture of it
  bool qrShapes = false;  // a one-bit `qr` is drawn as shapes: sharp at any printer's resolution
};

// Draws a card side into `target` (device coordinates of `p`): white, the card face image,
// the visible pictures, then the texts over them, nothing outside the card.
void draw(QPainter& p, const Face& face, const QRectF& target, const Pictures& pics);

// Draws a Code 128 symbol of `text` as filled bars into `box`, centred, on a white ground
// that includes the quiet zones; `maxModule` bounds the bar width unit. Draws nothing for
// an empty text or one Code 128 cannot carry.
void drawCode128(QPainter& p, const QRectF& box, const QString& text, double maxModule);

}  // namespace cardface
