#include "pipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QElapsedTimer>

#include "devices.h"

namespace camera {

namespace {

QString fromGError(GError* err, const char* fallback) {
  QString text = err ? QString::fromUtf8(err->message) : QString::fromUtf8(fallback);
  g_clear_error(&err);
  return text;
}

QImage toImage(GstSample* sample) {
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) return {};
  if (GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx) return {};
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return {};
  const int w = GST_VIDEO_FRAME_WIDTH(&frame), h = GST_VIDEO_FRAME_HEIGHT(&frame);
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  const auto* data = static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  // BGRx in memory is QImage's RGB32 on a little-endian machine.
  QImage image = QImage(data, w, h, stride, QImage::Format_RGB32).copy();
  gst_video_frame_unmap(&frame);
  return image;
}

void addSizes(QStringList& out, const char* media, const GValue* width, const GValue* height) {
  static const QSize common[] = {{160, 120},  {320, 240},  {640, 480},  {800, 600},
                                 {1024, 768}, {1280, 720}, {1920, 1080}};
  auto fits = [](const GValue* v, int n) {
    if (G_VALUE_HOLDS_INT(v)) return g_value_get_int(v) == n;
    if (GST_VALUE_HOLDS_INT_RANGE(v)) return gst_value_get_int_range_min(v) <= n && n <= gst_value_get_int_range_max(v);
    return false;
  };
  auto add = [&](int w, int h) {
    const QString caps = QStringLiteral("%1,width=%2,height=%3").arg(QLatin1String(media)).arg(w).arg(h);
    if (!out.contains(caps)) out << caps;
  };
  if (G_VALUE_HOLDS_INT(width) && G_VALUE_HOLDS_INT(height)) {
    add(g_value_get_int(width), g_value_get_int(height));
    return;
  }
  for (const QSize& s : common)
    if (fits(width, s.width()) && fits(height, s.height())) add(s.width(), s.height());
}

// The decoder's video output goes to the conversion; any other stream is left unlinked.
void linkDecoded(GstElement*, GstPad* pad, gpointer convert) {
  GstPad* sink = gst_element_get_static_pad(GST_ELEMENT(convert), "sink");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  const char* media = caps && gst_caps_get_size(caps) ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
  if (!gst_pad_is_linked(sink) && g_str_has_prefix(media, "video/")) gst_pad_link(pad, sink);
  if (caps) gst_caps_unref(caps);
  gst_object_unref(sink);
}

}  // namespace

Pipeline::~Pipeline() { close(); }

void Pipeline::close() {
  if (pipeline_) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(source_);
    gst_object_unref(sink_);
    gst_object_unref(balanceElement_);
    gst_object_unref(pipeline_);
  }
  pipeline_ = source_ = sink_ = balanceElement_ = nullptr;
  running_ = false;
  pending_ = QImage();
}

Pipeline::Open Pipeline::open(const QString& source, const QString& caps) {
  close();
  error_.clear();
  if (!initGStreamer(&error_)) return Open::Failed;
  // The source alone first: a description that makes no element with an output is a
  // device we cannot connect to, not a failing pipeline.
  GError* err = nullptr;
  GstElement* probe = gst_parse_launch(source.toUtf8().constData(), &err);
  const bool hasOutput = probe && !err && GST_IS_ELEMENT(probe) && probe->numsrcpads > 0;
  if (probe) gst_object_unref(probe);
  g_clear_error(&err);
  if (!hasOutput) return Open::NoOutput;

  GstCaps* wanted = nullptr;
  if (!caps.isEmpty()) {
    wanted = gst_caps_from_string(caps.toUtf8().constData());
    if (!wanted) {
      error_ = QStringLiteral("Format kamera tidak dikenal: ") + caps;
      return Open::Failed;
    }
  }
  // The format goes in through the capsfilter's property, never into the description. The
  // decoder's output is linked by our own handler, which stays for every restart.
  const QString line = source + QStringLiteral(
                                    " name=camsrc ! capsfilter name=format ! decodebin name=decoder "
                                    "videoconvert name=convert ! videobalance name=balance ! videoconvert ! "
                                    "video/x-raw,format=BGRx ! "
                                    "appsink name=sink drop=true max-buffers=1 sync=false enable-last-sample=false");
  pipeline_ = gst_parse_launch(line.toUtf8().constData(), &err);
  if (!pipeline_ || err) {
    error_ = fromGError(err, "pipeline");
    if (pipeline_) gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    if (wanted) gst_caps_unref(wanted);
    return Open::Failed;
  }
  GstBin* bin = GST_BIN(pipeline_);
  source_ = gst_bin_get_by_name(bin, "camsrc");
  sink_ = gst_bin_get_by_name(bin, "sink");
  balanceElement_ = gst_bin_get_by_name(bin, "balance");
  GstElement* decoder = gst_bin_get_by_name(bin, "decoder");
  GstElement* convert = gst_bin_get_by_name(bin, "convert");
  g_signal_connect_object(decoder, "pad-added", G_CALLBACK(linkDecoded), convert, GConnectFlags(0));
  gst_object_unref(decoder);
  gst_object_unref(convert);
  if (wanted) {
    GstElement* filter = gst_bin_get_by_name(bin, "format");
    g_object_set(filter, "caps", wanted, nullptr);
    gst_object_unref(filter);
    gst_caps_unref(wanted);
  }
  sourceText_ = source;
  caps_ = caps;
  setBalance(balance_);
  return Open::Ok;
}

