#include "listview.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "listview_model.h"
#include "twips.h"
#include "vb.h"

namespace ui {

namespace {

constexpr int kDefaultColumnTwips = 1440;

[[noreturn]] void outOfBounds() {
  throw vb::VbError(35600, QStringLiteral("ListView"), QStringLiteral("Index out of bounds"));
}
[[noreturn]] void invalidValue() {
  throw vb::VbError(380, QStringLiteral("ListView"), QStringLiteral("Invalid property value"));
}

}  // namespace

// Thin lines between cells when GridLines is on.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  bool on = false;
  void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(p, opt, index);
    if (!on) return;
    p->save();
    p->setPen(opt.palette.color(QPalette::Midlight));
    p->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    p->drawLine(opt.rect.bottomLeft(), opt.rect.bottomRight());
    p->restore();
  }
};

ListView::ListView(QWidget* parent) : QTreeView(parent), model_(std::make_unique<ListViewModel>()) {
  setModel(model_.get());
  grid_ = new GridDelegate(this);
  setItemDelegate(grid_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setMinimumSectionSize(0);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) {
    if (i.isValid()) emit itemClicked();
  });
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
    if (i.isValid()) emit itemDoubleClicked();
  });
  connect(header(), &QHeaderView::sectionClicked, this, [this](int logical) { emit columnClicked(logical + 1); });
  connect(model_.get(), &ListViewModel::userChecked, this, [this](int row) { emit itemCheck(row + 1); });
  // A width the user drags is the column's width from then on.
  connect(header(), &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
    if (settingWidth_ || logical < 0 || logical >= model_->columnCount()) return;
    model_->setColumnWidthTwips(logical, static_cast<int>(twips::fromPx(std::max(0, newSize - checkBoxPx(logical)))));
  });
  applyOptions();
}

ListView::~ListView() {
  // Detach before the model goes, so the view never sees a dead model.
  setModel(nullptr);
}

ListViewModel* ListView::listModel() const { return model_.get(); }

int ListView::row0(int index) const {
  if (index < 1 || index > model_->rowCount()) outOfBounds();
  return index - 1;
}

int ListView::col0(int index) const {
  if (index < 1 || index > model_->columnCount()) outOfBounds();
  return index - 1;
}

// The check box sits in the first column beside its text; the column is widened by the
// box so the text keeps the width the column was given.
int ListView::checkBoxPx(int col) const {
  if (col != 0 || !Checkboxes) return 0;
  return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
         2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 2;
}

void ListView::applyWidth(int col) {
  settingWidth_ = true;
  const int tw = model_->columns()[static_cast<size_t>(col)].widthTwips;
  header()->resizeSection(col, twips::toPx(tw) + (tw > 0 ? checkBoxPx(col) : 0));
  settingWidth_ = false;
}

// --- ColumnHeaders

void ListView::addColumn(const QString& text, int widthTwips, int index) {
  const int n = model_->columnCount();
  if (index < 0 || index > n + 1) outOfBounds();
  if (widthTwips < 0 && widthTwips != -1) invalidValue();
  const int pos = (index == 0) ? n : index - 1;
  settingWidth_ = true;
  model_->insertColumnAt(pos, ListViewModel::Column{text, widthTwips == -1 ? kDefaultColumnTwips : widthTwips, {}, {}});
  settingWidth_ = false;
  applyWidth(pos);
  if (pos == 0 && n > 0) applyWidth(1);  // the old first column gives up the check box's room
}

void ListView::clearColumns() { model_->clearColumns(); }

int ListView::columnCount() const { return model_->columnCount(); }

QString ListView::columnText(int index) const { return model_->columns()[static_cast<size_t>(col0(index))].text; }

int ListView::columnWidthTwips(int index) const {
  return model_->columns()[static_cast<size_t>(col0(index))].widthTwips;
}

void ListView::setColumnIcon(int index, const QIcon& icon) { model_->setColumnIcon(col0(index), icon); }

QIcon ListView::columnIcon(int index) const { return model_->columns()[static_cast<size_t>(col0(index))].icon; }

void ListView::setColumnIconKey(int index, const QString& key, const QIcon& icon) {
  const int c = col0(index);
  if (key.isEmpty())
    model_->setColumnIcon(c, QIcon());
  else
    model_->setColumnIcon(c, icon, key);
}

QString ListView::columnIconKey(int index) const { return model_->columns()[static_cast<size_t>(col0(index))].iconKey; }

// --- ListItems

int ListView::addItem(const QString& text) { return addRow(QStringList{text}); }

int ListView::addRow(const QStringList& values) {
  flushSelection();
  const bool wasEmpty = count() == 0;
  QStringList texts = values;
  if (texts.isEmpty()) texts << QString();
  const int index = model_->appendRow(std::move(texts)) + 1;
  if (wasEmpty) selectFirstRow();
  return index;
}

void ListView::addRows(const QList<QStringList>& rows) {
  flushSelection();
  const bool wasEmpty = count() == 0;
  bool complete = true;
  for (const QStringList& r : rows) complete = complete && !r.isEmpty();
  if (complete) {
    model_->appendRows(rows);
  } else {
    // Rare: make every row carry at least its text.
    QList<QStringList> fixed;
    fixed.reserve(rows.size());
    for (const QStringList& x : rows) fixed << (x.isEmpty() ? QStringList{QString()} : x);
    model_->appendRows(fixed);
  }
  if (wasEmpty) selectFirstRow();
}

