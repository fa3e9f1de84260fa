#pragma once
#include "plainwindow.h"

class Form4 : public ui::PlainWindow<Form4> {
  Q_OBJECT
 public:
  Form4()
      : ui::PlainWindow<Form4>("Form4", QStringLiteral("Import Foto"),
                               QStringLiteral("Import foto siswa dari folder")) {}
};
