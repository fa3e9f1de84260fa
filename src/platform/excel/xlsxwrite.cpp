#include "xlsxwrite.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
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

  // A name of our own beside the target, so the final rename stays on one file system.
  const QFileInfo target(path);
  QTemporaryFile part(target.absoluteDir().filePath(QStringLiteral(".export-XXXXXX.xlsx")));
  if (!part.open()) return QStringLiteral("File tidak dapat dibuat di ") + target.absolutePath() + QStringLiteral(".");
  part.close();
  const QByteArray partName = QFile::encodeName(part.fileName());

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

  // A temporary file is private to its owner; the workbook is an ordinary document.
  part.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  if (!vb::moveFileIntoPlace(part.fileName(), target.absoluteFilePath()))
    return QStringLiteral("File tidak dapat disimpan sebagai ") + path + QStringLiteral(".");
  part.setAutoRemove(false);
  return QString();
}

}  // namespace excel
