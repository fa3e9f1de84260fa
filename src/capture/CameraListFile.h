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

struct List {
  QString index;  // the first field as written
  QStringList captions;
};

// Fields are split at commas and line ends; a quoted field runs to its closing quote.
List parse(const QByteArray& text);
QByteArray format(int currentCamera, const QStringList& captions);

// The stored list; false when there is no file or it can't be read.
bool read(List& list);
// Replaces the file whole; false when it could not be written.
bool write(int currentCamera, const QStringList& captions);

}  // namespace CameraListFile