// The first row added to an empty list becomes the current and selected row (the
// SelectedItem), so commands on "the current row" work right after a fill.
void ListView::selectFirstRow() {
  if (count() > 0 && !currentIndex().isValid() && model_->columnCount() > 0) setCurrentIndex1(1);
}

void ListView::removeItem(int index) {
  const int r = row0(index);
  flushSelection();
  model_->removeRowAt(r);
}

void ListView::clearItems() {
  pendingSelection_.clear();
  model_->clearRows();
}

int ListView::count() const { return model_->rowCount(); }

QString ListView::itemText(int index) const { return model_->cell(row0(index), 0); }

void ListView::setItemText(int index, const QString& text) {
  const int r = row0(index);
  flushSelection();  // a sorted list may move the row
  model_->setCell(r, 0, text);
}

QString ListView::subItem(int index, int sub) const {
  const int r = row0(index);
  if (sub < 1) invalidValue();
  return model_->cell(r, sub);
}

void ListView::setSubItem(int index, int sub, const QString& text) {
  const int r = row0(index);
  if (sub < 1) invalidValue();
  flushSelection();  // a sorted list may move the row
  model_->setCell(r, sub, text);
}

bool ListView::checked(int index) const { return model_->rows()[static_cast<size_t>(row0(index))].checked; }

void ListView::setChecked(int index, bool on) { model_->setChecked(row0(index), on); }

bool ListView::selected(int index) const {
  const int r = row0(index);
  const auto it = pendingSelection_.find(r);
  if (it != pendingSelection_.end()) return it->second;
  return selectionModel()->isRowSelected(r, QModelIndex());
}

void ListView::setSelected(int index, bool on) {
  const int r = row0(index);
  if (on && selectionMode() == QAbstractItemView::SingleSelection) {
    // One selected row at a time: it is also the current one.
    flushSelection();
    selectionModel()->setCurrentIndex(model_->index(r, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return;
  }
  pendingSelection_[r] = on;
  if (!flushQueued_) {
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, &ListView::flushSelection, Qt::QueuedConnection);
  }
}

void ListView::flushSelection() {
  flushQueued_ = false;
  if (pendingSelection_.empty()) return;
  if (model_->columnCount() == 0) {  // nothing to select without columns
    pendingSelection_.clear();
    return;
  }
  // Runs of neighbouring rows become one range each.
  QItemSelection select, deselect;
  const int last = model_->columnCount() - 1;
  auto it = pendingSelection_.begin();
  while (it != pendingSelection_.end()) {
    const int first = it->first;
    const bool on = it->second;
    int end = first;
    auto next = std::next(it);
    while (next != pendingSelection_.end() && next->first == end + 1 && next->second == on) {
      end = next->first;
      ++next;
    }
    if (first < model_->rowCount()) {
      const QItemSelectionRange range(model_->index(first, 0),
                                      model_->index(std::min(end, model_->rowCount() - 1), last));
      (on ? select : deselect).append(range);
    }
    it = next;
  }
  pendingSelection_.clear();
  if (!deselect.isEmpty())
    selectionModel()->select(deselect, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  if (!select.isEmpty()) selectionModel()->select(select, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

int ListView::currentIndex1() const {
  const QModelIndex c = currentIndex();
  return c.isValid() ? c.row() + 1 : 0;
}

void ListView::setCurrentIndex1(int index) {
  flushSelection();
  if (index == 0) {
    selectionModel()->clearCurrentIndex();
    return;
  }
  const QModelIndex i = model_->index(row0(index), 0);
  const auto how = selectionMode() == QAbstractItemView::SingleSelection ? QItemSelectionModel::ClearAndSelect
                                                                         : QItemSelectionModel::Select;
  selectionModel()->setCurrentIndex(i, how | QItemSelectionModel::Rows);
}

// --- display options

void ListView::applyOptions() {
  flushSelection();
  setSelectionMode(MultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  model_->setCheckable(Checkboxes);
  setMouseTracking(HotTracking);
  grid_->on = GridLines;
  viewport()->update();
}

// --- sort

bool ListView::Sorted() const { return model_->sorted(); }
void ListView::setSorted(bool on) {
  flushSelection();
  model_->setSortState(on, model_->sortKey(), model_->sortOrder());
}
int ListView::SortKey() const { return model_->sortKey(); }
void ListView::setSortKey(int key) {
  if (key < 0) invalidValue();
  flushSelection();
  model_->setSortState(model_->sorted(), key, model_->sortOrder());
}
int ListView::SortOrder() const { return model_->sortOrder(); }
void ListView::setSortOrder(int order) {
  if (order != lvwAscending && order != lvwDescending) invalidValue();
  flushSelection();
  model_->setSortState(model_->sorted(), model_->sortKey(), order);
}

void ListView::setBackgroundPicture(const QImage& picture) {
  background_ = picture;
  QPalette pal = viewport()->palette();
  pal.setBrush(QPalette::Base,
               picture.isNull() ? palette().brush(QPalette::Base) : QBrush(QPixmap::fromImage(picture)));
  viewport()->setPalette(pal);
  viewport()->update();
}

void ListView::setReportStyle() {
  View = lvwReport;
  FullRowSelect = true;
  MultiSelect = true;
  FlatScrollBar = true;
  GridLines = true;
  HotTracking = true;
  applyOptions();
}

}  // namespace ui
