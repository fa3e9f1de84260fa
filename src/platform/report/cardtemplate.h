#pragma once
// A card template: what one card shows and how cards sit on the page. Read from our
// own JSON files (temp/01.rep .. temp/05.rep); every length is in millimetres.
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

namespace report {

struct Element {
  // Face: the card face layout of the stored settings over the whole card, with its photo
  // and, on the front, the barcode `barcode` names in their places.
  enum class Kind { Photo, Code128, QrImage, Face };
  Kind kind = Kind::Photo;
  QRectF box;       // on the card, mm from its top left corner
  QString side;     // Face: "front" or "back"
  QString barcode;  // Face: "code128", "qrimage" or "" for none
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
