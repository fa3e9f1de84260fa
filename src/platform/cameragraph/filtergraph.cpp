#include "filtergraph.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <cstring>

#include "vb.h"

namespace camgraph {

namespace {

[[noreturn]] void fail(long number, const QString& what) {
  throw vb::VbError(number, QStringLiteral("FilterGraph"), what);
}

long mapState(GstState s) {
  switch (s) {
    case GST_STATE_PAUSED:
      return State_Paused;
    case GST_STATE_PLAYING:
      return State_Running;
    default:
      return State_Stopped;
  }
}

}  // namespace

struct GraphAccess {
  static GstFlowReturn onSample(GstAppSink* sink, gpointer data) {
    if (GstSample* s = gst_app_sink_pull_sample(sink)) static_cast<FilterGraph*>(data)->frameArrived(s);
    return GST_FLOW_OK;
  }
  // Every message is dropped here, so none piles up on the bus; errors are kept.
  static GstBusSyncReply onMessage(GstBus*, GstMessage* msg, gpointer data) {
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
      GError* err = nullptr;
      gst_message_parse_error(msg, &err, nullptr);
      static_cast<FilterGraph*>(data)->errorPosted(err ? QString::fromUtf8(err->message) : QStringLiteral("error"));
      if (err) g_error_free(err);
    }
    return GST_BUS_DROP;
  }
};

PinInfo::PinInfo(GstPad* pad, QString name) : pad_(GST_PAD(gst_object_ref(pad))), name_(std::move(name)) {}
PinInfo::PinInfo(const PinInfo& o) : pad_(GST_PAD(gst_object_ref(o.pad_))), name_(o.name_) {}
PinInfo& PinInfo::operator=(const PinInfo& o) {
  if (this != &o) {
    gst_object_unref(pad_);
    pad_ = GST_PAD(gst_object_ref(o.pad_));
    name_ = o.name_;
  }
  return *this;
}
PinInfo::~PinInfo() { gst_object_unref(pad_); }

void PinInfo::ConnectDirect(const PinInfo& input) const {
  const GstPadLinkReturn r = GST_PAD_IS_SRC(pad_) && GST_PAD_IS_SINK(input.pad_) ? gst_pad_link(pad_, input.pad_)
                                                                                 : GST_PAD_LINK_WRONG_DIRECTION;
  if (r != GST_PAD_LINK_OK)
    fail(kErrGraph, QStringLiteral("Pin \"%1\" can't be connected to \"%2\" (%3)")
                        .arg(name_, input.name_, QString::fromUtf8(gst_pad_link_get_name(r))));
}

std::vector<PinInfo> FilterInfo::Pins() const {
  std::vector<PinInfo> pins;
  GST_OBJECT_LOCK(element_);
  for (GList* l = GST_ELEMENT_PADS(element_); l; l = l->next) {
    auto* pad = GST_PAD(l->data);
    gchar* name = gst_pad_get_name(pad);
    pins.emplace_back(pad, QString::fromUtf8(name));
    g_free(name);
  }
  GST_OBJECT_UNLOCK(element_);
  return pins;
}

FilterGraph::FilterGraph(FilterRegistry registry) : registry_(std::move(registry)) {
  ensureInit();
  pipeline_ = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &GraphAccess::onMessage, this, nullptr);
  gst_object_unref(bus);
}

FilterGraph::~FilterGraph() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
  if (latest_) gst_sample_unref(latest_);
}

FilterInfo FilterGraph::Filter(const RegFilterInfo& filter) {
  QString error;
  GstElement* e = FilterRegistry::create(filter, error);
  if (!e) fail(kErrCreate, error);
  if (!gst_bin_add(GST_BIN(pipeline_), e)) fail(kErrCreate, QStringLiteral("the filter \"%1\" can't be added").arg(filter.Name));
  // A renderer hands its frames to the graph.
  GstIterator* it = GST_IS_BIN(e) ? gst_bin_iterate_recurse(GST_BIN(e)) : nullptr;
  GValue item = G_VALUE_INIT;
  while (it && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    auto* child = GST_ELEMENT(g_value_get_object(&item));
    if (GST_IS_APP_SINK(child)) {
      GstAppSinkCallbacks callbacks{};
      callbacks.new_sample = &GraphAccess::onSample;
      gst_app_sink_set_callbacks(GST_APP_SINK(child), &callbacks, this, nullptr);
    }
    g_value_reset(&item);
  }
  g_value_unset(&item);
  if (it) gst_iterator_free(it);
  return FilterInfo(e, filter.Name);
}

