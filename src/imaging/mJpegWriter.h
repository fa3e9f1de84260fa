#pragma once
// Writes a cBitmap24 as a baseline JPEG file (4:2:0, the encoder's standard tables scaled to
// the quality). The file is written beside the target, flushed to the disk and only then put
// in its place, so the target is always the old file or the whole new one; an existing file
// hands its access and modification times and its mode to the new one.
#include <QString>
#include <cstddef>
#include <cstdint>

class cBitmap24;

namespace mJpegWriter {

// Codes after "Failed to save to JPG " that come from this module rather than the encoder
// (whose own error codes are positive).
constexpr int kNoBitmap = -1;       // the bitmap holds no pixels
constexpr int kCannotCreate = -2;   // the temporary file can't be made (missing folder, no rights)
constexpr int kCannotWrite = -3;    // writing, flushing or closing it failed (disk full)
constexpr int kCannotReplace = -4;  // it could not be renamed over the target

// True when the file was written; every failure throws vb::VbError: 26001 for the encoder
// and the file writing, 75 "Path/File access error" for a target whose owner may not write
// it (left untouched). Quality is on the scale 1 .. 100; values outside are taken as the
// nearest end.
bool SaveJPG(cBitmap24& bitmap, const QString& fileName, std::int32_t quality);

// The encoded file is held in memory until it is complete; it may not grow beyond this many
// bytes (1 GiB unless set): beyond it the save fails with the encoder's out-of-memory code.
std::size_t outputLimit();
void setOutputLimit(std::size_t bytes);

}  // namespace mJpegWriter
