#pragma once
// The production dialog host: Qt's own dialogs, shown over the active window.
#include "dialogs.h"

namespace ui {

class QtDialogHost : public DialogHost {
 public:
  int msgBox(const QString& prompt, int flags, const QString& title) override;
  QString inputBox(const QString& prompt, const QString& title, const QString& def) override;
  FileAnswer file(const FileRequest& req) override;
  FontAnswer font(const QFont& initial, const QColor& color) override;
  ColorAnswer color(const QColor& initial) override;
  FolderAnswer folder(const QString& title) override;
  bool openDocument(const QString& path) override;
};

}  // namespace ui
