#include "devices.h"

#include <gst/gst.h>

namespace camera {

namespace {

DeviceSource& testSource() {
  static DeviceSource s;
  return s;
}

// The element's identifying property as gst-launch takes it, quoted so that a path with
// blanks or "!" stays one value.
QString quoted(const char* value) {
  QString v = QString::fromUtf8(value);
  v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
  return QLatin1Char('"') + v + QLatin1Char('"');
}

QString describe(GstDevice* device) {
  GstElement* element = gst_device_create_element(device, nullptr);
  if (!element) return {};
  QString out;
  if (GstElementFactory* factory = gst_element_get_factory(element)) {
    out = QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
    for (const char* prop : {"device", "path", "target-object", "device-path", "device-name"}) {
      GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), prop);
      if (!spec || spec->value_type != G_TYPE_STRING || !(spec->flags & G_PARAM_WRITABLE)) continue;
      gchar* value = nullptr;
      g_object_get(element, prop, &value, nullptr);
      if (value && *value) out += QLatin1Char(' ') + QLatin1String(prop) + QLatin1Char('=') + quoted(value);
      g_free(value);
    }
  }
  gst_object_unref(element);
  return out;
}

std::vector<Device> monitorDevices() {
  std::vector<Device> out;
  if (!initGStreamer()) return out;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  // Without starting, the monitor probes its providers once and returns.
  GList* list = gst_device_monitor_get_devices(monitor);
  for (GList* l = list; l; l = l->next) {
    auto* device = GST_DEVICE(l->data);
    gchar* name = gst_device_get_display_name(device);
    Device d{QString::fromUtf8(name), describe(device)};
    g_free(name);
    if (!d.source.isEmpty()) out.push_back(std::move(d));
  }
  g_list_free_full(list, gst_object_unref);
  gst_object_unref(monitor);
  return out;
}

}  // namespace

bool initGStreamer(QString* error) {
  static QString failure;
  static const bool ok = [] {
    GError* err = nullptr;
    const bool started = gst_init_check(nullptr, nullptr, &err);
    if (!started) failure = err ? QString::fromUtf8(err->message) : QStringLiteral("GStreamer tidak dapat dimulai");
    g_clear_error(&err);
    return started;
  }();
  if (!ok && error) *error = failure;
  return ok;
}

std::vector<Device> videoDevices() { return testSource() ? testSource()() : monitorDevices(); }

void setDeviceSource(DeviceSource source) { testSource() = std::move(source); }

}  // namespace camera
