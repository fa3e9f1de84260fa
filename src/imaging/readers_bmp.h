#pragma once
// The picture class's reader of Windows bitmap files: the platform's bitmap decoder reads the
// headers and pixels; this reader adds the load event, the alpha analysis and an embedded
// JPEG or PNG image.
#include "readers_common.h"

namespace imaging {

// flags 0: not a bitmap file this reader takes (the caller tries the other readers).
// Otherwise flags carry type 1 (0x1000000), 0x400 when the picture was built from the pixels
// with options.keepOriginalFormat set, and for 32-bit pixels the alpha analysis; the image is
// null when the file was taken but no picture came out. props: (width, height as stored,
// transparency kind). options.imageDpi is set from the stored horizontal resolution.
ReaderResult parseBmp(Bytes source, LoadOptions& options, const LoadEventHandler& onLoad = {});

}  // namespace imaging
