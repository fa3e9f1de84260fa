#pragma once
// Writing a table of texts as an .xlsx workbook.
#include <QList>
#include <QString>
#include <QStringList>

namespace excel {

// Writes `rows` (row 1 first) to the sheet "Sheet1" of a new workbook at `path`. Every cell
// is a string in the text format, so "00123" keeps its zeros, "=1+1" stays a text and long
// numbers never turn into 1.2E+15; empty texts leave the cell empty. Each column is as wide
// as its longest text. The workbook is built beside `path` and takes its place only when
// complete, so a failure leaves any file already there untouched.
// Returns "" on success, otherwise why the workbook could not be written.
QString writeTextSheet(const QString& path, const QList<QStringList>& rows);

}  // namespace excel
