#pragma once
// The library's own readers as the picture class's loading road calls them.
#include "cPicture.h"

namespace imaging {

// The BMP and icon readers (in that order), the animated PNG frames and the copy at a size.
PictureReaders libraryReaders();

}  // namespace imaging
