#pragma once
#include "plainwindow.h"

class Frmbackup : public ui::PlainWindow<Frmbackup> {
  Q_OBJECT
 public:
  Frmbackup()
      : ui::PlainWindow<Frmbackup>("Frmbackup", QStringLiteral("Backup"), QStringLiteral("Backup database dan foto")) {}
};
