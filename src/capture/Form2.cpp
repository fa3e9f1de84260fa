#include "Form2.h"

#include <QCloseEvent>

#include "filtergraph.h"
#include "named.h"
#include "twips.h"

Form2::Form2() {
  setObjectName(QStringLiteral("Form2"));
  setCaption(QStringLiteral("Daftar Cameras"));
  resize(twips::toPx(4680), twips::toPx(3600));
  lstFilters = ui::named(new QListWidget(this), "lstFilters");
  cmdOk = ui::named(new QPushButton(QStringLiteral("Ok"), this), "cmdOk");
  cmdCancel = ui::named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  twips::setGeometry(lstFilters, 0, 0, 4680, 2760);
  twips::setGeometry(cmdOk, 1920, 2880, 1215, 495);
  twips::setGeometry(cmdCancel, 3240, 2880, 1215, 495);
  cmdOk->setEnabled(false);
  cmdOk->setDefault(true);
  connect(lstFilters, &QListWidget::itemSelectionChanged, this, &Form2::lstFilters_Click);
  connect(lstFilters, &QListWidget::itemDoubleClicked, this, [this] { cmdOk->click(); });
  connect(cmdOk, &QPushButton::clicked, this, &Form2::cmdOk_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &Form2::cmdCancel_Click);
}

void Form2::Form_Activate() {
  lstFilters->clear();
  camgraph::FilterGraph graph;
  for (const camgraph::RegFilterInfo& f : graph.RegFilterCollection()) lstFilters->addItem(f.Name);
  // The refilled list has nothing selected, so there is nothing to confirm yet.
  lstFilters_Click();
}

void Form2::lstFilters_Click() { cmdOk->setEnabled(lstFilters->currentRow() >= 0 && !lstFilters->selectedItems().isEmpty()); }

void Form2::cmdOk_Click() {
  if (lstFilters->selectedItems().isEmpty()) return;
  Oked = true;
  CameraName = lstFilters->currentItem()->text();
  lstFilters->setFocus();
  hide();
}

void Form2::cmdCancel_Click() {
  Oked = false;
  lstFilters->setFocus();
  hide();
}

void Form2::closeEvent(QCloseEvent* e) {
  e->ignore();
  Oked = false;
  hide();
}

void Form2::resizeEvent(QResizeEvent* e) {
  forms::Form::resizeEvent(e);
  if (!isMinimized()) lstFilters->resize(width(), lstFilters->height());
}
