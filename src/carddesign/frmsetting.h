#pragma once
#include "plainwindow.h"

class frmsetting : public ui::PlainWindow<frmsetting> {
  Q_OBJECT
 public:
  frmsetting()
      : ui::PlainWindow<frmsetting>("frmsetting", QStringLiteral("Setting Kartu"), QStringLiteral("Pengaturan kartu")) {
  }
};
