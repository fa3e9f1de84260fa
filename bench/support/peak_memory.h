// A read's peak resident memory and time, measured in a forked child so that neither what the
// bench process already holds nor what earlier reads left behind counts.
#pragma once

#include <functional>

namespace benchsupport {

// Stops the clock and takes the peak; `work` may stop it before tearing down what it read.
class PeakMeter {
 public:
  PeakMeter();
  void stop();
  double seconds() const { return seconds_; }
  double peakMb() const { return peakMb_; }

 private:
  long startKb_;
  double start_;
  double seconds_ = 0;
  double peakMb_ = 0;
  bool stopped_ = false;
};

struct PeakMemory {
  double seconds = 0;
  double peakMb = 0;  // resident memory the work added above the child's start
  long value = -1;    // what `work` returned; -1 also when the child could not be run
};

// Runs `work` in a child process and hands back its measure and what it returned.
PeakMemory measureInChild(const std::function<long(PeakMeter&)>& work);

}  // namespace benchsupport
