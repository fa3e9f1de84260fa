#pragma once
// Presenting the cards: the print preview window, or straight to the printer.
#include <QString>
#include <memory>

class QPrinter;

namespace report {

class CardRenderer;

// Shows the cards in a print preview window titled `title`, from which the user prints
// them (the print dialog also offers printing to a PDF file). Modal: returns when the
// window is closed; otherwise returns at once and the window deletes itself on close.
void showPreview(std::shared_ptr<CardRenderer> renderer, const QString& title, bool modal, bool zoomToFit);

// The one paint routine of a printer, the preview's pages included: puts the job's page
// on the printer and draws the cards; a printer writing a PDF file gets the file from the
// PDF writer, pages of the exact card size. False when the printer could not be used.
bool printCards(QPrinter& printer, CardRenderer& renderer);

// Prints the cards on the default printer. Throws vb::VbError when there is none or
// printing fails.
void printDirect(CardRenderer& renderer, const QString& title);

}  // namespace report
