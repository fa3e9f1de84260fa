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

bool printCards(QPrinter& printer, CardRenderer& renderer) {
  // Qt's own PDF printer writes pages in whole points; a PDF file chosen in the print
  // dialog goes through the PDF writer that carries the exact card page. The preview
  // records its pages through the same printer, file name and all.
  const bool previewPages = printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Picture;
  if (!previewPages && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    try {
      writePdf(renderer, printer.outputFileName(), printer.docName());
      return true;
    } catch (const vb::VbError&) {
      return false;
    }
  }
  // Qt's print dialog puts the printer's default paper in place of the page set before
  // it opened, so the job's page goes on here, right before painting: the painter's
  // origin is the sheet's corner and the sheet is the template's.
  const QPageLayout layout = renderer.pageLayout();
  printer.setFullPage(true);
  if (!printer.setPageLayout(layout)) {
    // A printer that keeps margins of its own still takes the size; in full-page mode
    // its margins do not move the cards.
    printer.setPageSize(layout.pageSize());
    printer.setPageOrientation(layout.orientation());
  }
  QPainter p;
  if (!p.begin(&printer)) return false;
  // The preview records each page as a picture; paper and files have engines of their own.
  renderer.setForPreview(p.paintEngine()->type() == QPaintEngine::Picture);
  const bool ok = renderer.render(p, [&printer] { return printer.newPage(); });
  return p.end() && ok;
}

void showPreview(std::shared_ptr<CardRenderer> renderer, const QString& title, bool modal, bool zoomToFit) {
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(title);
  printer->setCreator(vb::appTitle());
  printer->setFullPage(true);
  printer->setPageLayout(renderer->pageLayout());
  auto* dlg = new QPrintPreviewDialog(printer.get(), QApplication::activeWindow());
  dlg->setWindowTitle(title);
  dlg->resize(1000, 760);  // room for a whole card, or most of an A4 sheet
  // The slot keeps the printer and the cards alive as long as the window. It paints the
  // preview's pages and, after the print dialog, the printer or file the user chose.
  QObject::connect(dlg, &QPrintPreviewDialog::paintRequested, dlg, [printer, renderer](QPrinter* target) {
    try {
      printCards(*target, *renderer);
    } catch (...) {
      // Nothing may escape into the event loop.
    }
  });
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

void printDirect(CardRenderer& renderer, const QString& title) {
  if (QPrinterInfo::defaultPrinter().isNull())
    throw vb::VbError(kErrOutput, kSource, QStringLiteral("No printer is installed."));
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(title);
  printer.setCreator(vb::appTitle());
  if (!printCards(printer, renderer))
    throw vb::VbError(kErrOutput, kSource, QStringLiteral("Printing on '%1' failed.").arg(printer.printerName()));
}

}  // namespace report
