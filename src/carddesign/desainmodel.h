#pragma once
// The design elements of one card side. Each element's place and size in twips is the one
// truth: the designer's widgets only show it, the save stores it as it stands and the card
// face is drawn from it, so no value drifts through a round trip to pixels.
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "cardface.h"
#include "photobox.h"

class QPainter;

namespace desain {

// The canvas in twips.
inline constexpr int kCanvasWidth = 9772;
inline constexpr int kCanvasHeight = 6350;
// The designer shows the canvas at 15 twips a pixel.
inline constexpr int kTwipsPerPixel = 15;
// The composed card face in pixels: the canvas as the designer shows it, 9772 x 6350 twips
// at 15 twips a pixel (651.5 x 423.3, whole pixels as the screen has them). A fixed size, so
// the card face never depends on the screen the design was saved on.
inline constexpr QSize kFaceSize(651, 423);

struct Elemen {
  QString nama;
  bool label = false;  // a free text label; otherwise one of the five image elements
  double left = 0, top = 0, width = 0, height = 0;  // twips within the canvas
  bool visible = true;
  // Image elements: the picture shown, which is also the picture the save writes.
  photobox::Picture gambar;
  bool gambarBaru = false;  // picked since the designer opened: the save writes its file
  // Text labels.
  QString caption;
  cardface::FontValue font;
  bool autoSize = false;
  bool bingkai = false;  // framed while it is dragged or its width is set
  QRectF rect() const { return QRectF(left, top, width, height); }
};

// The five image elements with their design places, in the order the window meets its
// controls (the save inserts missing rows in this order).
struct Rancangan {
  const char* nama;
  int left, top, width, height;
};
inline constexpr Rancangan kGambar[5] = {{"tanda_tangan", 8520, 4680, 1095, 1095},
                                         {"stempel", 480, 4560, 1095, 1095},
                                         {"logo2", 8520, 360, 1095, 1095},
                                         {"logo1", 480, 360, 1095, 1095},
                                         {"latar", 0, -120, 9975, 6135}};

// The default text colour of a new label: the system's button text colour.
inline constexpr qint32 kWarnaLabel = qint32(0x80000012u);

// The picture file of an image element of `side`: images/<side>_templatar.jpg for the
// background, images/<side>_<name>.gif for the others (the backup finds both).
QString fileGambar(const QString& side, const QString& nama);
// The card face a side is composed into: images/depan2.jpg for exactly "Front",
// images/back2.jpg for any other side.
QString fileWajah(const QString& side);

// The number of a label name "NewLabel<n>", or -1 for any other name.
int nomorLabel(const QString& nama);
// The number of the next new label: past the highest label row id of the side and past
// the highest number of a label in use, so a new name never repeats a live one.
int nomorLabelBerikut(const QVariant& maxId, const QStringList& namaLabel);

// Sizes a label to its caption in its font, in whole pixels of the canvas.
void ukurOtomatis(Elemen& e);

// Draws an element into `target` (device coordinates) at `pxPerTwip` device pixels a twip:
// a picture stretched to its box, a caption from the box's top left corner, clipped to it.
void gambarElemen(QPainter& p, const Elemen& e, const QRectF& target, double pxPerTwip);

// The side as the canvas shows it: white, then every visible element in `urutan` (bottom
// first), at kFaceSize.
QImage komposisi(const std::vector<const Elemen*>& urutan);

}  // namespace desain
