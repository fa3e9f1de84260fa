#pragma once
// "Entry Data": one member is typed, checked, saved or deleted here, with a photo.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "cardreport.h"
#include "cetakKartu.h"
#include "dialogs.h"
#include "forms.h"
#include "photobox.h"

class frmAggota : public forms::Form {
  Q_OBJECT
 public:
  frmAggota();

  QLineEdit* Textid;
  QLineEdit* TextNis;
  QLineEdit* TextNISN;
  QLineEdit* TextNama;
  QLineEdit* TextTTL;
  QLineEdit* Textagama;
  QLineEdit* Textkelamin;
  QLineEdit* TextAlamat;  // holds the barcode
  QComboBox* CmbKelas;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLabel* Label12;
  QLabel* Label7;
  QLabel* Label8;
  QLabel* Label9;
  QLabel* Label11;
  photobox::PhotoBox* Image1;
  QPushButton* Cmdtambah;
  QPushButton* cmdSimpan;
  QPushButton* CMDHapus;
  QPushButton* Cmdcetak;
  QPushButton* Cmdtutup;
  QPushButton* cmdfoto;
  QPushButton* Command1;  // Webcame
  QPushButton* Command2;  // class master
  ui::CommonDialog CommonDialog1;
  report::CardReportX CardReport;
  QMenu* m_Cetak;
  QAction* m_ukuranA4;
  QMenu* m_ukuranIDCard;
  QAction* m_Front;
  QAction* m_back;

  void Form_Load() override;
  void Form_Activate() override;
  void bersih();
  void isiKelas();

  void Cmdtambah_Click();
  void cmdSimpan_Click();
  void CMDHapus_Click();
  void Cmdtutup_Click();
  void Cmdcetak_Click();
  void cmdfoto_Click();
  void Command1_Click();
  void Command2_Click();
  void m_ukuranA4_Click();
  void m_Front_Click();
  void m_back_Click();

  // Key of the member being changed: the leading digits of Textid, 0 for a new member.
  long long kunci() const;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void cetak(cetakKartu::Menu menu);
  QList<QWidget*> chain_;  // the Enter-key order of the fields
  QGroupBox* frameDetail_;
  QGroupBox* frameProses_;
};
