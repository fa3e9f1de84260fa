#pragma once
// The main window: member list, class filter, search, photo panel and the commands
// that open every other window. Closing it ends the program.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QStringList>

#include "ado.h"
#include "cardreport.h"
#include "cetakKartu.h"
#include "dialogs.h"
#include "forms.h"
#include "listview.h"
#include "photobox.h"

class Frmcari : public forms::Form {
  Q_OBJECT
 public:
  Frmcari();
  ~Frmcari() override;

  // --- toolbar
  QToolButton* PushButton1;  // Import Excel
  QToolButton* PushButton5;  // Import Foto
  QToolButton* PushButton6;  // Input data
  QToolButton* PushButton7;  // Set kartu
  QToolButton* PushButton2;  // Backup
  QToolButton* PushButton3;  // Restore
  QToolButton* PushButton8;  // delete all
  QToolButton* PushButton4;  // About
  QLabel* Image1;            // banner

  // --- filter and search
  QGroupBox* Frame1;
  QComboBox* CmbKelas;
  QLineEdit* Text1;
  QPushButton* Command1;   // Cari
  QPushButton* cmdbersih;  // Refresh
  QLabel* Label2;          // search hint
  QLabel* Label4;          // "Total Record"
  QLabel* Label1;          // row count

  // --- list and photo panel
  QFrame* GroupBox1;
  QCheckBox* Check1;
  ui::ListView* Lv1;
  ui::ListView* Lv2;
  QGroupBox* Frame3;
  QLabel* Label5;
  QLineEdit* Text2;
  QLabel* Label11;
  photobox::PhotoBox* Image2;
  QPushButton* cmdfoto;
  QPushButton* Command2;  // Webcame
  QPushButton* Command3;  // Simpan Foto

  // --- commands
  QGroupBox* Frame2;
  QPushButton* Command4;      // Tambah data
  QPushButton* PushButton11;  // Ubah
  QPushButton* Command5;      // Hapus
  QPushButton* Command6;      // Cetak Kartu
  QPushButton* Export;
  QPushButton* Cmdtutup;

  QStatusBar* StatusBar2;
  ui::CommonDialog CommonDialog1;
  report::CardReportX CardReport;

  QMenu* m_Cetak;
  QAction* m_ukuranA4;
  QMenu* m_ukuranIDCard;
  QAction* m_Front;
  QAction* m_back;

  // --- start-up and shutdown
  void Form_Load() override;
  bool Form_QueryUnload() override;
  void Form_Resize();
  void Cmdtutup_Click();

  // --- list
  void tampilData();
  void CmbKelas_Click();
  void cmdbersih_Click();
  void Check1_Click();
  void bersih();
  void Lv1_Click();
  void Lv1_DblClick();
  // Fills the class filter with "Semua Kelas" and the classes of t_kelas and shows
  // "Semua Kelas" without filtering again: the list shows everyone when it is called.
  void isiKelas();
  void setHeader();
  // The seven field captions of the tlabel row '2', every one read before any list is
  // touched (Null reads as ""). Throws VbError 3021 when the row is missing and the
  // database's error when the table cannot be read.
  static QStringList bacaCaption();
  // Widths in twips of the columns "No", the six captions, "Barcode", "Kelas", then the
  // id column's caption and width (-1: the list's default).
  struct LebarKolom {
    int lebar[9];
    const char* idCaption;
    int idLebar;
  };
  // Builds the ten member-list columns from captions read by bacaCaption; the start-up
  // and the field-caption window's save both use it.
  static void pasangHeader(ui::ListView& lv, const QStringList& captions, const LebarKolom& k);
  // Paints two-colour row stripes as the list's background picture; no window calls it.
  void warnaBaris(ui::ListView& L);

  // --- search
  void Command1_Click();
  void Text1_Change();
  void Text1_KeyPress(int KeyAscii);

  // --- column sort
  void Lv1_ColumnClick(int index);
  void resetIcon(int index);
  QIcon ImgSorted(const QString& key) const;

  // --- commands
  void cmdfoto_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void PushButton11_Click();
  void Command5_Click();
  void Command6_Click();
  void PushButton1_Click();
  void PushButton5_Click();
  void PushButton6_Click();
  void PushButton7_Click();
  void PushButton2_Click();
  void PushButton3_Click();
  void PushButton8_Click();
  void PushButton4_Click();
  void Export_Click();
  // Open the user guide and the maker's web site; no window calls them.
  void bukaPanduan();
  void bukaWeb();

  // --- card printing of the ticked members
  void m_ukuranA4_Click();
  void m_Front_Click();
  void m_back_Click();

  // Writes the list's row count into Label1.
  void tulisJumlah();

  // Shows the Caps Lock and Num Lock state and the insert toggle in the status bar: a key's
  // word in normal text while it is on, greyed while it is off. Where the platform gives no
  // lock state the lock panels show their words as they are.
  void tampilKunci();
  // The insert/overwrite toggle that the Insert key flips in any of the program's windows.
  bool modeSisip() const { return sisip_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void buildLayout();
  void buildStatusBar();
  class PengamatKunci;
  QLabel* statusCaps_ = nullptr;
  QLabel* statusNum_ = nullptr;
  QLabel* statusIns_ = nullptr;
  bool sisip_ = false;
  void connectCommands();
  void cetak(cetakKartu::Menu menu);
  // Refills the list from `sql`. A statement that fails leaves the list empty and tells
  // the user what failed, with the database's own words.
  enum class Hasil { Ada, Kosong, Gagal };
  Hasil isiDari(const QString& sql);
  // Adds one list row per record of `rs`, numbered after the rows already there.
  void tambahBaris(ado::Recordset& rs);
};
