#pragma once
// Draws the cards of a job onto a paged device (PDF writer or printer) at true size.
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <functional>
#include <memory>

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
  // Resolution at which photos are read: full for print and PDF, less for a preview,
  // which keeps every page in memory.
  void setPictureDpi(double dpi) { pictureDpi_ = dpi; }

 private:
  struct Scale;
  void drawCard(QPainter& p, const Scale& s, QPointF originMm, const QVariantList& row);
  void drawPhoto(QPainter& p, const QRectF& box, const Scale& s, const QVariantList& row);
  void drawQrImage(QPainter& p, const QRectF& box, const QVariantList& row);
  void drawFields(QPainter& p, const Element& e, const QRectF& box, const Scale& s, const QVariantList& row);
  void drawSettingText(QPainter& p, const Element& e, const QRectF& box);
  QVariant value(const QVariantList& row, const QString& field) const;
  const QImage& blankPhoto(QSize maxPx);

  Job job_;
  std::shared_ptr<const CardTemplate> tpl_;
  QHash<QString, int> fieldIndex_;  // lower-case field name -> first position
  QImage background_;               // loaded once, so a PDF stores it once
  QImage blank_;                    // the blank photo, loaded on first need at one size
  QSize blankSize_;
  bool blankTried_ = false;
  double pictureDpi_ = 300.0;
};

// Draws a Code 128 symbol of `text` as filled bars into `box` (device pixels), on a white
// ground that includes the quiet zones. `maxModule` bounds the bar width unit. Draws
// nothing for an empty text or one Code 128 cannot carry.
void drawCode128(QPainter& p, const QRectF& box, const QString& text, double maxModule);

// Reads a picture file within `maxPx` (kept in proportion), opaque. Returns a null image
// for a missing, unreadable or unreasonably large file.
QImage loadPicture(const QString& file, QSize maxPx, bool keepAspect = true);

}  // namespace report
