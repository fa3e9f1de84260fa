#pragma once
// The picture class: loads pictures of every supported kind as OLE standard pictures,
// optionally managed by the thread's picture host so that they draw through GDI+ with their
// own settings and raise drawing events; inspects, paints and converts them.
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "graphics.h"
#include "image.h"
#include "picture.h"
#include "picture_host.h"
#include "readers_common.h"
#include "stream.h"

class cPicture;

namespace imaging {

// What LoadPictureEx hands to a reader of its own: the source and the caller's options,
// which the reader may change (the load event lets the client change them).
struct LoadRequest {
  cPicture& owner;
  gdi::Stream& stream;
  std::int64_t length;
  int& ManageStyle;
  bool& KeepOriginalFormat;
  int& ImageDPI;
  std::int32_t& TransparencyFillColor;
  int& IconIndex;
  int& IconCx;
  int& IconCy;
  int& IconDepth;
  QVariant* pLoadPicEventParam;
};

// A reader's answer: its flags word (0: the bytes are not this reader's format), the
// picture it made, and for icons and cursors the GDI+ image it made for manage style 2.
struct ReaderPicture {
  std::uint32_t flags = 0;
  gdi::StdPicture picture;
  std::unique_ptr<gdiplus::Image> image;
};

// A reader tried before GDI+ (bitmap files, icon and cursor files, metafiles). It returns
// its flags word, 0 when the bytes are not its format; a result with picture type 3 or 5
// (icon, cursor) is finished as an icon, any other as a bitmap.
using OwnReader = std::uint32_t (*)(LoadRequest& request, ReaderPicture& result);

// Animated PNG: the number of frames the chunks announce (below 2: not animated), and the
// multi-page image of the composed frames (null when none can be made).
using ApngFrameCount = unsigned (*)(gdi::Stream& stream, std::int64_t length);
using ApngFrames = std::unique_ptr<gdiplus::Image> (*)(gdi::Stream& stream, std::int64_t length);

// The copy of a picture at a size into 32-bit pixels (CopyStdPicture's conversion): returns
// the result's flags word, 0 on failure.
struct CopyRequest {
  const gdi::StdPicture& source;
  gdi::StdPicture& result;
  std::unique_ptr<gdiplus::Image>& iconImage;
  bool SendToEvents;
  int& Width;
  int& Height;
  int ManageStyle;
  bool ReturnAsIcon;
  bool BmpAlphaTypeAsPARGB;
  bool FillTransparency;
  std::int32_t FillTransparencyColor;
  // A GDI+ image handed in: drawn instead of the source picture and, unless ReturnAsIcon,
  // replaced by a new 32-bit image of the copy (the result picture stays empty then).
  std::unique_ptr<gdiplus::Image>* image = nullptr;
};
using PictureCopier = std::uint32_t (*)(cPicture& owner, CopyRequest& request);

// The program's resources by type (2 bitmap, 3 icon image, 1 cursor image, 14 icon group,
// 12 cursor group) and number or name; empty when there is none.
using ResourceLoader = QByteArray (*)(int type, const QVariant& id);

// The readers of the library that LoadPictureEx and CopyStdPicture call, and where
// LoadResPictureEx finds resources; empty entries are skipped.
struct PictureReaders {
  std::vector<OwnReader> own;
  ResourceLoader resources = nullptr;
  ApngFrameCount apngFrameCount = nullptr;
  ApngFrames apngFrames = nullptr;
  PictureCopier copier = nullptr;
};
PictureReaders& pictureReaders();

}  // namespace imaging

class cPicture {
 public:
  using StdPicture = gdi::StdPicture;
  // A picture, a file name, a byte array, or a bitmap, icon or cursor handle.
  using Source = std::variant<std::monostate, StdPicture, QString, QByteArray, std::int32_t>;

  cPicture();
  ~cPicture();
  cPicture(const cPicture&) = delete;
  cPicture& operator=(const cPicture&) = delete;

