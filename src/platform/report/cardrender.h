#pragma once
// Draws the cards of a job onto a paged device (PDF writer, printer or the print
// preview's pages) at true size: each card side through the one card face routine, placed
// on its page.
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <functional>
#include <memory>
#include <vector>

#include "cardreport.h"
#include "cardtemplate.h"

class QPainter;

namespace report {

class CardRenderer {
 public:
  CardRenderer(Job job, std::shared_ptr<const CardTemplate> tpl);

  int cardCount() const { return int(job_.rows.size()); }
  int pageCount() const;
  // The template's page, without margins: the painter's origin is the sheet's corner.
  QPageLayout pageLayout() const;
  const CardTemplate& cardTemplate() const { return *tpl_; }

  // Draws every card on a painter active on a paged device whose origin is the sheet's
  // corner; `newPage` starts the next page and returns false when the device failed.
  // Missing or unreadable pictures are left out; nothing here throws.
  bool render(QPainter& p, const std::function<bool()>& newPage);
  // The print preview keeps every page in memory: it gets photos at screen resolution
  // and QR codes as small pictures. Paper and PDF get photos at print resolution and QR
  // codes as shapes.
  void setForPreview(bool preview) { preview_ = preview; }

 private:
  // What a card shows that is read from files, read on worker threads ahead of the drawing.
  struct Pictures {
    QImage photo;
    QImage qr;
    bool qrShapes = false;  // `qr` is the symbol, a pixel a module
  };
  Pictures readPictures(const QVariantList& row) const;
  QVariant value(const QVariantList& row, const QString& field) const;
  double pictureDpi() const;
  QImage forShow(const QImage& img) const;

  Job job_;
  std::shared_ptr<const CardTemplate> tpl_;
  QHash<QString, int> fieldIndex_;  // lower-case field name -> first position
  QImage background_;               // loaded once, so a PDF stores it once
  QString folder_;                  // the program folder
  bool preview_ = false;
  cardface::Face face_;    // the card side of the template, laid out once for the whole job
  QSizeF photoMm_, qrMm_;  // the largest photo and QR places; empty when the card has none
};

// Writes the cards into a PDF file at true size, each page exactly the template's page,
// replacing the file only when it is complete. Throws vb::VbError on failure.
void writePdf(CardRenderer& renderer, const QString& pdfFile, const QString& title);

// Reads a picture file within `maxPx` (kept in proportion), opaque. Returns a null image
// for a missing, unreadable or unreasonably large file.
QImage loadPicture(const QString& file, QSize maxPx, bool keepAspect = true);

}  // namespace report
