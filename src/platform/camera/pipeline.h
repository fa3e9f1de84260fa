#pragma once
// One opened camera: its source, a decoder where the source sends compressed frames, a
// colour balance, a conversion to 32-bit BGRx and an application sink that keeps only the
// newest frame. The window polls it from a timer; nothing here waits without a bound.
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include "settings.h"

typedef struct _GstElement GstElement;

namespace camera {

class Pipeline {
 public:
  enum class Open { Ok, NoOutput, Failed };

  Pipeline() = default;
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Builds the pipeline for a source description and a format ("" for any). NoOutput when
  // the description gives no element with a video output; Failed (see error()) otherwise.
  Open open(const QString& source, const QString& caps = QString());
  bool isOpen() const { return pipeline_ != nullptr; }
  void close();

  // Plays and waits at most timeoutMs for the first frame, which gives the video size.
  bool start(int timeoutMs);
  // Stops the stream; start() runs it again.
  void stop();
  bool isRunning() const { return running_; }

  // The newest frame, when one arrived since the last call; never waits.
  bool pullFrame(QImage& frame);
  // True once a running stream has ended or failed (the camera was unplugged, say); the
  // stream is then stopped and error() says why. Never waits.
  bool lost();
  QSize videoSize() const { return size_; }
  QString error() const { return error_; }

  QString caps() const { return caps_; }
  Balance balance() const { return balance_; }
  void setBalance(const Balance& b);

  // The formats the source offers, as caps texts for open(); sizes from a range are the
  // common ones that fit in it.
  QStringList formats();

 private:
  bool takeBusError();

  GstElement* pipeline_ = nullptr;
  GstElement* source_ = nullptr;
  GstElement* sink_ = nullptr;
  GstElement* balanceElement_ = nullptr;
  QString sourceText_, caps_, error_;
  Balance balance_;
  QSize size_;
  QImage pending_;  // the first frame, taken while starting
  bool running_ = false;
};

}  // namespace camera