  StdPicture LoadPictureEx(const Source& Source, int ManageStyle, bool KeepOriginalFormat, int& ImageDPI,
                           std::int32_t TransparencyFillColor, int IconIndex = 0, int IconCx = 0, int IconCy = 0,
                           int IconDepth = 0, QVariant* pLoadPicEventParam = nullptr);
  // ResType 0 bitmap, 1 icon, 2 cursor. An icon or cursor group naming an image that is not
  // there raises vb::VbError 326.
  StdPicture LoadResPictureEx(const QVariant& ResID, int ResType, int ManageStyle, int& ImageDPI, int IconIndex = 0,
                              int IconCx = 0, int IconCy = 0, int IconDepth = 0);
  StdPicture CopyStdPicture(const StdPicture& thePicture, int Width, int Height, int ManageStyle, bool SendToEvents,
                            bool ReturnAsIcon, bool BmpAlphaTypeAsPARGB, bool FillTransparency,
                            std::int32_t FillTransparencyColor);
  StdPicture UnmanagePicture(const StdPicture& thePicture, bool PurgeOriginalFormat,
                             std::int32_t TransparencyFillColor);
  bool GetImageData(const StdPicture& thePicture, QByteArray& arrData);
  int IsManaged(const StdPicture& thePicture);
  bool HasOriginalFormat(const StdPicture& thePicture);
  int HasTransparency(const StdPicture& thePicture);
  int PictureTypeEx(const StdPicture& thePicture);
  // Draws on a device context, coordinates in pixels (the device-context form).
  void PaintPictureEx(gdi::Handle Destination, const StdPicture& thePicture, float X1, float Y1, float Width1 = 0,
                      float Height1 = 0, float X2 = 0, float Y2 = 0, float Width2 = 0, float Height2 = 0);
  // An object to draw on: its device context and the unit of its coordinates (1 twips,
  // 2 points, 3 pixels, 4 characters, 5 inches, 6 millimetres, 7 centimetres, 8 HIMETRIC).
  struct PaintTarget {
    gdi::Handle hDC = 0;
    int ScaleMode = 1;
  };
  // The object form: coordinates in the object's ScaleMode; a mode without a fixed unit
  // (0, a user scale) draws nothing.
  void PaintPictureEx(const PaintTarget& Destination, const StdPicture& thePicture, float X1, float Y1,
                      float Width1 = 0, float Height1 = 0, float X2 = 0, float Y2 = 0, float Width2 = 0,
                      float Height2 = 0);
  int GetFramePageCount(const StdPicture& thePicture);
  bool SetFrameGifPng(const StdPicture& thePicture, int FrameNumber, QWidget* PictureHost = nullptr);
  StdPicture SetPageTIF(const StdPicture& thePicture, int PageNumber, QWidget* PictureHost = nullptr);
  // Raises vb::VbError 438 when Mode asks for events and no client answers EventHandler.
  bool SetCallBacks(const StdPicture& thePicture, const QString& PictureKey, int Mode, bool KeepHimetricValues);
  bool SetScalingQuality(const StdPicture& thePicture, int Quality, QWidget* PictureHost = nullptr);
  bool SetImageAttributesHandle(const StdPicture& thePicture, const gdiplus::ImageAttributes* GDIpAttrHandle,
                                QWidget* PictureHost = nullptr);
  bool SetForceGDIplusUsage(const StdPicture& thePicture, bool Apply, QWidget* PictureHost = nullptr);
  bool SetForceTransparency(const StdPicture& thePicture, bool Apply, QWidget* PictureHost = nullptr);
  float GDIplusVersion() const { return gdiplusVersion_; }
  // A new GDI+ image of the picture's bytes; the caller owns it.
  std::unique_ptr<gdiplus::Image> GDIplusImage(const StdPicture& thePicture);
  void GetImageDimensions(const StdPicture& thePicture, int& Width, int& Height, int ScaleFromDPI, int ScaleToDPI);
  // Element 0 the loop count, 1 .. count the delays in milliseconds (64-bit: a large delay
  // times ten stays whole).
  bool GetGifPngAnimationInfo(const StdPicture& thePicture, std::vector<std::int64_t>& FrameDurations);
  StdPicture RemoveAlphaChannel(const StdPicture& thePicture);
  void setEnableAPNGSupport(bool bSupport) { apng_ = bSupport; }
  bool EnableAPNGSupport() const { return apng_; }
  StdPicture WrapImageHandleToStdPicture(gdi::Handle hHandle);

