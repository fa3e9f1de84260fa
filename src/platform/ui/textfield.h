#pragma once
// Text fields take no control characters: a NUL, a tab or a line break typed, pasted or set
// never reaches a value or a statement. The other characters of a paste are kept.
class QLineEdit;

namespace ui {

void refuseControlCharacters(QLineEdit* field);

}  // namespace ui
