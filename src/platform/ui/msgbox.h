#pragma once
// Message and input boxes. Every box of the program goes through here, so tests can
// script the answers (see setDialogHost) and nothing ever blocks in a test.
#include <QString>

namespace ui {

// VB button/icon flags and results.
enum MsgFlags {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};
enum MsgResult { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// An empty title means the application title.
int msgBox(const QString& prompt, int flags = vbOKOnly, const QString& title = QString());
// Returns the typed text, or "" when cancelled.
QString inputBox(const QString& prompt, const QString& title = QString(), const QString& defaultText = QString());

}  // namespace ui
