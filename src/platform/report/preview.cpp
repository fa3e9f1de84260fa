#include "preview.h"

#include <QAction>
#include <QApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>

#include "cardrender.h"
#include "forms.h"
#include "reporterrors.h"
#include "vb.h"

namespace report {
namespace {

void setUp(QPrinter& printer, const CardRenderer& renderer, const QString& title) {
  printer.setFullPage(true);  // the painter's origin is the sheet's corner, as the layout counts
  printer.setPageLayout(renderer.pageLayout());
  printer.setDocName(title);
  printer.setCreator(vb::appTitle());
}

constexpr double kPreviewPictureDpi = 150.0;
constexpr double kPrintPictureDpi = 300.0;

}  // namespace

// Paint handler: nothing may escape into the event loop.
void paintOn(QPrinter& printer, CardRenderer& renderer) {
  QPainter p;
  if (!p.begin(&printer)) return;
  renderer.setPictureDpi(isPreviewPainter(p) ? kPreviewPictureDpi : kPrintPictureDpi);
  try {
    renderer.render(p, [&printer] { return printer.newPage(); });
  } catch (...) {
  }
  p.end();
}

bool isPreviewPainter(QPainter& p) {
  // The preview records each page as a picture; a printer or PDF engine is of another type.
  return p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Picture;
}

void showPreview(std::shared_ptr<CardRenderer> renderer, const QString& title, bool modal, bool zoomToFit) {
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  setUp(*printer, *renderer, title);
  auto* dlg = new QPrintPreviewDialog(printer.get(), QApplication::activeWindow());
  dlg->setWindowTitle(title);
  dlg->resize(1000, 760);  // room for a whole card, or most of an A4 sheet
  // The slot keeps the printer and the cards alive as long as the window.
  QObject::connect(dlg, &QPrintPreviewDialog::paintRequested, dlg,
                   [printer, renderer](QPrinter* target) { paintOn(*target, *renderer); });
  if (zoomToFit) {
    QAction* fitPage = nullptr;
    for (QAction* a : dlg->findChildren<QAction*>())
      if (a->text().remove(u'&') == QLatin1String("Fit page")) fitPage = a;
    if (fitPage)
      fitPage->trigger();  // keeps the toolbar's zoom buttons in step
    else if (auto* view = dlg->findChild<QPrintPreviewWidget*>())
      view->fitInView();
  }
  if (modal) {
    forms::showModal(dlg, QApplication::activeWindow());
    delete dlg;
  } else {
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
  }
}

void printDirect(const std::shared_ptr<CardRenderer>& renderer, const QString& title) {
  if (QPrinterInfo::defaultPrinter().isNull())
    throw vb::VbError(kErrOutput, kSource, QStringLiteral("No printer is installed."));
  QPrinter printer(QPrinter::HighResolution);
  setUp(printer, *renderer, title);
  QPainter p;
  if (!p.begin(&printer))
    throw vb::VbError(kErrOutput, kSource,
                      QStringLiteral("The printer '%1' cannot be used.").arg(printer.printerName()));
  const bool ok = renderer->render(p, [&printer] { return printer.newPage(); });
  p.end();
  if (!ok)
    throw vb::VbError(kErrOutput, kSource, QStringLiteral("Printing on '%1' failed.").arg(printer.printerName()));
}

}  // namespace report
