#pragma once
// The QR component: a text to a QR image saved as JPEG.
#include <QString>

namespace barcode {
// Writes a QR code of `text` (UTF-8) as a JPEG file, replacing it atomically.
// Throws vb::VbError on failure.
void saveQrJpeg(const QString& text, const QString& file);
}  // namespace barcode
