#pragma once
// The common dialog control and the other system dialogs, behind one replaceable host.
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace ui {

struct FileRequest {
  bool save = false;
  QString title;
  QString filter;  // VB form "desc|pattern;pattern|desc|pattern"
  int filterIndex = 1;
  QString initDir;
  QString fileName;  // proposed name
};

// What a dialog answers; `accepted` false means the user cancelled.
struct FileAnswer {
  bool accepted = false;
  QString fileName;
};
struct FontAnswer {
  bool accepted = false;
  QFont font;
  QColor color;
};
struct ColorAnswer {
  bool accepted = false;
  QColor color;
};
struct FolderAnswer {
  bool accepted = false;
  QString folder;
};

// Everything that would block or leave the program. Production uses Qt's dialogs;
// tests install a scripted host.
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  virtual int msgBox(const QString& prompt, int flags, const QString& title) = 0;
  virtual QString inputBox(const QString& prompt, const QString& title, const QString& def) = 0;
  virtual FileAnswer file(const FileRequest& req) = 0;
  virtual FontAnswer font(const QFont& initial, const QColor& color) = 0;
  virtual ColorAnswer color(const QColor& initial) = 0;
  virtual FolderAnswer folder(const QString& title) = 0;
  virtual bool openDocument(const QString& path) = 0;
};

// Installs a host (nullptr restores Qt's); returns the previous one.
DialogHost* setDialogHost(DialogHost* host);
DialogHost& dialogHost();

// "desc|*.jpg;*.jpeg|desc2|*.x" -> Qt name filters "desc (*.jpg *.jpeg)";;...
QStringList qtNameFilters(const QString& vbFilter);
// True when `fileName` matches one of the patterns of the `index`-th filter (1-based),
// regardless of case.
bool matchesFilter(const QString& vbFilter, int index, const QString& fileName);

// The common dialog control: set its properties, call ShowOpen/ShowSave. With
// CancelError set, cancelling throws vb::VbError 32755 "Cancel was selected.".
class CommonDialog {
 public:
  QString DialogTitle;
  QString Filter;
  int FilterIndex = 1;
  QString InitDir;
  QString FileName;
  bool CancelError = false;
  int Flags = 0;  // kept for callers that set it; our dialogs always confirm an overwrite
  QFont Font;
  QColor Color;

  void ShowOpen();
  void ShowSave();
  void ShowFont();
  void ShowColor();
};

// Opens a file with the system's handler (the workbook after an export).
bool openDocument(const QString& path);
// Folder picker; "" when cancelled.
QString browseForFolder(const QString& title);

}  // namespace ui

namespace app {
// Ends the program: hides every window and quits the event loop. Tests install a hook.
void end();
void setEndHook(std::function<void()> hook);
// The hook in force (empty in production), so a test can put back what it found.
std::function<void()> endHook();
}  // namespace app
