#pragma once
// A card template: what one card shows and how cards sit on the page. Read from our
// own JSON files (temp/01.rep .. temp/05.rep); every length is in millimetres.
#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

namespace report {

struct FontStyle {
  QString family = QStringLiteral("Liberation Sans");
  double size = 7.0;  // points
  bool bold = false;
  bool italic = false;
};

// One line of the member block: "caption : value".
struct FieldRow {
  QString field;          // dataset field of the value
  QString caption;        // shown when the caption column is absent
  QString captionColumn;  // tlabel column of the user's caption ("" = always `caption`)
  QString showColumn;     // tlabel Yes/No column; "" = always shown
};

struct Element {
  // Face: the card face layout of the stored settings, drawn over the whole card; its
  // photo and barcode places become Photo and Code128/QrImage elements of their own.
  enum class Kind { Photo, Fields, Code128, QrImage, SettingText, Line, Face };
  Kind kind = Kind::Photo;
  QRectF box;  // on the card, mm from its top left corner
  // Texts.
  FontStyle font;
  QColor color = Qt::black;
  int align = 0;      // Qt::Alignment flags
  bool wrap = false;  // SettingText: word-wrapped within the box, else one line shrunk to fit
  QString column;     // SettingText: tblsetting column; Face: "front" or "back"
  // Fields.
  double valueOffset = 12.0;  // from the box's left edge to the ": value" column
  double rowHeight = 3.0;
  std::vector<FieldRow> rows;
  // Line.
  QLineF line;
  double lineWidth = 0.3;
};

struct CardTemplate {
  enum class Page { Card, A4 };

  QString file;
  QString connection;  // name of the template's connection ("gg")
  QString dataset;     // name of its dataset ("datasiswa")
  Page page = Page::Card;
  double margin = 7.0;   // A4: least margin around the grid of cards
  double gap = 3.0;      // A4: space between cards
  bool cutLines = true;  // A4: thin lines along the card edges for cutting
  QSizeF card{85.60, 53.98};
  QString side;        // "front" or "back"
  QString background;  // card face, relative to the program folder; "" = plain white
  std::vector<Element> elements;

  QSizeF pageSize() const;  // mm
  int columns() const;      // cards across a page
  int rowsPerPage() const;  // cards down a page
  int cardsPerPage() const { return columns() * rowsPerPage(); }
  // Top left corner of the card at `slot` (0 .. cardsPerPage()-1) on its page, mm.
  QPointF cardOrigin(int slot) const;
};

// Reads and checks a template file. Throws vb::VbError for a missing, unreadable or
// invalid file, naming the file and what is wrong.
CardTemplate loadTemplate(const QString& file);

}  // namespace report
