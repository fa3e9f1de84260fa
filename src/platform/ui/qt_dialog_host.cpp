#include "qt_dialog_host.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "fontchooser.h"
#include "msgbox.h"

namespace ui {

namespace {

QWidget* dialogParent() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  return QApplication::activeWindow();
}

int vbResult(int button) {
  switch (button) {
    case QMessageBox::Ok:
      return vbOK;
    case QMessageBox::Cancel:
      return vbCancel;
    case QMessageBox::Abort:
      return vbAbort;
    case QMessageBox::Retry:
      return vbRetry;
    case QMessageBox::Ignore:
      return vbIgnore;
    case QMessageBox::Yes:
      return vbYes;
    case QMessageBox::No:
      return vbNo;
    default:
      return vbCancel;
  }
}

// The open dialog refuses a typed name outside the chosen filter, so what it returns
// always matches the filter, whatever the letters' case.
class FilteredFileDialog : public QFileDialog {
 public:
  FilteredFileDialog(QWidget* parent, QString vbFilter) : QFileDialog(parent), vbFilter_(std::move(vbFilter)) {}

  void accept() override {
    if (acceptMode() == AcceptOpen) {
      const QStringList files = selectedFiles();
      const int index = static_cast<int>(nameFilters().indexOf(selectedNameFilter())) + 1;
      if (!files.isEmpty() && QFileInfo(files.first()).isFile() && !matchesFilter(vbFilter_, index, files.first()))
        return;
    }
    QFileDialog::accept();
  }

 private:
  QString vbFilter_;
};

}  // namespace

int QtDialogHost::msgBox(const QString& prompt, int flags, const QString& title) {
  QMessageBox box(dialogParent());
  box.setWindowTitle(title);
  box.setText(prompt);
  switch (flags & 0x70) {
    case vbCritical:
      box.setIcon(QMessageBox::Critical);
      break;
    case vbQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case vbExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case vbInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  QList<QMessageBox::StandardButton> buttons;
  switch (flags & 7) {
    case vbOKCancel:
      buttons = {QMessageBox::Ok, QMessageBox::Cancel};
      break;
    case vbAbortRetryIgnore:
      buttons = {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
      break;
    case vbYesNoCancel:
      buttons = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
      break;
    case vbYesNo:
      buttons = {QMessageBox::Yes, QMessageBox::No};
      break;
    case vbRetryCancel:
      buttons = {QMessageBox::Retry, QMessageBox::Cancel};
      break;
    default:
      buttons = {QMessageBox::Ok};
      break;
  }
  QMessageBox::StandardButtons set;
  for (auto b : buttons) set |= b;
  box.setStandardButtons(set);
  // Default button 1, 2 or 3 (flags 0, 256, 512).
  const int def = qBound(0, (flags >> 8) & 3, static_cast<int>(buttons.size()) - 1);
  box.setDefaultButton(buttons[def]);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (!clicked) return buttons.contains(QMessageBox::Cancel) ? vbCancel : vbResult(buttons.last());
  return vbResult(box.standardButton(clicked));
}

QString QtDialogHost::inputBox(const QString& prompt, const QString& title, const QString& def) {
  bool ok = false;
  const QString text = QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, def, &ok);
  return ok ? text : QString();
}

FileAnswer QtDialogHost::file(const FileRequest& req) {
  // Qt's own dialog: its filters match names regardless of case on every system.
  FilteredFileDialog dlg(dialogParent(), req.filter);
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!req.title.isEmpty()) dlg.setWindowTitle(req.title);
  dlg.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(req.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = qtNameFilters(req.filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    const int index = (req.filterIndex >= 1 && req.filterIndex <= filters.size()) ? req.filterIndex : 1;
    dlg.selectNameFilter(filters[index - 1]);
  }
  dlg.setDirectory(req.initDir.isEmpty() ? QDir::currentPath() : req.initDir);
  if (!req.fileName.isEmpty()) dlg.selectFile(req.fileName);
  FileAnswer a;
  if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
    a.accepted = true;
    a.fileName = QDir::toNativeSeparators(dlg.selectedFiles().first());
  }
  return a;
}

FontAnswer QtDialogHost::font(const QFont& initial, const QColor& color) {
  FontChooser dlg(dialogParent(), initial, color);
  FontAnswer a;
  if (dlg.exec() == QDialog::Accepted) {
    a.accepted = true;
    a.font = dlg.chosenFont();
    a.color = dlg.chosenColor();
  }
  return a;
}

ColorAnswer QtDialogHost::color(const QColor& initial) {
  const QColor c = QColorDialog::getColor(initial.isValid() ? initial : QColor(Qt::black), dialogParent());
  return ColorAnswer{c.isValid(), c};
}

FolderAnswer QtDialogHost::folder(const QString& title) {
  const QString dir = QFileDialog::getExistingDirectory(dialogParent(), title, QString(), QFileDialog::ShowDirsOnly);
  return FolderAnswer{!dir.isEmpty(), dir};
}

bool QtDialogHost::openDocument(const QString& path) {
  // A web address goes to the browser, anything else is a local file.
  const QUrl url = path.startsWith(QLatin1String("http://")) || path.startsWith(QLatin1String("https://"))
                       ? QUrl(path)
                       : QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  return QDesktopServices::openUrl(url);
}

}  // namespace ui
