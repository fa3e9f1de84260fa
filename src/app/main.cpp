// Lentavo starts at its main window; closing that window ends the program.
#include <QApplication>

#include "Frmcari.h"
#include "forms.h"
#include "vb.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lentavo"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/card.png")));
  vb::setProgramFolder(QCoreApplication::applicationDirPath());

  bool ended = false;
  app::setEndHook([&ended] {
    ended = true;
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(0);
  });
  Frmcari* main = forms::get<Frmcari>();
  if (ended) return 1;  // the database could not be opened; the user was told
  main->show();
  return QApplication::exec();
}
