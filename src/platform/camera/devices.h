#pragma once
// The video capture devices of the computer, from GStreamer's device monitor. Tests put
// their own list in place (test-pattern sources), so nothing depends on a real camera.
#include <QString>
#include <functional>
#include <vector>

namespace camera {

struct Device {
  QString name;    // what the user sees in the menu
  QString source;  // gst-launch description of the source element, with its properties
};

// Starts GStreamer once; false (with the reason) when it cannot start.
bool initGStreamer(QString* error = nullptr);

// The devices in the order the source gives them; empty when GStreamer is missing.
std::vector<Device> videoDevices();

// Replaces the device monitor; an empty function puts the monitor back.
using DeviceSource = std::function<std::vector<Device>()>;
void setDeviceSource(DeviceSource source);

}  // namespace camera
