#pragma once
// Writes a cBitmap24 as a JPEG file through the program's one JPEG encoder. The file is
// replaced through the one atomic-file helper, so the target is always the old file or the
// whole new one; an existing file hands its access and modification times to the new one
// (its mode and the handling of a link are the helper's).
#include <QString>
#include <cstdint>

class cBitmap24;

namespace mJpegWriter {

// Codes after "Failed to save to JPG " that come from this module rather than the encoder
// (whose own error codes are positive).
constexpr int kNoBitmap = -1;       // the bitmap holds no pixels
constexpr int kCannotCreate = -2;   // the temporary file can't be made (missing folder, no rights)
constexpr int kCannotWrite = -3;    // writing or flushing it failed (disk full)
constexpr int kCannotReplace = -4;  // it could not be closed or renamed over the target

// True when the file was written; every failure throws vb::VbError: 26001 for the encoder
// and the file writing, 75 "Path/File access error" for a target whose owner may not write
// it (left untouched). Quality is on the scale 1 .. 100; values outside are taken as the
// nearest end.
bool SaveJPG(cBitmap24& bitmap, const QString& fileName, std::int32_t quality);

}  // namespace mJpegWriter
