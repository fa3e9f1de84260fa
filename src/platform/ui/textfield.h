#pragma once
// Text fields take no control characters: a NUL, a tab or a line break typed, pasted or set
// never reaches a value or a statement. The other characters of a paste are kept.
class QLineEdit;
class QPlainTextEdit;

namespace ui {

void refuseControlCharacters(QLineEdit* field);
// A multi-line box keeps its line breaks and drops every other control character.
void refuseControlCharacters(QPlainTextEdit* field);

}  // namespace ui
