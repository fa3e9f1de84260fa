#pragma once
// What one of our own picture readers makes of a file, one line a file:
// ok<TAB>width<TAB>height<TAB>frames<TAB>sha256 of the first frame as 8-bit BGRA rows, top row first
// error<TAB>text
#include <QString>
#include <QTextStream>

// `reader` is bmp, ico, apng or wmf (wmf takes placeable WMF and EMF files). Returns 0 when
// the line says ok, 1 for an error line, 2 for an unknown reader (nothing written).
// wmf draws text, so a QGuiApplication must exist.
int dumpWithReader(const QString& reader, const QString& file, QTextStream& out);
