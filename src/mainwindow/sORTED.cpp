#include "sORTED.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "msgbox.h"
#include "vb.h"

namespace sORTED {
namespace {

QString cell(const ui::ListView& lv, int row, int key) { return key == 0 ? lv.itemText(row) : lv.subItem(row, key); }

// The key a typed column sorts on; the cell texts themselves are never rewritten.
struct TypedKey {
  bool valid = false;
  double number = 0;
};

TypedKey parseNumber(const QString& s) {
  TypedKey k;
  if (s.trimmed().isEmpty()) return {true, 0.0};  // an empty value counts as 0
  bool ok = false;
  double v = s.trimmed().toDouble(&ok);
  if (!ok) v = QLocale().toDouble(s.trimmed(), &ok);
  if (ok && std::isfinite(v)) k = {true, std::floor(v)};
  return k;
}

TypedKey parseDate(const QString& s) {
  const QString t = s.trimmed();
  QLocale loc;
  const QList<QString> formats = {loc.dateFormat(QLocale::ShortFormat), loc.dateTimeFormat(QLocale::ShortFormat),
                                  QStringLiteral("yyyy-MM-dd"),         QStringLiteral("yyyy-MM-dd HH:mm:ss"),
                                  QStringLiteral("MM/dd/yyyy"),         QStringLiteral("dd/MM/yyyy"),
                                  QStringLiteral("d/M/yyyy"),           QStringLiteral("dd-MM-yyyy")};
  for (const QString& f : formats) {
    QDateTime dt = QDateTime::fromString(t, f);
    if (!dt.isValid()) {
      const QDate d = QDate::fromString(t, f);
      if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
    }
    if (dt.isValid()) return {true, static_cast<double>(dt.toSecsSinceEpoch())};
  }
  return {};
}

void sortTyped(ui::ListView& lv, int key, int order, int colType) {
  const int n = lv.count();
  std::vector<TypedKey> keys(n);
  for (int i = 0; i < n; ++i) {
    keys[i] = colType == kNumber ? parseNumber(cell(lv, i + 1, key)) : parseDate(cell(lv, i + 1, key));
    if (!keys[i].valid) throw vb::VbError(13, QStringLiteral("sORTED"), QStringLiteral("Type mismatch"));
  }
  std::vector<int> idx(n);
  std::iota(idx.begin(), idx.end(), 0);
  std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
    return order == 1 ? keys[a].number > keys[b].number : keys[a].number < keys[b].number;
  });

  // Rebuild the rows in the new order; ticks and selection travel with their rows.
  struct Row {
    QStringList values;
    bool checked;
    bool selected;
  };
  std::vector<Row> rows(n);
  const int columns = std::max(lv.columnCount(), 1);
  for (int i = 0; i < n; ++i) {
    Row& r = rows[i];
    r.values << lv.itemText(i + 1);
    for (int s = 1; s < columns; ++s) r.values << lv.subItem(i + 1, s);
    r.checked = lv.checked(i + 1);
    r.selected = lv.selected(i + 1);
  }
  lv.setSorted(false);
  lv.clearItems();
  QList<QStringList> ordered;
  for (int i : idx) ordered << rows[i].values;
  lv.addRows(ordered);
  for (int i = 0; i < n; ++i) {
    lv.setChecked(i + 1, rows[idx[i]].checked);
    lv.setSelected(i + 1, rows[idx[i]].selected);
  }
  if (order == 0 || order == 1) lv.setSortOrder(order);
  lv.setSortKey(key);
}

}  // namespace

void setSort(ui::ListView& lv, int order, int key) {
  if (order == 0 || order == 1) lv.setSortOrder(order);
  lv.setSortKey(key);
  lv.setSorted(true);
}

bool SortListView(ui::ListView& lv, int colIndex, int order, int colType) {
  try {
    switch (colType) {
      case kText:
        setSort(lv, order, colIndex - 1);
        return true;
      case kNumber:
      case kDate:
        sortTyped(lv, colIndex - 1, order, colType);
        return true;
      default:
        return true;
    }
  } catch (const vb::VbError& e) {
    ui::msgBox(
        QStringLiteral("ERROR IN SORT ROUTINE:\r\n") + QString::number(e.number) + QLatin1Char('\t') + e.description,
        ui::vbOKOnly);
    return false;
  }
}

}  // namespace sORTED
