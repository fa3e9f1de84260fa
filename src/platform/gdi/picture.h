#pragma once
// The OLE standard picture: a bitmap, icon or metafile handle with its size in HIMETRIC
// (0.01 mm), drawing (Render), attributes, and saving back to a stream. A picture can carry
// the bytes it was loaded from, and then saves those. A manager, when set, stands in for
// Render and get_Attributes and hears of the picture's end, so that a picture manager can
// draw it its own way without the owner knowing.
#include <cstdint>
#include <memory>
#include <vector>

#include "handles.h"
#include "stream.h"

namespace gdi {

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = std::int32_t(0x80004005);
constexpr HRESULT E_INVALIDARG = std::int32_t(0x80070057);
constexpr HRESULT E_POINTER = std::int32_t(0x80004003);
constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = std::int32_t(0x800A017C);

constexpr short PICTYPE_NONE = 0;
constexpr short PICTYPE_BITMAP = 1;
constexpr short PICTYPE_METAFILE = 2;
constexpr short PICTYPE_ICON = 3;
constexpr short PICTYPE_ENHMETAFILE = 4;

constexpr std::uint32_t PICTURE_SCALABLE = 1;
constexpr std::uint32_t PICTURE_TRANSPARENT = 2;

// Render's arguments: destination in pixels of the device context, source in HIMETRIC with y
// counted from the bottom (the usual call passes y = height and a negative source height).
struct RenderArgs {
  Handle dc = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int xSrc = 0, ySrc = 0, cxSrc = 0, cySrc = 0;
};

class Picture;

class PictureManager {
 public:
  virtual ~PictureManager() = default;
  virtual HRESULT render(Picture& picture, const RenderArgs& args) = 0;
  virtual HRESULT attributes(Picture& picture, std::uint32_t* attributes) = 0;
  // The picture is ending; it is still whole.
  virtual void released(Picture& picture) = 0;
};

class Picture {
 public:
  // OleCreatePictureIndirect: wraps a handle; with `own` the picture deletes it at its end.
  static std::shared_ptr<Picture> createIndirect(short type, Handle handle, bool own);
  // A picture without an image (type PICTYPE_NONE).
  static std::shared_ptr<Picture> createEmpty();
  // OleLoadPicture: `length` bytes from the stream's position; BMP, JPEG, GIF (first frame),
  // ICO, and placeable WMF and EMF metafiles. With `keepOriginalFormat` the picture keeps the bytes. Null when the
  // bytes are none of these or beyond the size limits.
  static std::shared_ptr<Picture> load(Stream& stream, std::int64_t length, bool keepOriginalFormat);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  static std::size_t liveCount();

  Handle handle() const { return handle_; }
  short type() const { return type_; }
  std::int32_t width() const { return hmWidth_; }  // HIMETRIC
  std::int32_t height() const { return hmHeight_; }
  bool keepOriginalFormat() const { return !source_.empty(); }
  const std::vector<std::uint8_t>& sourceBytes() const { return source_; }
  // The file a picture was made from, kept as the picture loader keeps it.
  void keepSourceBytes(std::vector<std::uint8_t> bytes) { source_ = std::move(bytes); }

  HRESULT render(const RenderArgs& args);
  HRESULT attributes(std::uint32_t* attributes);
  HRESULT nativeRender(const RenderArgs& args);
  HRESULT nativeAttributes(std::uint32_t* attributes) const;
  // Writes the picture as a file: its kept bytes, else a BMP of a bitmap or an ICO of an icon.
  // `saveMemCopy` false with kept bytes writes those bytes all the same.
  HRESULT saveAsFile(Stream& out, bool saveMemCopy, std::int64_t* written);

  void setManager(PictureManager* manager) { manager_ = manager; }
  PictureManager* manager() const { return manager_; }

 private:
  Picture() = default;
  static std::shared_ptr<Picture> loadMetafile(std::vector<std::uint8_t> bytes, bool keepOriginalFormat);
  Handle handle_ = 0;
  short type_ = PICTYPE_NONE;
  bool own_ = false;
  bool transparent_ = false;
  std::int32_t hmWidth_ = 0, hmHeight_ = 0;
  std::vector<std::uint8_t> source_;
  PictureManager* manager_ = nullptr;
};

using StdPicture = std::shared_ptr<Picture>;

// Pixels to HIMETRIC at the screen's resolution, and back.
std::int32_t pixelsToHimetric(std::int64_t pixels, int dpi);
std::int32_t himetricToPixels(std::int64_t himetric, int dpi);

}  // namespace gdi
