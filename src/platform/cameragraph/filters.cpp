#include "filters.h"

#include "devices.h"

#include <QStringList>
#include <gst/gst.h>

#include <algorithm>
#include <mutex>

namespace camgraph {

namespace {

CameraProvider& provider() {
  static CameraProvider p;
  return p;
}

QString fromUtf8(const gchar* s) { return s ? QString::fromUtf8(s) : QString(); }

// The computer's cameras, from the one device list the webcam window also uses.
std::vector<CameraSource> monitorCameras() {
  std::vector<CameraSource> out;
  for (camera::Device& d : camera::videoDevices()) out.push_back({std::move(d.name), std::move(d.source)});
  return out;
}

bool addGhost(GstElement* bin, GstElement* inner, const char* innerPad, const char* pin) {
  GstPad* target = gst_element_get_static_pad(inner, innerPad);
  if (!target) return false;
  GstPad* ghost = gst_ghost_pad_new(pin, target);
  gst_object_unref(target);
  return ghost && gst_element_add_pad(bin, ghost);
}

// decodebin shows its output pad only once it knows the stream; the bin's "XForm Out"
// stands from the start and takes that pad as its target when it comes.
void onDecodedPad(GstElement*, GstPad* pad, gpointer data) {
  auto* out = GST_GHOST_PAD(data);
  GstPad* current = gst_ghost_pad_get_target(out);
  if (current) {
    gst_object_unref(current);
    return;
  }
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  const bool video = caps && gst_caps_get_size(caps) > 0 &&
                     g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
  if (caps) gst_caps_unref(caps);
  if (video) gst_ghost_pad_set_target(out, pad);
}

GstElement* makeDecompressor() {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* decode = gst_element_factory_make("decodebin", nullptr);
  if (!decode) {
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  gst_bin_add(GST_BIN(bin), decode);
  addGhost(bin, decode, "sink", "XForm In");
  GstPad* out = gst_ghost_pad_new_no_target("XForm Out", GST_PAD_SRC);
  gst_element_add_pad(bin, out);
  g_signal_connect(decode, "pad-added", G_CALLBACK(onDecodedPad), out);
  return bin;
}

GstElement* makeConverter() {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  if (!convert) {
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  gst_bin_add(GST_BIN(bin), convert);
  addGhost(bin, convert, "sink", "Input");
  addGhost(bin, convert, "src", "XForm Out");
  return bin;
}

// Frames reach the window as 32-bit BGRx, the layout of a 32-bit bitmap's pixels.
GstElement* makeRenderer() {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!convert || !filter || !sink) {
    for (GstElement* e : {convert, filter, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  g_object_set(filter, "caps", caps, nullptr);
  gst_caps_unref(caps);
  g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "enable-last-sample", FALSE, nullptr);
  gst_bin_add_many(GST_BIN(bin), convert, filter, sink, nullptr);
  gst_element_link_many(convert, filter, sink, nullptr);
  addGhost(bin, convert, "sink", "VMR Input0");
  return bin;
}

GstElement* makeCamera(const QString& launch, QString& error) {
  GError* err = nullptr;
  GstElement* bin = gst_parse_bin_from_description(launch.toUtf8().constData(), FALSE, &err);
  if (!bin) {
    error = err ? fromUtf8(err->message) : QStringLiteral("the camera's source can't be made");
    if (err) g_error_free(err);
    return nullptr;
  }
  if (err) g_error_free(err);  // a warning about a missing property; the bin stands
  if (GstPad* out = gst_bin_find_unlinked_pad(GST_BIN(bin), GST_PAD_SRC)) {
    GstPad* ghost = gst_ghost_pad_new(kCapturePin, out);
    gst_object_unref(out);
    if (ghost) gst_element_add_pad(bin, ghost);
  }
  return bin;
}

}  // namespace

void ensureInit() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

void setCameraProvider(CameraProvider p) { provider() = std::move(p); }

std::vector<CameraSource> cameras() {
  ensureInit();
  return provider() ? provider()() : monitorCameras();
}

FilterRegistry FilterRegistry::machine() {
  ensureInit();
  FilterRegistry r;
  for (const CameraSource& c : cameras()) r.addCamera(c);
  for (const char* alias : {kAviDecompressor, kColorSpaceConverter, kVideoRenderer})
    r.addAlias(QString::fromLatin1(alias));
  QStringList names;
  GList* features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
  for (GList* l = features; l; l = l->next) names << fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
  gst_plugin_feature_list_free(features);
  names.sort();
  for (const QString& n : names) r.addFactory(n);
  return r;
}

void FilterRegistry::addCamera(const CameraSource& camera) {
  filters_.push_back({camera.name, RegFilterInfo::Kind::Camera, camera.launch});
}
void FilterRegistry::addAlias(const QString& name) { filters_.push_back({name, RegFilterInfo::Kind::Alias, name}); }
void FilterRegistry::addFactory(const QString& factoryName) {
  filters_.push_back({factoryName, RegFilterInfo::Kind::Factory, factoryName});
}

GstElement* FilterRegistry::create(const RegFilterInfo& filter, QString& error) {
  ensureInit();
  GstElement* e = nullptr;
  switch (filter.kind) {
    case RegFilterInfo::Kind::Camera:
      return makeCamera(filter.source, error);
    case RegFilterInfo::Kind::Alias:
      if (filter.source == QLatin1String(kAviDecompressor)) e = makeDecompressor();
      else if (filter.source == QLatin1String(kColorSpaceConverter)) e = makeConverter();
      else if (filter.source == QLatin1String(kVideoRenderer)) e = makeRenderer();
      break;
    case RegFilterInfo::Kind::Factory:
      e = gst_element_factory_make(filter.source.toUtf8().constData(), nullptr);
      break;
  }
  if (!e) error = QStringLiteral("the filter \"%1\" can't be made").arg(filter.Name);
  return e;
}

}  // namespace camgraph
