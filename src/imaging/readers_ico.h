#pragma once
// The picture class's reader of Windows icon (.ico) and cursor (.cur) files: the platform's
// icon decoder validates the directory and decodes a DIB entry; this reader shows every
// entry to the load event, chooses one and adds the alpha analysis and PNG entries.
#include "ico_decode.h"
#include "readers_common.h"

namespace imaging {

// flags 0: not an icon or cursor file this reader takes. Otherwise type 3 (0x3000000, icon)
// or 5 (0x5000000, cursor); a PNG entry adds 0x20000001, and a DIB entry under manage style 2
// (or -1) its transparency kind. The image is null when no picture came out; it has the
// size options.iconCx x options.iconCy when both are above 0 (the chosen entry is scaled),
// else the entry's own. props: one column per entry (width, height, bit depth), as read from
// the entries' own data. options.iconIndex/iconCx/iconCy/iconDepth come back as used.
// hotSpotX/hotSpotY: the chosen cursor entry's hot spot.
ReaderResult parseIco(Bytes source, LoadOptions& options, const LoadEventHandler& onLoad = {});

// The choice of an entry is the platform icon decoder's.
using gdi::chooseIconEntry;

}  // namespace imaging
