#pragma once
// What the picture readers share: the caller's load variables (which the load event may
// change), the load event itself, the property table it shows and the flags word the readers
// return.
#include <QImage>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "byte_reader.h"

namespace imaging {

using Bytes = std::span<const std::uint8_t>;

// Flags word: picture type in bits 24-27, several frames in bit 28, transparency kind in
// bits 29-30, forced transparency in bit 0, source bytes kept in 0x400.
constexpr std::uint32_t kTypeBitmap = 0x1000000;
constexpr std::uint32_t kTypeIcon = 0x3000000;
constexpr std::uint32_t kTypeCursor = 0x5000000;
constexpr std::uint32_t kTypePng = 0x7000000;
constexpr std::uint32_t kTypeAnimatedPng = 0xF000000;
constexpr std::uint32_t kTypeMask = 0xF000000;
constexpr std::uint32_t kSeveralFrames = 0x10000001;
constexpr std::uint32_t kSourceKept = 0x400;
constexpr std::uint32_t kAlphaStraight = 0x20000001;
constexpr std::uint32_t kAlphaPremultiplied = 0x40000001;
constexpr std::uint32_t kAlphaKindMask = 0x60000000;
inline int transparencyKind(std::uint32_t flags) { return int((flags >> 29) & 3); }

// The caller's variables; the readers and the load event read and change them.
struct LoadOptions {
  int manageStyle = 0;
  bool keepOriginalFormat = false;
  int imageDpi = 96;
  std::uint32_t transparencyFillColor = 0;
  int iconIndex = 0;
  int iconCx = 0;
  int iconCy = 0;
  int iconDepth = 0;
};

// One column per image: row 0 width, row 1 height, row 2 depends on the reader.
using PicProps = std::vector<std::array<std::int32_t, 3>>;

// The load event, raised before a picture is made; setting abortLoading makes the load give
// no picture.
struct LoadEvent {
  int picType = 0;
  PicProps& props;
  LoadOptions& options;
  bool abortLoading = false;
};
using LoadEventHandler = std::function<void(LoadEvent&)>;

// Raises the event when there is a handler; true when the load goes on.
inline bool raiseLoadEvent(const LoadEventHandler& handler, int picType, PicProps& props, LoadOptions& options) {
  if (!handler) return true;
  LoadEvent ev{picType, props, options};
  handler(ev);
  return !ev.abortLoading;
}

// What a reader hands back. flags 0: the bytes are not this reader's format, so the caller
// tries the next one. flags non-zero with a null image: the reader took the bytes but no
// picture came out. The image is 32 bits a pixel, top row first: Format_ARGB32 for straight
// (or no) alpha, Format_ARGB32_Premultiplied when the flags say premultiplied.
struct ReaderResult {
  std::uint32_t flags = 0;
  QImage image;
  PicProps props;
  int hotSpotX = 0;  // cursors only
  int hotSpotY = 0;
  QImage pngEntry;  // icons and cursors: the chosen PNG entry at its own size (null for a DIB entry)
};

using gdi::ByteReader;

}  // namespace imaging
