#include "codecs.h"

namespace gdiplus {

const std::vector<ImageCodecInfo>& getImageEncoders() {
  auto clsid = [](std::uint32_t first) {
    return QUuid(first, 0x1a04, 0x11d3, 0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
  };
  static const std::vector<ImageCodecInfo> list = {
      {clsid(0x557cf400), imageFormat(ImageFormatBMP), "Built-in BMP Codec", "BMP", "*.BMP;*.DIB;*.RLE", "image/bmp"},
      {clsid(0x557cf401), imageFormat(ImageFormatJPEG), "Built-in JPEG Codec", "JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF",
       "image/jpeg"},
      {clsid(0x557cf402), imageFormat(ImageFormatGIF), "Built-in GIF Codec", "GIF", "*.GIF", "image/gif"},
      {clsid(0x557cf405), imageFormat(ImageFormatTIFF), "Built-in TIFF Codec", "TIFF", "*.TIF;*.TIFF", "image/tiff"},
      {clsid(0x557cf406), imageFormat(ImageFormatPNG), "Built-in PNG Codec", "PNG", "*.PNG", "image/png"},
  };
  return list;
}

Status getImageEncodersSize(unsigned& count, unsigned& size) {
  const auto& list = getImageEncoders();
  count = unsigned(list.size());
  // 76 bytes a record, then the texts as UTF-16 with their terminators.
  size = 0;
  for (const ImageCodecInfo& c : list)
    size += 76 + 2 * unsigned(c.codecName.size() + c.formatDescription.size() + c.filenameExtension.size() +
                              c.mimeType.size() + 4);
  return Status::Ok;
}

}  // namespace gdiplus
