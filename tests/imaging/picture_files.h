#pragma once
// Picture files the picture tests write for themselves: JPEG (with an Exif orientation, or
// CMYK), PNG, animated GIF and multi-page TIFF, each built by its format's own writer.
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

namespace imaging_test {

QImage solid(int w, int h, QRgb c);
// A JPEG of the image; with an orientation an Exif segment carrying it.
QByteArray jpegFile(const QImage& img, int exifOrientation = 0);
// A CMYK JPEG (Adobe, so stored inverted) of one colour.
QByteArray cmykJpegFile(int w, int h, int c, int m, int y, int k);
QByteArray pngFile(const QImage& img);
// One GIF frame per image, each with its delay in hundredths and a loop count; pixels with
// alpha 0 use the transparent index.
QByteArray gifFile(const std::vector<QImage>& frames, int delay);
// With `alpha` the pages keep their alpha unassociated (straight), as a fourth sample.
QByteArray tiffFile(const std::vector<QImage>& pages, bool alpha = false);
// A one-pixel TIFF of the given photometric, sample depth and 16-bit samples (the last one an
// unassociated alpha with `alpha`), with a colour map of 3 x 2^bits entries when one is given;
// 32 bits makes float samples of value / 65535, `tiled` one 16 x 16 tile.
QByteArray sampleTiffFile(int photometric, int bits, const std::vector<std::uint16_t>& samples, bool alpha = false,
                          const std::vector<std::uint16_t>& colourMap = {}, bool tiled = false);

}  // namespace imaging_test
