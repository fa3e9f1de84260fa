#pragma once
// What is kept of a camera between runs: the chosen format and the colour balance, in a
// key=value text file of our own, one per camera.
#include <QString>
#include <optional>

namespace camera {

// Colour balance with the neutral values as defaults: brightness and hue -1 .. 1,
// contrast and saturation 0 .. 2.
struct Balance {
  double brightness = 0.0;
  double contrast = 1.0;
  double hue = 0.0;
  double saturation = 1.0;
  bool operator==(const Balance&) const = default;
};

struct Settings {
  QString caps;  // the format asked of the source, e.g. "video/x-raw,width=640,height=480"; "" any
  Balance balance;
  bool operator==(const Settings&) const = default;
};

// folder & "/" & the device name & ".cfg", with every character that would leave the
// folder, hide the file or cut the path ("/", "\", control characters, a leading dot) as "-".
QString settingsFile(const QString& folder, const QString& deviceName);

// Writes the file whole or not at all: an old file stays until the new one is complete.
bool saveSettings(const QString& file, const Settings& settings, QString* error = nullptr);
// Reads a file; unknown keys are passed over and values out of range are taken as the
// nearest end. Nothing when the file cannot be read or is no settings file.
std::optional<Settings> loadSettings(const QString& file, QString* error = nullptr);

}  // namespace camera
