#pragma once
// The field-caption window; gantiformat rebuilds the main list's columns from the
// stored captions.
#include "plainwindow.h"

class frmlabel : public ui::PlainWindow<frmlabel> {
  Q_OBJECT
 public:
  frmlabel() : ui::PlainWindow<frmlabel>("frmlabel", QStringLiteral("Label Kartu"), QStringLiteral("Label kartu")) {}
  void gantiformat();
};