bool Pipeline::takeBusError() {
  GstBus* bus = gst_element_get_bus(pipeline_);
  GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
  gst_object_unref(bus);
  if (!msg) return false;
  GError* err = nullptr;
  gst_message_parse_error(msg, &err, nullptr);
  error_ = fromGError(err, "kamera gagal");
  gst_message_unref(msg);
  return true;
}

bool Pipeline::start(int timeoutMs) {
  if (!pipeline_) return false;
  error_.clear();
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    if (!takeBusError()) error_ = QStringLiteral("Kamera tidak dapat dijalankan");
    stop();
    return false;
  }
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 20 * GST_MSECOND);
    if (sample) {
      pending_ = toImage(sample);
      gst_sample_unref(sample);
      if (pending_.isNull()) break;
      size_ = pending_.size();
      running_ = true;
      return true;
    }
    if (takeBusError()) {
      stop();
      return false;
    }
  }
  if (error_.isEmpty()) error_ = QStringLiteral("Kamera tidak mengirim gambar");
  stop();
  return false;
}

void Pipeline::stop() {
  if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_NULL);
  running_ = false;
  pending_ = QImage();
}

bool Pipeline::lost() {
  if (!running_) return false;
  const bool failed = takeBusError();
  if (!failed && !gst_app_sink_is_eos(GST_APP_SINK(sink_))) return false;
  if (!failed) error_ = QStringLiteral("tidak ada gambar lagi dari kamera");
  stop();
  return true;
}

bool Pipeline::pullFrame(QImage& frame) {
  if (!running_) return false;
  if (!pending_.isNull()) {
    frame = std::move(pending_);
    pending_ = QImage();
    return true;
  }
  GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 0);
  if (!sample) return false;
  QImage image = toImage(sample);
  gst_sample_unref(sample);
  if (image.isNull()) return false;
  frame = std::move(image);
  return true;
}

void Pipeline::setBalance(const Balance& b) {
  balance_ = b;
  if (balanceElement_)
    g_object_set(balanceElement_, "brightness", b.brightness, "contrast", b.contrast, "hue", b.hue, "saturation",
                 b.saturation, nullptr);
}

QStringList Pipeline::formats() {
  QStringList out;
  if (!source_) return out;
  // A source tells its formats once it is ready; a running one is asked as it is.
  const bool wasRunning = running_;
  if (!wasRunning) gst_element_set_state(source_, GST_STATE_READY);
  GstPad* pad = gst_element_get_static_pad(source_, "src");
  GstCaps* caps = pad ? gst_pad_query_caps(pad, nullptr) : nullptr;
  if (caps) {
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
      GstStructure* s = gst_caps_get_structure(caps, i);
      const char* media = gst_structure_get_name(s);
      if (g_strcmp0(media, "video/x-raw") != 0 && g_strcmp0(media, "image/jpeg") != 0) continue;
      const GValue* w = gst_structure_get_value(s, "width");
      const GValue* h = gst_structure_get_value(s, "height");
      if (w && h) addSizes(out, media, w, h);
    }
    gst_caps_unref(caps);
  }
  if (pad) gst_object_unref(pad);
  if (!wasRunning) gst_element_set_state(source_, GST_STATE_NULL);
  return out;
}

}  // namespace camera
