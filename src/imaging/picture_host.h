#pragma once
// The picture host: one per thread, living as a hidden child object of a visible top-level
// window of the thread and ending with it. It keeps the record of every managed picture
// (flags word, data block, callback record) and draws managed pictures: every picture it
// manages has the host as its manager, so Render, the attributes and the picture's end come
// here. Typed methods stand in for the numbered commands through which the class reaches
// the host's bookkeeping. A host carries the version of the code that built it; an instance
// of the class that finds an older one replaces it (cPicture::UpgradeThunk).
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics.h"
#include "image.h"
#include "picture.h"
#include "stream.h"

class cPicture;
class QWidget;

namespace imaging {

// What a managed picture keeps beside its flags; the record owns all of it.
struct DataBlock {
  std::unique_ptr<gdiplus::Image> image;
  std::unique_ptr<gdiplus::ImageAttributes> attributes;
  std::shared_ptr<gdi::Stream> stream;  // the source file's bytes
  std::int64_t length = 0;
};

// The drawing events a client registered for one picture.
struct CallbackRecord {
  QString key;
  cPicture* owner = nullptr;
};

class PictureHost : public QObject, public gdi::PictureManager {
  Q_OBJECT
 public:
  static constexpr int kVersion = 8192;
  static const char* const kName;

  // The thread's window for the host: a visible top-level window that holds one, else the
  // first such window; null when the thread shows no window.
  static QWidget* listenerWindow();
  // The host a window holds, null when none.
  static PictureHost* heldBy(const QWidget* window);
  // A new host under the window, carrying the version given (a host built by older code
  // carries a lower one); null without a window.
  static PictureHost* create(QWidget* window, int version = kVersion);
  ~PictureHost() override;

  int version() const { return version_; }
  float gdiplusVersion() const { return 1.0f; }
  int liveRecords() const { return live_; }
  int screenDpi() const { return dpi_; }

  // Record number of a picture (1, 2, ...), 0 when it has none; with null the highest free
  // slot, 0 when none is free.
  int recordOf(const gdi::Picture* picture) const;
  std::int32_t classStamp(const gdi::Picture* picture) const;
  std::uint32_t flags(const gdi::Picture* picture) const;
  // Returns the previous flags; 0 without a record.
  std::uint32_t setFlags(const gdi::Picture* picture, std::uint32_t flags);
  DataBlock* dataBlock(const gdi::Picture* picture) const;
  // Hands a data block to the record (null clears it); the old one is returned to the caller.
  std::unique_ptr<DataBlock> setDataBlock(const gdi::Picture* picture, std::unique_ptr<DataBlock> block);
  gdiplus::Image* image(const gdi::Picture* picture) const;
  gdiplus::ImageAttributes* attributes(const gdi::Picture* picture) const;
  std::shared_ptr<gdi::Stream> stream(const gdi::Picture* picture) const;
  std::int64_t streamLength(const gdi::Picture* picture) const;
  CallbackRecord* callback(const gdi::Picture* picture) const;
  std::unique_ptr<CallbackRecord> setCallback(const gdi::Picture* picture, std::unique_ptr<CallbackRecord> record);
  // The kept source bytes (the recorded length, read through a clone of the stream).
  std::vector<std::uint8_t> copySource(const gdi::Picture* picture) const;

  // Puts a picture under management with a new record (an old record is removed first); the
  // record takes the image and a reference to the stream. False leaves it an ordinary picture.
  bool manage(gdi::Picture& picture, std::uint32_t flags, std::unique_ptr<gdiplus::Image> image,
              std::shared_ptr<gdi::Stream> stream, std::int64_t length, std::int32_t classStamp);
  // Takes a picture out of management: its own drawing back, its record removed.
  void unmanage(gdi::Picture& picture);
  // Drops the callback records that an ending instance registered.
  void detachCallbacks(const cPicture* owner);
  // Every managed picture, in record order.
  std::vector<gdi::Picture*> managedPictures() const;
  // Moves an older host's records here, slots and numbers unchanged, and makes this host the
  // manager of every picture they hold; the older host is left with none.
  void takeOver(PictureHost& older);

  gdi::HRESULT render(gdi::Picture& picture, const gdi::RenderArgs& args) override;
  gdi::HRESULT attributes(gdi::Picture& picture, std::uint32_t* attributes) override;
  void released(gdi::Picture& picture) override;

 private:
  PictureHost(QObject* window, int version);
  struct Record {
    gdi::Picture* picture = nullptr;
    std::uint32_t flags = 0;
    std::int32_t classStamp = 0;
    std::unique_ptr<DataBlock> data;
    std::unique_ptr<CallbackRecord> callback;
  };
  Record* find(const gdi::Picture* picture) const;
  void removeRecord(Record& r);
  // Raises a render event through the record's callbacks; false when none was raised.
  bool raise(gdi::Picture& picture, bool before, gdi::Handle dc, QRect& dst, const QRect& src, gdiplus::Image* image,
             gdi::Handle& buffer, bool& ignoreBuffer, bool& doNotRender);

  std::vector<Record> records_;
  int live_ = 0;
  int dpi_ = 96;
  int version_ = kVersion;
};

}  // namespace imaging
