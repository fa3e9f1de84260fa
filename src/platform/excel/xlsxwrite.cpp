#include "xlsxwrite.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "atomicfile.h"

namespace excel {

namespace {

constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;
constexpr double kMaxWidth = 255;  // the widest column a sheet allows, in characters

QString errorText(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }

}  // namespace

QString writeTextSheet(const QString& path, const QList<QStringList>& rows) {
  if (rows.size() > kMaxRows) return QStringLiteral("Terlalu banyak baris untuk satu sheet.");
  qsizetype columns = 0;
  for (const QStringList& r : rows) columns = std::max(columns, r.size());
  if (columns > kMaxColumns) return QStringLiteral("Terlalu banyak kolom untuk satu sheet.");

  // The library writes the file itself, under the file helper's temporary name beside the
  // target (the start-up sweep knows it; the final rename stays on one file system).
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir() || !folder.isWritable())
    return QStringLiteral("File tidak dapat dibuat di ") + target.absolutePath() + QStringLiteral(".");
  const QByteArray partName = vb::temporaryNameBeside(QFile::encodeName(target.absoluteFilePath()));
  const QString part = QFile::decodeName(partName);
  // Whatever stops the export before the file is in place takes its part with it.
  struct Part {
    QByteArray name;
    bool placed = false;
    ~Part() {
      if (!placed) QFile::remove(QFile::decodeName(name));
    }
  } cleanup{partName};

  lxw_workbook* wb = workbook_new(partName.constData());
  if (!wb) return QStringLiteral("Workbook tidak dapat dibuat.");
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Sheet1");
  lxw_format* text = workbook_add_format(wb);
  format_set_num_format(text, "@");

  std::vector<double> width(static_cast<size_t>(columns), 0);
  lxw_error err = LXW_NO_ERROR;
  for (qsizetype r = 0; r < rows.size() && err == LXW_NO_ERROR; ++r) {
    for (qsizetype c = 0; c < rows[r].size(); ++c) {
      const QString& s = rows[r][c];
      if (s.isEmpty()) continue;
      err = worksheet_write_string(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), s.toUtf8().constData(),
                                   text);
      if (err != LXW_NO_ERROR) break;
      width[static_cast<size_t>(c)] = std::max(width[static_cast<size_t>(c)], double(s.toUcs4().size()));
    }
  }
  // Columns get the text format too, so what the user types into them later stays text.
  for (size_t c = 0; c < width.size() && err == LXW_NO_ERROR; ++c)
    err = worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                               std::min(kMaxWidth, width[c] + 2), text);
  const lxw_error closed = workbook_close(wb);
  if (err == LXW_NO_ERROR) err = closed;
  if (err != LXW_NO_ERROR) return errorText(err);

  if (!vb::moveFileIntoPlace(part, target.absoluteFilePath()))
    return QStringLiteral("File tidak dapat disimpan sebagai ") + path + QStringLiteral(".");
  cleanup.placed = true;
  return QString();
}

}  // namespace excel
