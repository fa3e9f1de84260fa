#include "frmWebcame.h"

#include <QSaveFile>

#include "Frmcari.h"
#include "frmAggota.h"
#include "photobox.h"
#include "twips.h"
#include "vb.h"

frmWebcame::frmWebcame() {
  setObjectName(QStringLiteral("frmWebcame"));
  setCaption(QStringLiteral("Webcam"));
  resize(twips::toPx(9600), twips::toPx(7200));
  picSource = new QLabel(this);
  picSource->setObjectName(QStringLiteral("picSource"));
  picSource->setAlignment(Qt::AlignCenter);
  picSource->setText(QStringLiteral("Kamera belum tersedia"));
  twips::setGeometry(picSource, 120, 120, 9360, 6960);
}

bool frmWebcame::serahkanFoto(const QImage& crop) {
  if (crop.isNull()) return false;
  const QString file = vb::appPath(QStringLiteral("test.jpg"));
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || !crop.save(&out, "BMP") || !out.commit()) return false;

  const bool forEntry = Caption() == QLatin1String("Input");
  forms::Form* target = nullptr;
  photobox::PhotoBox* box = nullptr;
  if (forEntry) {
    auto* w = forms::get<frmAggota>();
    target = w;
    box = w->Image1;
  } else {
    auto* w = forms::get<Frmcari>();
    target = w;
    box = w->Image2;
  }
  const bool loaded = vb::resumeNext([&] { photobox::PhotoBoxGlobal::loadInto(*box, file); });
  box->Stretch = true;
  target->show();
  hide();
  return loaded;
}
