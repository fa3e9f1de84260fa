#pragma once
// The backup window: copies the database, the photos and the design pictures into a dated
// folder inside the folder the user picks.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "forms.h"

class Frmbackup : public forms::Form {
  Q_OBJECT
 public:
  Frmbackup();
  ~Frmbackup() override;
  void Form_Load() override;
  void Form_Unload() override;

  QLabel* Label14;
  QLabel* Label1;
  QLineEdit* txtDestination;
  QPushButton* cmdbrowse;
  QPushButton* Command1;
  QProgressBar* progStat;
  QLabel* lblCount;
  QLabel* lblInform;
  QTimer* Timer1;

  // The database file; set at each load.
  QString sumber;
  // The percentage shown and the steps taken; kept for the whole run of the program.
  static qint16 persen;
  static qint16 hitung;

  void cmdbrowse_Click();
  void Command1_Click();
  void Timer1_Timer();
  void tampilProgres();
  // Copies the card pictures into the backup folder of the chosen destination, as a backup
  // does; returns what could not be copied. kopi1 does the same.
  QStringList kopi();
  QStringList kopi1();

 private slots:
  void tutupForm();

 private:
  // The one copy of a backup, on its own thread while the timer moves the bar.
  struct Copy {
    std::atomic<bool> done{false};
    std::atomic<bool> cancel{false};
    QStringList failed;
    std::thread thread;
  };
  std::unique_ptr<Copy> copy_;
  void stopCopy();
};