int FilterGraph::filterCount() const {
  GST_OBJECT_LOCK(pipeline_);
  const int n = GST_BIN_NUMCHILDREN(pipeline_);
  GST_OBJECT_UNLOCK(pipeline_);
  return n;
}

void FilterGraph::Run() {
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
    fail(kErrGraph, lastError().isEmpty() ? QStringLiteral("The graph can't run") : lastError());
}

void FilterGraph::Pause() {
  if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
    fail(kErrGraph, lastError().isEmpty() ? QStringLiteral("The graph can't pause") : lastError());
}

void FilterGraph::Stop() { gst_element_set_state(pipeline_, GST_STATE_NULL); }

long FilterGraph::GetState(long timeoutMs, long& state) {
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  const GstStateChangeReturn r =
      gst_element_get_state(pipeline_, &current, &pending, GstClockTime(timeoutMs > 0 ? timeoutMs : 0) * GST_MSECOND);
  state = mapState(current);
  if (r == GST_STATE_CHANGE_FAILURE || !lastError().isEmpty()) return E_FAIL;
  return r == GST_STATE_CHANGE_ASYNC ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

QString FilterGraph::lastError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void FilterGraph::frameArrived(GstSample* sample) {
  {
    std::lock_guard lock(mutex_);
    if (latest_) gst_sample_unref(latest_);
    latest_ = sample;
  }
  changed_.notify_all();
}

void FilterGraph::errorPosted(const QString& text) {
  {
    std::lock_guard lock(mutex_);
    if (error_.isEmpty()) error_ = text;
  }
  changed_.notify_all();
}

bool FilterGraph::waitForFrame(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return latest_ != nullptr || !error_.isEmpty(); }) &&
         latest_ != nullptr;
}

namespace {

struct Frame {
  GstVideoInfo info;
  bool ok = false;
};

Frame frameInfo(GstSample* s) {
  Frame f;
  if (!s) return f;
  GstCaps* caps = gst_sample_get_caps(s);
  f.ok = caps && gst_video_info_from_caps(&f.info, caps) && GST_VIDEO_INFO_FORMAT(&f.info) == GST_VIDEO_FORMAT_BGRx &&
         f.info.width > 0 && f.info.height > 0;
  return f;
}

}  // namespace

long FilterGraph::VideoWidth() const {
  std::lock_guard lock(mutex_);
  const Frame f = frameInfo(latest_);
  return f.ok ? f.info.width : 0;
}

long FilterGraph::VideoHeight() const {
  std::lock_guard lock(mutex_);
  const Frame f = frameInfo(latest_);
  return f.ok ? f.info.height : 0;
}

QImage FilterGraph::currentFrame() const {
  std::lock_guard lock(mutex_);
  const Frame f = frameInfo(latest_);
  if (!f.ok) return {};
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(&f.info), gst_sample_get_buffer(latest_), GST_MAP_READ))
    return {};
  QImage img(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), f.info.width, f.info.height,
             GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
  QImage copy = img.copy();
  gst_video_frame_unmap(&frame);
  return copy;
}

void FilterGraph::GetCurrentImage(std::int64_t& size, std::span<std::int32_t> buffer) const {
  std::lock_guard lock(mutex_);
  const Frame f = frameInfo(latest_);
  if (!f.ok) fail(kErrGraph, QStringLiteral("No frame has reached the renderer"));
  const std::int64_t w = f.info.width, h = f.info.height;
  const std::int64_t needed = 40 + w * h * 4;
  if (buffer.empty()) {
    size = needed;
    return;
  }
  if (size < needed || std::int64_t(buffer.size_bytes()) < needed)
    fail(kErrGraph, QStringLiteral("The buffer is too small for the frame"));
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(&f.info), gst_sample_get_buffer(latest_), GST_MAP_READ))
    fail(kErrGraph, QStringLiteral("The frame can't be read"));
  auto* out = reinterpret_cast<std::uint8_t*>(buffer.data());
  const std::int32_t header[10] = {40, std::int32_t(w), std::int32_t(h), 1 | (32 << 16), 0, std::int32_t(w * h * 4),
                                   0, 0, 0, 0};
  std::memcpy(out, header, sizeof header);
  const auto* src = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  const std::int64_t stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  for (std::int64_t y = 0; y < h; ++y)  // bottom row first
    std::memcpy(out + 40 + (h - 1 - y) * w * 4, src + y * stride, std::size_t(w * 4));
  gst_video_frame_unmap(&frame);
}

}  // namespace camgraph