  // Events.
  std::function<void(int PicType, imaging::PicProps& PicProps, int& ManageStyle, bool& KeepOriginalFormat,
                     int& IconIndex, int& IconCx, int& IconCy, int& IconDepth, std::int32_t& TransparencyFillColor,
                     bool& AbortLoading, QVariant* pLoadPicEventParam)>
      BeforeLoad;
  std::function<void(bool& isHandled)> EventHandler;
  std::function<void(const QString& Key, gdi::Picture& thePicture, gdi::Handle hDC, int& dstX, int& dstY, int& dstCx,
                     int& dstCy, int srcX, int srcY, int srcCx, int srcCy, gdiplus::Image* hImageGDIplus,
                     gdi::Handle& bufferHDC, bool& IgnoreBufferDestParams, bool& DoNotRender)>
      PreRender;
  std::function<void(const QString& Key, gdi::Picture& thePicture, gdi::Handle hDC, int& dstX, int& dstY, int& dstCx,
                     int& dstCy, int srcX, int srcY, int srcCx, int srcCy, gdiplus::Image* hImageGDIplus,
                     gdi::Handle bufferHDC)>
      PostRender;
  std::function<void(const QString& Key, gdiplus::Graphics& hGraphics, int& dstX, int& dstY, int& dstCx, int& dstCy,
                     gdi::Picture& thePicture, gdiplus::Image* hImageGDIplus)>
      SetHGraphics;
  std::function<void(const QString& Key, gdi::Picture& thePicture, gdi::Handle hDC, int dstX, int dstY, int dstCx,
                     int dstCy)>
      OwnerDrawn;

  // Library services: the readers, the format loaders and the host use them.
  // The host the window currently holds (null when none), followed through GetThunkAddress.
  imaging::PictureHost* host() const {
    GetThunkAddress();
    return host_.data();
  }
  // Raises BeforeLoad; true when the client aborted the load. The icon variables are the
  // icon reader's; the other readers show the event their own.
  bool RaiseBeforeLoad(int PicType, imaging::PicProps& props, int& ManageStyle, bool& KeepOriginalFormat,
                       std::int32_t& TransparencyFillColor, QVariant* param, int* iconVars = nullptr);
  void RaiseRenderEvent(bool before, const QString& key, gdi::Picture& picture, gdi::Handle hDC, int& x, int& y,
                        int& cx, int& cy, int srcX, int srcY, int srcCx, int srcCy, gdiplus::Image* image,
                        gdi::Handle& bufferDC, bool& ignoreBuffer, bool& doNotRender);
  void RaiseHGraphicsEvent(const QString& key, gdiplus::Graphics& graphics, int& x, int& y, int& cx, int& cy,
                           gdi::Picture& picture, gdiplus::Image* image);
  static StdPicture HandleToStdPicture(gdi::Handle handle, short type);
  static StdPicture StreamToStdPicture(gdi::Stream& stream, bool KeepOriginalFormat, std::int64_t length);
  std::shared_ptr<gdi::Stream> PictureToStream(const StdPicture& picture);
  std::uint32_t WrapBitmapHandle(gdi::Handle bitmap, StdPicture& picture, bool analyzeAlpha, bool adopt);
  std::uint32_t IconHandleToPicture(StdPicture& picture, gdi::Handle icon, std::unique_ptr<gdiplus::Image>& image,
                                    int mode, int width, int height);
  StdPicture FinishPicture(StdPicture picture, int ManageStyle, std::shared_ptr<gdi::Stream> stream,
                           std::int64_t length, std::uint32_t flags, bool KeepOriginalFormat,
                           std::int32_t TransparencyFillColor);
  StdPicture FinishHandlePicture(StdPicture picture, int ManageStyle, std::shared_ptr<gdi::Stream> stream,
                                 std::int64_t length, std::unique_ptr<gdiplus::Image> image, std::uint32_t flags,
                                 bool KeepOriginalFormat);
  // The file image of a resource: a BMP file, or an ICO or CUR file of a group; false when
  // the resource is missing or too short to describe itself.
  static bool ResourceFile(const QVariant& ResID, int ResType, QByteArray& file);
  static std::uint32_t SysColorToARGB(std::int32_t colour);
  static int GetScreenDPI(int* colourDepth = nullptr);
  static std::int32_t ScanlineBytes(std::int32_t width, std::int32_t bitsPerPixel);
  static std::uint32_t SwapLong(std::uint32_t value);
  static int GetImageFormatType(const gdiplus::Image* image);
  static gdi::Handle RenderToDIB(const gdiplus::Image& image, std::uint32_t fillArgb);
  bool ConvertAlphaFormat(std::unique_ptr<gdiplus::Image>& image, StdPicture& picture, bool straight, bool makeBitmap);
  bool WrapAlphaBitmap(const gdiplus::Image& image, StdPicture& picture, std::uint32_t flags);
  bool ApplyExifOrientation(std::unique_ptr<gdiplus::Image>& image, StdPicture& picture, bool honour, bool checkOnly);
  static int GetEncoderClsid(const QString& mimeType, QUuid& clsid);
  // 0, 0x20000001 (straight alpha or on/off transparency) or 0x40000001 (premultiplied).
  static std::uint32_t AnalyzeAlpha(const gdiplus::Image* image, gdi::Handle bitmap);
  bool ManagePicture(const StdPicture& picture, std::uint32_t flags, std::unique_ptr<gdiplus::Image> image,
                     std::shared_ptr<gdi::Stream> stream, std::int64_t length);
  void RestorePictureVTable(const StdPicture& picture);

