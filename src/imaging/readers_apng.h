#pragma once
// Our own reader of animated PNG files: a walk over the chunks that checks the animation
// control, frame control and frame data chunks, and the composition of every frame on one
// canvas as the frames' dispose and blend operations say.
#include <QImage>

#include "readers_common.h"

namespace imaging {

// CRC-32 as PNG chunks carry it (reflected polynomial 0xEDB88320).
std::uint32_t chunkCrc(const std::uint8_t* bytes, std::size_t count);

struct ApngFrame {
  QImage image;   // the canvas after the frame was drawn: Format_ARGB32, the PNG's size
  int delay = 0;  // hundredths of a second
};

class ApngReader {
 public:
  // The frame count when the walk reached IEND without a fault and the file is animated;
  // 0 otherwise (a still picture). Resets what an earlier walk found.
  int scanChunks(Bytes source, int imageWidth, int imageHeight);
  // Every frame composed, after a walk that returned 2 or more over the same bytes; empty
  // when a frame cannot be built. `defaultImage` is the PNG's own image.
  std::vector<ApngFrame> composeFrames(const QImage& defaultImage, Bytes source) const;
  int loopCount() const { return loopCount_; }

  struct Frame {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pieces;  // offset and length of compressed data
    int delay = 0;
    std::int64_t x = 0, y = 0, width = 0, height = 0;
    int dispose = 0, blend = 0;
  };
  const std::vector<Frame>& frames() const { return frames_; }

 private:
  bool readAcTL(ByteReader& r, std::uint64_t data, std::uint64_t length);
  bool readFcTL(ByteReader& r, std::uint64_t data, std::uint64_t length);
  bool readFdAT(ByteReader& r, std::uint64_t data, std::uint64_t length);

  int frameCount_ = 0;
  std::vector<Frame> frames_;
  int loopCount_ = 0;
  std::uint64_t firstImageData_ = 0;
  std::int64_t width_ = 0, height_ = 0;
  std::uint32_t nextSequence_ = 0;
  int fcTLCount_ = 0;
  bool disposesToPrevious_ = false;
  bool defaultIsNotFirstFrame_ = false;
};

struct ApngResult {
  std::uint32_t flags = 0;  // 0: not a PNG file
  std::vector<ApngFrame> frames;  // empty: a PNG file without a picture
  int loopCount = 0;              // 0: endless
  PicProps props;                 // (width, height, frames x 16 + transparency kind)
};

// Reads a PNG file, composing its animation when it has a sound one: type 15 (0xF000000)
// with 0x10000001 and every frame; otherwise type 7 with the one picture. The transparency
// kind comes from the alpha analysis of the PNG's own image; pixels stay straight.
ApngResult readApng(Bytes source, LoadOptions& options, const LoadEventHandler& onLoad = {});

}  // namespace imaging
