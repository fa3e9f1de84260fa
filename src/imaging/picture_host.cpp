#include "picture_host.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include "cPicture.h"
#include "screen.h"

namespace imaging {

const char* const PictureHost::kName = "cPicture-Listener2.0";

namespace {

// A window that can hold the host: top-level, shown, with a system menu, owned by no other.
bool qualifies(const QWidget* w) {
  return w->isWindow() && w->isVisible() && !w->parentWidget() &&
         (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog) && w->thread() == QThread::currentThread();
}

int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  const std::int64_t p = a * b;
  return int(p >= 0 ? (p + c / 2) / c : -((-p + c / 2) / c));
}

}  // namespace

PictureHost::PictureHost(QObject* window, int version)
    : QObject(window), dpi_(gdi::screen().dpiX), version_(version) {
  setObjectName(kName);
}

QWidget* PictureHost::listenerWindow() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  QWidget* first = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!qualifies(w)) continue;
    if (heldBy(w)) return w;
    if (!first) first = w;
  }
  return first;
}

PictureHost* PictureHost::heldBy(const QWidget* window) {
  return window ? window->findChild<PictureHost*>(kName, Qt::FindDirectChildrenOnly) : nullptr;
}

PictureHost* PictureHost::create(QWidget* window, int version) {
  return window ? new PictureHost(window, version) : nullptr;
}

PictureHost::~PictureHost() {
  // Every picture leaves management before the bookkeeping goes, so none keeps pointing at it.
  for (Record& r : records_)
    if (r.picture) r.picture->setManager(nullptr);
  records_.clear();
}

PictureHost::Record* PictureHost::find(const gdi::Picture* picture) const {
  if (!picture || live_ == 0) return nullptr;
  for (auto it = records_.rbegin(); it != records_.rend(); ++it)
    if (it->picture == picture) return const_cast<Record*>(&*it);
  return nullptr;
}

int PictureHost::recordOf(const gdi::Picture* picture) const {
  if (!picture) {
    for (std::size_t i = records_.size(); i > 0; --i)
      if (!records_[i - 1].picture) return int(i);
    return 0;
  }
  const Record* r = find(picture);
  return r ? int(r - records_.data()) + 1 : 0;
}

std::int32_t PictureHost::classStamp(const gdi::Picture* p) const {
  const Record* r = find(p);
  return r ? r->classStamp : 0;
}

std::uint32_t PictureHost::flags(const gdi::Picture* p) const {
  const Record* r = find(p);
  return r ? r->flags : 0;
}

std::uint32_t PictureHost::setFlags(const gdi::Picture* p, std::uint32_t flags) {
  Record* r = find(p);
  if (!r) return 0;
  const std::uint32_t old = r->flags;
  r->flags = flags;
  return old;
}

DataBlock* PictureHost::dataBlock(const gdi::Picture* p) const {
  const Record* r = find(p);
  return r ? r->data.get() : nullptr;
}

std::unique_ptr<DataBlock> PictureHost::setDataBlock(const gdi::Picture* p, std::unique_ptr<DataBlock> block) {
  Record* r = find(p);
  if (!r) return block;
  std::swap(r->data, block);
  return block;
}

gdiplus::Image* PictureHost::image(const gdi::Picture* p) const {
  const DataBlock* d = dataBlock(p);
  return d ? d->image.get() : nullptr;
}

gdiplus::ImageAttributes* PictureHost::attributes(const gdi::Picture* p) const {
  const DataBlock* d = dataBlock(p);
  return d ? d->attributes.get() : nullptr;
}

std::shared_ptr<gdi::Stream> PictureHost::stream(const gdi::Picture* p) const {
  const DataBlock* d = dataBlock(p);
  return d ? d->stream : nullptr;
}

std::int64_t PictureHost::streamLength(const gdi::Picture* p) const {
  const DataBlock* d = dataBlock(p);
  return d ? d->length : 0;
}

CallbackRecord* PictureHost::callback(const gdi::Picture* p) const {
  const Record* r = find(p);
  return r ? r->callback.get() : nullptr;
}

std::unique_ptr<CallbackRecord> PictureHost::setCallback(const gdi::Picture* p, std::unique_ptr<CallbackRecord> rec) {
  Record* r = find(p);
  if (!r) return rec;
  std::swap(r->callback, rec);
  return rec;
}

