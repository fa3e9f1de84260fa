#include "dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QWidget>
#include <cstdlib>

#include "qt_dialog_host.h"
#include "vb.h"

namespace ui {

namespace {

DialogHost* g_host = nullptr;

DialogHost& qtHost() {
  static QtDialogHost host;
  return host;
}

struct FilterEntry {
  QString description;
  QStringList patterns;
};

// "desc|p1;p2|desc2|p3" -> entries; a trailing description without patterns is dropped.
QList<FilterEntry> parseFilter(const QString& vbFilter) {
  QList<FilterEntry> out;
  const QStringList parts = vbFilter.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    FilterEntry e;
    e.description = parts[i].trimmed();
    for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString t = p.trimmed();
      if (!t.isEmpty()) e.patterns << t;
    }
    if (e.patterns.isEmpty()) e.patterns << QStringLiteral("*");
    out << e;
  }
  return out;
}

}  // namespace

DialogHost* setDialogHost(DialogHost* host) {
  DialogHost* previous = g_host;
  g_host = host;
  return previous;
}

DialogHost& dialogHost() { return g_host ? *g_host : qtHost(); }

QStringList qtNameFilters(const QString& vbFilter) {
  QStringList out;
  for (const FilterEntry& e : parseFilter(vbFilter)) {
    // Descriptions usually repeat their patterns in brackets ("jpeg file (*.jpg)"); Qt reads
    // the patterns from the last bracket, so ours replace that one instead of doubling it.
    QString desc = e.description;
    if (desc.endsWith(QLatin1Char(')'))) {
      const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
      if (open >= 0) desc = desc.left(open).trimmed();
    }
    const QString pats = e.patterns.join(QLatin1Char(' '));
    out << (desc.isEmpty() ? pats : desc) + QStringLiteral(" (") + pats + QLatin1Char(')');
  }
  return out;
}

bool matchesFilter(const QString& vbFilter, int index, const QString& fileName) {
  const QList<FilterEntry> entries = parseFilter(vbFilter);
  if (entries.isEmpty()) return true;
  if (index < 1 || index > entries.size()) index = 1;
  const QString name = QFileInfo(fileName).fileName();
  for (const QString& pattern : entries[index - 1].patterns) {
    // "*.*" means every file on the system the filters come from, names without a dot included.
    if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) return true;
    const QRegularExpression re = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
    if (re.match(name).hasMatch()) return true;
  }
  return false;
}

namespace {
[[noreturn]] void throwCancel() {
  throw vb::VbError(vb::kErrCancel, QStringLiteral("CommonDialog"), QStringLiteral("Cancel was selected."));
}
}  // namespace

static void showFile(CommonDialog& d, bool save) {
  FileRequest req;
  req.save = save;
  req.title = d.DialogTitle;
  req.filter = d.Filter;
  req.filterIndex = d.FilterIndex;
  req.initDir = d.InitDir;
  req.fileName = d.FileName;
  const FileAnswer a = dialogHost().file(req);
  if (!a.accepted) {
    if (d.CancelError) throwCancel();
    return;
  }
  d.FileName = a.fileName;
}

void CommonDialog::ShowOpen() { showFile(*this, false); }
void CommonDialog::ShowSave() { showFile(*this, true); }

void CommonDialog::ShowFont() {
  const FontAnswer a = dialogHost().font(Font, Color);
  if (!a.accepted) {
    if (CancelError) throwCancel();
    return;
  }
  Font = a.font;
  Color = a.color;
}

void CommonDialog::ShowColor() {
  const ColorAnswer a = dialogHost().color(Color);
  if (!a.accepted) {
    if (CancelError) throwCancel();
    return;
  }
  Color = a.color;
}

bool openDocument(const QString& path) { return dialogHost().openDocument(path); }

QString browseForFolder(const QString& title) {
  const FolderAnswer a = dialogHost().folder(title);
  return a.accepted ? a.folder : QString();
}

}  // namespace ui

namespace app {

namespace {
std::function<void()>& hookSlot() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void setEndHook(std::function<void()> hook) { hookSlot() = std::move(hook); }
std::function<void()> endHook() { return hookSlot(); }

void end() {
  if (hookSlot()) {
    hookSlot()();
    return;
  }
  // Every window goes away at once, without its close or unload handler.
  for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
  // Before the event loop runs (a failing start-up) there is nothing to leave: end here.
  if (!QCoreApplication::instance() || QThread::currentThread()->loopLevel() == 0) std::exit(0);
  // Leaves every running loop, nested modal loops included.
  QCoreApplication::exit(0);
}

}  // namespace app
