#pragma once
#include "plainwindow.h"

class Frmrestore : public ui::PlainWindow<Frmrestore> {
  Q_OBJECT
 public:
  Frmrestore()
      : ui::PlainWindow<Frmrestore>("Frmrestore", QStringLiteral("Restore"),
                                    QStringLiteral("Restore database dan foto")) {}
};