std::vector<std::uint8_t> PictureHost::copySource(const gdi::Picture* p) const {
  const DataBlock* d = dataBlock(p);
  if (!d || !d->stream || d->length <= 0) return {};
  auto clone = d->stream->clone();
  clone->seek(0, gdi::STREAM_SEEK_SET);
  std::vector<std::uint8_t> out(std::size_t(std::min(d->length, clone->size())));
  out.resize(std::size_t(clone->read(out.data(), std::int64_t(out.size()))));
  return out;
}

bool PictureHost::manage(gdi::Picture& picture, std::uint32_t flags, std::unique_ptr<gdiplus::Image> image,
                         std::shared_ptr<gdi::Stream> stream, std::int64_t length, std::int32_t classStamp) {
  if (find(&picture)) unmanage(picture);
  int slot = 0;
  for (std::size_t i = 0; i < records_.size() && !slot; ++i)
    if (!records_[i].picture) slot = int(i) + 1;
  if (!slot) {
    // Three more record slots at a time.
    slot = int(records_.size()) + 1;
    records_.resize(records_.size() + 3);
  }
  Record& r = records_[std::size_t(slot - 1)];
  r.picture = &picture;
  r.classStamp = classStamp;
  r.flags = flags;
  if (image || stream) {
    r.data = std::make_unique<DataBlock>();
    r.data->image = std::move(image);
    r.data->stream = std::move(stream);
    r.data->length = r.data->stream ? length : 0;
  }
  ++live_;
  picture.setManager(this);
  return true;
}

void PictureHost::removeRecord(Record& r) {
  if (r.picture) r.picture->setManager(nullptr);
  r = Record{};
  --live_;
  if (live_ == 0) records_.clear();
}

void PictureHost::unmanage(gdi::Picture& picture) {
  if (Record* r = find(&picture)) removeRecord(*r);
}

void PictureHost::detachCallbacks(const cPicture* owner) {
  for (Record& r : records_)
    if (r.picture && (r.flags & 0x30) && r.callback && r.callback->owner == owner) {
      r.callback.reset();
      r.flags &= ~0x70u;
    }
}

std::vector<gdi::Picture*> PictureHost::managedPictures() const {
  std::vector<gdi::Picture*> out;
  for (const Record& r : records_)
    if (r.picture) out.push_back(r.picture);
  return out;
}

void PictureHost::takeOver(PictureHost& older) {
  records_ = std::move(older.records_);
  older.records_.clear();
  live_ = older.live_;
  older.live_ = 0;
  // Drawing, attributes and the picture's end now come here.
  for (Record& r : records_)
    if (r.picture) r.picture->setManager(this);
}

gdi::HRESULT PictureHost::attributes(gdi::Picture& picture, std::uint32_t* attributes) {
  if (!attributes) return gdi::E_INVALIDARG;
  const gdi::HRESULT hr = picture.nativeAttributes(attributes);
  if (hr == gdi::S_OK && (flags(&picture) & 0x60000001u)) *attributes |= gdi::PICTURE_TRANSPARENT;
  return hr;
}

void PictureHost::released(gdi::Picture& picture) {
  if (Record* r = find(&picture)) {
    r->picture = nullptr;  // ending: nothing to hand back
    removeRecord(*r);
  }
}

bool PictureHost::raise(gdi::Picture& picture, bool before, gdi::Handle dc, QRect& dst, const QRect& src,
                        gdiplus::Image* image, gdi::Handle& buffer, bool& ignoreBuffer, bool& doNotRender) {
  Record* r = find(&picture);
  if (!r || !r->callback || (r->flags & 0x80) || !r->callback->owner) return false;
  const std::uint32_t f = r->flags;
  const QString key = r->callback->key;
  cPicture* owner = r->callback->owner;
  r->flags |= 0x80;
  int x = dst.x(), y = dst.y(), cx = dst.width(), cy = dst.height();
  // The owner-drawn event is told by a source height of 0.
  const bool owned = f & 0x2000;
  owner->RaiseRenderEvent(before, key, picture, dc, x, y, cx, cy, src.x(), src.y(), src.width(),
                          owned ? 0 : src.height(), image, buffer, ignoreBuffer, doNotRender);
  dst = QRect(x, y, cx, cy);
  if (Record* again = find(&picture)) again->flags &= ~0x80u;
  return true;
}