 private:
  // Steps shared by both forms of PaintPictureEx: a negative target size mirrors, then Render.
  void paintMirrored(gdi::Handle dc, const StdPicture& p, float X1, float Y1, float Width1, float Height1, float X2,
                     float Y2, float Width2, float Height2);
  bool usable(const StdPicture& p) const { return p && p->handle() != 0; }
  bool ownedManaged(const StdPicture& p) const;
  bool setFlagsOf(const StdPicture& p, QWidget* refresh, const std::function<bool(std::uint32_t&)>& change);
  StdPicture loadFromStream(std::shared_ptr<gdi::Stream> stream, int ManageStyle, bool KeepOriginalFormat,
                            int& ImageDPI, std::int32_t TransparencyFillColor, int IconIndex, int IconCx, int IconCy,
                            int IconDepth, QVariant* param);
  StdPicture LoadJPG(int ManageStyle, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                     std::unique_ptr<gdiplus::Image> image, bool KeepOriginalFormat, QVariant* param);
  StdPicture LoadGIF(int ManageStyle, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                     std::unique_ptr<gdiplus::Image> image, bool KeepOriginalFormat, std::int32_t TransparencyFillColor,
                     QVariant* param);
  StdPicture LoadMetafile(int ManageStyle, std::shared_ptr<gdi::Stream> stream, std::int64_t length, int type,
                          bool KeepOriginalFormat, QVariant* param);
  StdPicture LoadPNGorTIF(bool tiff, int ManageStyle, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                          std::unique_ptr<gdiplus::Image> image, bool KeepOriginalFormat,
                          std::int32_t TransparencyFillColor, QVariant* param);

  // Finds or makes the thread's host and its window; returns a host of an older version
  // found there (for UpgradeThunk), else null.
  imaging::PictureHost* FindListener();
  // Follows the host that the window holds now: another instance may have replaced the one
  // this instance found. False without a window or a host.
  bool GetThunkAddress() const;
  // Replaces an older host under the same window by a current one, which takes over its
  // records, so that every picture it manages goes on drawing.
  void UpgradeThunk(imaging::PictureHost* older);

  static constexpr std::int32_t kClassStamp = 2;
  QPointer<QWidget> listener_;
  mutable QPointer<imaging::PictureHost> host_;
  bool callbacks_ = false;
  float gdiplusVersion_ = 0;
  bool apng_ = false;
  // Guards the mutual calls between icon conversion and the copy at a size.
  int iconDepth_ = 0;
};
