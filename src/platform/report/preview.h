#pragma once
// Presenting the cards: the print preview window, or straight to the printer.
#include <QString>
#include <memory>

namespace report {

class CardRenderer;
}  // namespace report
class QPainter;
class QPrinter;
namespace report {

// Shows the cards in a print preview window titled `title`, from which the user prints
// them (the print dialog also offers printing to a PDF file). Modal: returns when the
// window is closed; otherwise returns at once and the window deletes itself on close.
void showPreview(std::shared_ptr<CardRenderer> renderer, const QString& title, bool modal, bool zoomToFit);

// Draws the cards onto a printer, or into the preview's pages at a lower picture
// resolution; the paint handler of the preview window.
void paintOn(QPrinter& printer, CardRenderer& renderer);

// True when `p` paints into a print preview's pages rather than onto paper or a file.
bool isPreviewPainter(QPainter& p);

// Prints the cards on the default printer. Throws vb::VbError when there is none.
void printDirect(const std::shared_ptr<CardRenderer>& renderer, const QString& title);

}  // namespace report
