#pragma once
// The small pieces of the VB run-time the windows rely on: the program folder, the
// application title, number formatting, banker's rounding and run-time errors.
#include <QString>
#include <QVariant>
#include <stdexcept>
#include <utility>

namespace vb {

// Folder of the running program; tests point it at a temporary folder.
QString programFolder();
void setProgramFolder(const QString& folder);
// programFolder() joined with a relative data path written with "\" or "/".
QString appPath(const QString& relative);

QString appTitle();
void setAppTitle(const QString& title);

// A row count as a whole number with the locale's digit grouping ("1.234" under id_ID).
QString formatCount(qlonglong n);

// Round half to even, as CLng/CInt do.
long long vbRound(double v);

// Value of a field as text: Null becomes "" (what `& ""` does in VB).
QString text(const QVariant& v);

// The one truth rule of Yes/No values: non-zero (and the word True) is True; Null, zero,
// and anything else is False.
bool isTrue(const QVariant& v);

// A run-time error as the handlers see it: Err.Number, Err.Source, Err.Description.
struct VbError : std::runtime_error {
  VbError(long number, QString source, QString description);
  long number;
  QString source;
  QString description;
};

// Cancel error of the common dialog and the generic error numbers the layers raise.
constexpr long kErrCancel = 32755;
constexpr long kErrFileNotFound = 53;
constexpr long kErrInvalidPicture = 481;
constexpr long kErrFileAccess = 75;  // "Path/File access error"

// "On Error Resume Next" for one statement: a failing step is skipped.
template <class F>
bool resumeNext(F&& step) {
  try {
    std::forward<F>(step)();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace vb
