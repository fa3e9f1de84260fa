// Filling the member list: 10,000 rows of 10 columns, row by row and in one step, on a
// shown list (offscreen), including the layout and paint that follow the fill.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "listview.h"

namespace {

QList<QStringList> makeRows(int n) {
  QList<QStringList> rows;
  rows.reserve(n);
  for (int i = 0; i < n; ++i) {
    rows << QStringList{QString::number(i + 1),
                        QStringLiteral("NIS%1").arg(i),
                        QStringLiteral("00%1").arg(i * 7),
                        QStringLiteral("Nama Siswa %1").arg(i % 997),
                        QStringLiteral("Kota, 01-01-2010"),
                        QStringLiteral("Islam"),
                        QStringLiteral("L"),
                        QStringLiteral("BC%1").arg(i),
                        QStringLiteral("Kelas %1").arg(i % 12),
                        QString::number(i + 100)};
  }
  return rows;
}

struct Fixture {
  Fixture() {
    for (int i = 0; i < 10; ++i) lv.addColumn(QStringLiteral("C%1").arg(i), i == 9 ? 0 : 1500);
    lv.MultiSelect = true;
    lv.applyOptions();
    lv.resize(1000, 600);
    lv.show();
    QApplication::processEvents();
  }
  ui::ListView lv;
};

void BM_FillByAddRow(benchmark::State& state) {
  Fixture f;
  const QList<QStringList> rows = makeRows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    f.lv.clearItems();
    for (const QStringList& r : rows) f.lv.addRow(r);
    QApplication::processEvents();
    benchmark::DoNotOptimize(f.lv.count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillByAddRow)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_FillByAddRows(benchmark::State& state) {
  Fixture f;
  const QList<QStringList> rows = makeRows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    f.lv.clearItems();
    f.lv.addRows(rows);
    QApplication::processEvents();
    benchmark::DoNotOptimize(f.lv.count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillByAddRows)->Arg(10000)->Unit(benchmark::kMillisecond);

// A column click on a full list: sort by a text column.
void BM_SortByColumn(benchmark::State& state) {
  Fixture f;
  f.lv.addRows(makeRows(static_cast<int>(state.range(0))));
  int order = 0;
  f.lv.setSortKey(3);
  for (auto _ : state) {
    f.lv.setSortOrder(order);
    f.lv.setSorted(true);
    order = 1 - order;
    QApplication::processEvents();
  }
}
BENCHMARK(BM_SortByColumn)->Arg(10000)->Unit(benchmark::kMillisecond);

// "Select All": tick and select every row one by one, as the main window does.
void BM_TickAndSelectAll(benchmark::State& state) {
  Fixture f;
  f.lv.addRows(makeRows(static_cast<int>(state.range(0))));
  bool on = true;
  for (auto _ : state) {
    for (int i = 1; i <= f.lv.count(); ++i) {
      f.lv.setChecked(i, on);
      f.lv.setSelected(i, on);
    }
    on = !on;
    QApplication::processEvents();
  }
}
BENCHMARK(BM_TickAndSelectAll)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
