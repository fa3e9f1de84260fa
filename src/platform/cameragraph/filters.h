#pragma once
// The filters a graph can be built from: the cameras, the element factories of GStreamer,
// and the four stand-ins for the classic capture chain. Each stand-in is a bin whose pads
// carry the pin names the camera windows ask for:
//   a camera            -> "Capture" (its video output)
//   "AVI Decompressor"  -> "XForm In", "XForm Out"   (decodes whatever the camera sends)
//   "Color Space Converter" -> "Input", "XForm Out"
//   "Video Renderer"    -> "VMR Input0" (keeps the latest frame for the window to show)
#include <QString>
#include <functional>
#include <vector>

typedef struct _GstElement GstElement;

namespace camgraph {

inline constexpr const char* kAviDecompressor = "AVI Decompressor";
inline constexpr const char* kColorSpaceConverter = "Color Space Converter";
inline constexpr const char* kVideoRenderer = "Video Renderer";
inline constexpr const char* kCapturePin = "Capture";

// A camera: the name the user sees and a gst-launch description of its source, such as
// `v4l2src device=/dev/video0`. Its first unlinked source pad becomes the pin "Capture"; a
// description without one gives a camera without that pin.
struct CameraSource {
  QString name;
  QString launch;
};

// Where the cameras come from. Unset, the GStreamer device monitor's "Video/Source"
// devices; tests put in test-pattern sources.
using CameraProvider = std::function<std::vector<CameraSource>()>;
void setCameraProvider(CameraProvider provider);
std::vector<CameraSource> cameras();

struct RegFilterInfo {
  enum class Kind { Camera, Alias, Factory };
  QString Name;
  Kind kind = Kind::Factory;
  QString source;  // the launch description of a camera, the factory name of an element
};

class FilterRegistry {
 public:
  // What the machine offers, in this order: the cameras, the four stand-ins, then every
  // element factory by name.
  static FilterRegistry machine();

  void addCamera(const CameraSource& camera);
  // One of the stand-in names above; any other name gives a filter that can't be made.
  void addAlias(const QString& name);
  void addFactory(const QString& factoryName);

  const std::vector<RegFilterInfo>& filters() const { return filters_; }

  // A new, floating instance of the filter; null with `error` set when it can't be made.
  static GstElement* create(const RegFilterInfo& filter, QString& error);

 private:
  std::vector<RegFilterInfo> filters_;
};

// Starts GStreamer once; every entry point here calls it.
void ensureInit();

}  // namespace camgraph
