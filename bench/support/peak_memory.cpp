#include "peak_memory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace benchsupport {
namespace {

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

PeakMeter::PeakMeter() {
  {
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";  // restarts the peak count at the present size
  }
  startKb_ = statusKb("VmRSS:");
  start_ = now();
}

void PeakMeter::stop() {
  if (stopped_) return;
  stopped_ = true;
  seconds_ = now() - start_;
  peakMb_ = double(statusKb("VmHWM:") - startKb_) / 1024;
}

PeakMemory measureInChild(const std::function<long(PeakMeter&)>& work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    PeakMemory m;
    {
      PeakMeter meter;
      m.value = work(meter);
      meter.stop();
      m.seconds = meter.seconds();
      m.peakMb = meter.peakMb();
    }
    (void)!write(fds[1], &m, sizeof m);
    _exit(0);
  }
  close(fds[1]);
  PeakMemory m;
  if (read(fds[0], &m, sizeof m) != sizeof m) m = {};
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return m;
}

}  // namespace benchsupport
