#pragma once
// GIF encoding of a picture (the designer's element pictures are ".gif" files).
#include <QByteArray>
#include <QImage>

namespace photobox {

// The picture as a GIF file of at most 256 colours; pixels more than half transparent
// become the transparent colour. Empty on failure.
QByteArray encodeGif(const QImage& img);

}  // namespace photobox
