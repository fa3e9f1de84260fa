#pragma once
// Member photo files under the program folder: the name rule and the blank photo come
// from the photo layer, so every window and the card agree on them.
#include <QString>

#include "photofile.h"

namespace photos {
using photobox::blankPhotoFile;
using photobox::memberPhotoFile;

// The nis of another member (an id other than `id`) whose photo file has the same name
// as the photo of `nis` ("2024/002" and "2024-002" share one), or "" when there is none.
// Throws vb::VbError when the lookup fails.
QString pemilikLain(const QString& nis, long long id);
}  // namespace photos
