#pragma once
// The QR component: a text to a QR image saved as JPEG.
#include <QImage>
#include <QString>

namespace barcode {

// The QR symbol of `text` (UTF-8) with its quiet zone, one pixel a module, black on
// white (QImage::Format_Mono). An empty text gives the blank quiet area of the smallest
// symbol. Throws vb::VbError for a text a QR code cannot hold.
QImage qrModules(const QString& text);

// Writes the QR symbol of `text` as a JPEG file, replacing it atomically; the file
// carries a fingerprint of the text. Throws vb::VbError on failure.
void saveQrJpeg(const QString& text, const QString& file);

// True when `file` is a complete picture that saveQrJpeg wrote for exactly `text`, so
// it need not be written again. Reads the file's header and last bytes, not the picture.
bool qrJpegShows(const QString& text, const QString& file);

}  // namespace barcode
