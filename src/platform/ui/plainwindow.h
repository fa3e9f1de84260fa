#pragma once
// A modal task window with a heading and a "Tutup" button.
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms.h"

namespace ui {

template <class Self>
class PlainWindow : public forms::Form {
 public:
  PlainWindow(const char* objectName, const QString& caption, const QString& heading) {
    setObjectName(QString::fromLatin1(objectName));
    setCaption(caption);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(heading, this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    title->setFont(f);
    layout->addWidget(title);
    body = new QVBoxLayout;
    layout->addLayout(body, 1);
    Cmdtutup = new QPushButton(QStringLiteral("Tutup"), this);
    Cmdtutup->setObjectName(QStringLiteral("Cmdtutup"));
    layout->addWidget(Cmdtutup, 0, Qt::AlignRight);
    QObject::connect(Cmdtutup, &QPushButton::clicked, this, [] { forms::unload<Self>(); });
    resize(480, 240);
  }
  QPushButton* Cmdtutup;
  QVBoxLayout* body;
};

}  // namespace ui
