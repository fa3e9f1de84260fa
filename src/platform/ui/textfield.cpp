#include "textfield.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>
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

void refuseControlCharacters(QPlainTextEdit* field) {
  // Line breaks live between the document's blocks, so a search within the blocks finds
  // only the other control characters; they go in one step the user can undo.
  QObject::connect(field, &QPlainTextEdit::textChanged, field, [field] {
    static const QRegularExpression control(QStringLiteral("\\p{Cc}+"));
    QTextDocument* doc = field->document();
    QTextCursor hit = doc->find(control);
    if (hit.isNull()) return;
    QTextCursor edit(doc);
    edit.beginEditBlock();
    for (; !hit.isNull(); hit = doc->find(control, hit)) hit.removeSelectedText();
    edit.endEditBlock();
  });
}

}  // namespace ui
