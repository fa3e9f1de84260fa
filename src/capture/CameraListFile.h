#pragma once
// "Settings.txt" of the camera windows, in the current directory: a line with the current
// camera's index (-1 for none), then one line per camera menu item with its caption in
// double quotes, lines ended by CR LF. A quote inside a caption is written twice, so any
// name reads back as it was; files without such names read as they always did.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace CameraListFile {

QString path();

// A list of cameras someone plugs in stays far below these; a larger file is no list of ours.
// The camera window adds no camera past kMaxCameras, so every list it saves reads back whole.
inline constexpr qint64 kMaxBytes = 64 * 1024;
inline constexpr int kMaxCameras = 64;

struct List {
  QString index;  // the first field as written
  QStringList captions;
  bool cut = false;  // the file named more than kMaxCameras cameras; the rest were left out
};

// Fields are split at commas and line ends; a quoted field runs to its closing quote.
// Reading stops after kMaxCameras captions.
List parse(const QByteArray& text);
QByteArray format(int currentCamera, const QStringList& captions);

enum class Read { Ok, Missing, TooLarge };
// The stored list. Missing when there is no file or it can't be read; TooLarge, with
// nothing read, when it holds more than kMaxBytes.
Read read(List& list);
// Replaces the file whole; false when it could not be written.
bool write(int currentCamera, const QStringList& captions);

}  // namespace CameraListFile
