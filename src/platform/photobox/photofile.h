#pragma once
// Member photo files: the one rule that names them and the one reader, with one set of
// limits, that the entry window, the main window, the webcam hand-over and the card renderer
// share. Pictures are decoded by the picture library's decoders, whose limits these are.
// Needs no widgets, so the report layer can use it.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace photobox {

// A card photo needs about 300 x 400 pixels at 300 dpi. 12000 pixels a side and 40
// megapixels hold the full picture of any common phone or camera many times over, while
// the decoded picture (160 MB at 4 bytes a pixel) stays bounded. Anything larger is
// refused from its header, before decoding.
constexpr int kMaxPictureSide = 12000;
constexpr qint64 kMaxPicturePixels = 40'000'000;
// The largest photo file the entry window takes ("600 kb"); a JPEG up to this size is
// stored as it is instead of being encoded again.
constexpr qint64 kMaxPhotoFileBytes = 602'400;

// File name of a member's photo: the nis with "/" as "-" (stored photos rely on it), and
// every other character that would leave the photo folder, hide the file or cut the path
// ("\", control characters, leading dots) also as "-", then ".jpg". "" for an empty nis.
QString photoFileName(const QString& nis);
// Program folder & "/photos/" & photoFileName(nis); "" for an empty nis.
QString memberPhotoFile(const QString& nis);
// The shipped blank photo.
QString blankPhotoFile();

struct PictureFile {
  enum class Status { Ok, Missing, TooLarge, TooManyScans, TooMuchMemory, AnimationTooLarge, Unreadable };
  Status status = Status::Missing;
  QImage image;     // upright: an EXIF orientation is applied
  QByteArray jpeg;  // the file's own bytes, when they can be stored unchanged
  QSize size;       // as the file's header gives it
};

// Reads a picture file (JPEG, PNG, GIF, TIFF or BMP, taken from the content), upright. A
// picture beyond the limits is refused (TooLarge) before its pixels are decoded, a JPEG
// whose scans would take too many passes over it (TooManyScans) as soon as it has taken the
// most allowed, a JPEG that must be read whole and would take more memory than allowed at the
// size asked (TooMuchMemory) before its scans are read, a picture of several frames whose canvas takes more than half the pixel limit
// (AnimationTooLarge) at its second frame. With a valid `maxPx` it comes out no larger than that box (in proportion
// unless `keepAspect` is false), a JPEG decoded at a reduced scale where that box allows; without
// one, the bytes of an upright JPEG within kMaxPhotoFileBytes come along in `jpeg`. With
// `requireWhole`, a JPEG cut short or corrupt is Unreadable instead of shown with the missing
// part filled in.
PictureFile readPictureFile(const QString& file, QSize maxPx = QSize(), bool keepAspect = true,
                            bool requireWhole = false);

// The message for a picture beyond the limits.
QString tooLargeMessage(QSize size);
// The message for a JPEG whose scans would take too many passes to decode.
QString tooManyScansMessage(QSize size);
// The message for a JPEG that would take too much memory to read at full size.
QString tooMuchMemoryMessage(QSize size);
// The message for a picture of several frames beyond half the pixel limit.
QString animationTooLargeMessage(QSize size);

}  // namespace photobox
