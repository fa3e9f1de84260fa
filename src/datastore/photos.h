#pragma once
// File names of member photos and the blank photo under the program folder.
#include <QString>

#include "vb.h"

namespace photos {
// "\photos\" & nis with every "/" replaced by "-" & ".jpg".
inline QString memberPhotoFile(QString nis) {
  nis.replace('/', '-');
  return vb::appPath(QStringLiteral("photos/")) + nis + QStringLiteral(".jpg");
}
inline QString blankPhotoFile() { return vb::appPath(QStringLiteral("images/temp.jpg")); }
}  // namespace photos
