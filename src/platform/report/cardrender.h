#pragma once
// Draws the cards of a job onto a paged device (PDF writer, printer or the print
// preview's pages) at true size.
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
  struct Scale;
  // What a card shows that is read from files: one picture for each photo and QR element
  // of the template, read on worker threads ahead of the drawing.
  struct Pictures {
    std::vector<QImage> byElement;
    std::vector<bool> qrModules;  // the QR element's picture is the symbol, a pixel a module
  };
  Pictures readPictures(const QVariantList& row) const;
  void drawElement(QPainter& p, const Scale& s, QPointF originMm, const QVariantList& row, const Element& e,
                   const QImage& picture, bool qrModules, const QImage& blank);
  void drawQr(QPainter& p, const QRectF& target, const QImage& img, bool modules);
  void drawFace(QPainter& p, const Element& e, const QRectF& box, const QVariantList& row);
  QVariant value(const QVariantList& row, const QString& field) const;
  double pictureDpi() const;
  QImage forShow(const QImage& img) const;

  Job job_;
  std::shared_ptr<const CardTemplate> tpl_;
  QHash<QString, int> fieldIndex_;  // lower-case field name -> first position
  QImage background_;               // loaded once, so a PDF stores it once
  QString folder_;                  // the program folder
  bool preview_ = false;
  cardface::Face front_, back_;  // laid out once for the whole job
};

// Draws a Code 128 symbol of `text` as filled bars into `box` (device pixels), on a white
// ground that includes the quiet zones. `maxModule` bounds the bar width unit. Draws
// nothing for an empty text or one Code 128 cannot carry.
void drawCode128(QPainter& p, const QRectF& box, const QString& text, double maxModule);

// Reads a picture file within `maxPx` (kept in proportion), opaque. Returns a null image
// for a missing, unreadable or unreasonably large file.
QImage loadPicture(const QString& file, QSize maxPx, bool keepAspect = true);

}  // namespace report
