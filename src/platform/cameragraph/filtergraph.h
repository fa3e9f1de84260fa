#pragma once
// A filter graph: filters made from the registry and added to one pipeline, pins linked
// one to one, and the pipeline run, paused and stopped. The renderer keeps the latest
// frame, which the window fetches as an image or as a packed 32-bit bitmap.
//
// Calls that fail throw vb::VbError: 429 when a filter can't be made, 440 for a link or a
// state change the pipeline refuses, with GStreamer's own words as the description.
#include <QImage>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "filters.h"

typedef struct _GstPad GstPad;
typedef struct _GstSample GstSample;

namespace camgraph {

// Results of GetState, as the classic automation interface gives them.
constexpr long S_OK = 0;
constexpr long VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr long E_FAIL = static_cast<long>(static_cast<std::int32_t>(0x80004005u));
enum GraphState : long { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

constexpr long kErrCreate = 429;
constexpr long kErrGraph = 440;

class PinInfo {
 public:
  PinInfo(GstPad* pad, QString name);
  PinInfo(const PinInfo& o);
  PinInfo& operator=(const PinInfo& o);
  ~PinInfo();
  const QString& Name() const { return name_; }
  // Links this output pin straight to `input`, with no filter between.
  void ConnectDirect(const PinInfo& input) const;

 private:
  GstPad* pad_;
  QString name_;
};

class FilterInfo {
 public:
  FilterInfo(GstElement* element, QString name) : element_(element), name_(std::move(name)) {}
  const QString& Name() const { return name_; }
  // The filter's pins in the order the element lists its pads.
  std::vector<PinInfo> Pins() const;

 private:
  GstElement* element_;  // owned by the graph's pipeline
  QString name_;
};

class FilterGraph {
 public:
  explicit FilterGraph(FilterRegistry registry = FilterRegistry::machine());
  ~FilterGraph();
  FilterGraph(const FilterGraph&) = delete;
  FilterGraph& operator=(const FilterGraph&) = delete;

  const std::vector<RegFilterInfo>& RegFilterCollection() const { return registry_.filters(); }
  // Makes the filter and adds it to the graph.
  FilterInfo Filter(const RegFilterInfo& filter);
  int filterCount() const;

  void Run();
  void Pause();
  void Stop();
  // Waits up to `timeoutMs` for a state change under way; S_OK with the state reached,
  // VFW_S_STATE_INTERMEDIATE while it still goes on, E_FAIL when it failed or the
  // pipeline reported an error.
  long GetState(long timeoutMs, long& state);
  // The last error the pipeline reported ("" for none).
  QString lastError() const;

  // Waits up to `timeoutMs` for a frame to reach the renderer; false on an error or time-out.
  bool waitForFrame(int timeoutMs);
  // The size of the latest frame; 0 before the first.
  long VideoWidth() const;
  long VideoHeight() const;
  // The latest frame, null before the first.
  QImage currentFrame() const;
  // The latest frame as a packed bitmap (40-byte header, 32-bit bottom-up rows). With an
  // empty buffer `size` receives the bytes needed; a buffer shorter than `size` or than the
  // frame throws 440.
  void GetCurrentImage(std::int64_t& size, std::span<std::int32_t> buffer) const;

 private:
  friend struct GraphAccess;
  void frameArrived(GstSample* sample);
  void errorPosted(const QString& text);

  FilterRegistry registry_;
  GstElement* pipeline_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  GstSample* latest_ = nullptr;
  QString error_;
};

}  // namespace camgraph
