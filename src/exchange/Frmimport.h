#pragma once
#include "plainwindow.h"

class Frmimport : public ui::PlainWindow<Frmimport> {
  Q_OBJECT
 public:
  Frmimport()
      : ui::PlainWindow<Frmimport>("Frmimport", QStringLiteral("Import Excel"),
                                   QStringLiteral("Import data siswa dari Excel")) {}
};
