#include "textfield.h"

#include <QLineEdit>
#include <QValidator>

namespace ui {
namespace {

class NoControlCharacters : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    for (qsizetype i = input.size(); i-- > 0;)
      if (input.at(i).category() == QChar::Other_Control) {
        input.remove(i, 1);
        if (i < pos) --pos;
      }
    return Acceptable;
  }
};

}  // namespace

void refuseControlCharacters(QLineEdit* field) { field->setValidator(new NoControlCharacters(field)); }

}  // namespace ui
