#pragma once
// Sorting of a list view by one column: the list's own text sort, and a typed sort for
// number and date columns.
#include "listview.h"

namespace sORTED {

enum ColumnType { kText = 0, kNumber = 1, kDate = 2 };

// Sorts `lv` by its `colIndex`-th column (1-based) in `order` (0 up, 1 down). Returns
// false after a failure, which it reports in a message box.
bool SortListView(ui::ListView& lv, int colIndex, int order, int colType);
// Writes the list's sort order (when 0 or 1) and key, and switches its sorted mode on.
void setSort(ui::ListView& lv, int order, int key);

}  // namespace sORTED