gdi::HRESULT PictureHost::render(gdi::Picture& picture, const gdi::RenderArgs& a) {
  if (a.cx == 0 || a.cy == 0 || a.cxSrc == 0 || a.cySrc == 0) return gdi::CTL_E_INVALIDPROPERTYVALUE;
  Record* r = find(&picture);
  if (!r) return picture.nativeRender(a);
  const std::uint32_t f = r->flags;
  // The source in pixels; y counted from the top.
  const QRect srcPx(mulDiv(a.xSrc, dpi_, 2540), mulDiv(picture.height() - a.ySrc, dpi_, 2540),
                    mulDiv(a.cxSrc, dpi_, 2540), -mulDiv(a.cySrc, dpi_, 2540));
  // The events get either the pixel rectangle or the caller's HIMETRIC values.
  const QRect srcEvent = (f & 0x40) ? srcPx : QRect(a.xSrc, a.ySrc, a.cxSrc, a.cySrc);
  QRect dst(a.x, a.y, a.cx, a.cy);
  gdi::Handle buffer = a.dc;
  bool ignoreBuffer = true, doNotRender = false;
  if (f & 0x2000) {
    raise(picture, true, a.dc, dst, srcPx, nullptr, buffer, ignoreBuffer, doNotRender);
    return gdi::S_OK;
  }
  if (!picture.handle()) return gdi::S_OK;
  bool viaGdiplus =
      (f & 0xE) || ((f & 0x300) && (f & 0x3000) &&
                    (std::abs(a.cx) != std::abs(srcPx.width()) || std::abs(a.cy) != std::abs(srcPx.height())));
  std::unique_ptr<gdiplus::Image> temporary;
  gdiplus::Image* img = nullptr;
  if (viaGdiplus) {
    if ((f & 0x2) && r->data && r->data->image) {
      img = r->data->image.get();
    } else {
      temporary = gdiplus::createBitmapFromHBITMAP(picture.handle());
      img = temporary.get();
    }
    viaGdiplus = img != nullptr;
  }
  if (f & 0x10) {
    raise(picture, true, a.dc, dst, srcEvent, viaGdiplus ? img : nullptr, buffer, ignoreBuffer, doNotRender);
    if ((f & 0x3000) && doNotRender) return gdi::S_OK;
    if (buffer == 0) buffer = a.dc;
    // The handler may have taken the picture out of management.
    r = find(&picture);
    if (!r) return picture.nativeRender(a);
    if ((f & 0x2) && viaGdiplus && !temporary) img = r->data ? r->data->image.get() : nullptr;
    viaGdiplus = img != nullptr;
  }
  const bool ownBuffer = buffer != a.dc && ignoreBuffer;
  gdi::HRESULT hr;
  if (!viaGdiplus) {
    gdi::RenderArgs n = a;
    n.dc = buffer;
    n.x = dst.x(), n.y = dst.y(), n.cx = dst.width(), n.cy = dst.height();
    hr = picture.nativeRender(n);
  } else {
    auto g = gdiplus::Graphics::fromHDC(buffer);
    if (!g) return gdi::E_FAIL;
    const int quality = int((f >> 8) & 3);
    g->setInterpolationMode(quality ? quality + 4 : 0);
    if (buffer == a.dc) g->setClipRect(QRect(a.x, a.y, a.cx, a.cy));
    QRect drawDst = dst;
    if (Record* rr = find(&picture); rr && rr->callback && !(rr->flags & 0x80) && rr->callback->owner) {
      rr->flags |= 0x80;
      int x = drawDst.x(), y = drawDst.y(), cx = drawDst.width(), cy = drawDst.height();
      rr->callback->owner->RaiseHGraphicsEvent(rr->callback->key, *g, x, y, cx, cy, picture, img);
      drawDst = QRect(x, y, cx, cy);
      if (Record* again = find(&picture)) again->flags &= ~0x80u;
    }
    const gdiplus::ImageAttributes* attrs = (f & 0x4) && r->data ? r->data->attributes.get() : nullptr;
    // A negative source size mirrors (PaintPictureEx turns a negative width or height into
    // one); GDI+ takes the mirror from the destination, so it is carried over there.
    if (srcPx.width() < 0)
      drawDst = QRect(drawDst.x() + drawDst.width(), drawDst.y(), -drawDst.width(), drawDst.height());
    if (srcPx.height() < 0)
      drawDst = QRect(drawDst.x(), drawDst.y() + drawDst.height(), drawDst.width(), -drawDst.height());
    g->drawImage(*img, drawDst, srcPx.normalized(), attrs);
    hr = gdi::S_OK;
  }
  if (hr == gdi::S_OK && (flags(&picture) & 0x20)) {
    if (ownBuffer) dst = QRect(a.x, a.y, a.cx, a.cy);
    bool unusedIgnore = false, unusedDont = false;
    raise(picture, false, a.dc, dst, srcEvent, viaGdiplus ? img : nullptr, buffer, unusedIgnore, unusedDont);
  }
  return hr;
}

}  // namespace imaging
