#pragma once
// Our own reader of Windows icon (.ico) and cursor (.cur) files: it validates the directory,
// shows every entry to the load event, chooses one entry and decodes it (a DIB with its AND
// mask, or a whole PNG file).
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

// The entry that the index, the wanted size and depth choose, counted from 0, over the
// entries' (width, height, depth). A wanted depth of 0 becomes screenDepth once the choice
// by size needs a depth.
int chooseIconEntry(const PicProps& entries, int iconIndex, int iconCx, int iconCy, int& iconDepth,
                    int screenDepth);

}  // namespace imaging
