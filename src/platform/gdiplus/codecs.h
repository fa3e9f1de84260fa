#pragma once
// The installed image encoders, as GDI+ lists them (GdipGetImageEncoders): one record per
// format with its class identifier and MIME type.
#include <QString>
#include <QUuid>
#include <vector>

#include "image.h"

namespace gdiplus {

struct ImageCodecInfo {
  QUuid clsid;
  QUuid formatId;
  QString codecName;
  QString formatDescription;
  QString filenameExtension;
  QString mimeType;
};

// The number of encoders and the size in bytes GDI+ would need to hand them over.
Status getImageEncodersSize(unsigned& count, unsigned& size);
const std::vector<ImageCodecInfo>& getImageEncoders();

}  // namespace gdiplus
