#pragma once
// A designer save that is one step, even when the program is killed half way. The new
// pictures and the card face are written into a pending folder inside images/; a mark in
// that folder says they are complete; the transaction that stores the side's rows also
// stores the folder's token. Only then are the files moved into place. At the next start,
// a pending folder whose token the database holds is finished, any other is discarded, so
// the rows and the card face always match: both old or both new.
#include <QString>

#include "ado.h"

namespace simpanTertunda {

class Tertunda {
 public:
  // Makes the pending folder of a save of `side`; throws VbError when it cannot.
  explicit Tertunda(const QString& side);
  // Discards the folder unless the save was finished.
  ~Tertunda();
  Tertunda(const Tertunda&) = delete;
  Tertunda& operator=(const Tertunda&) = delete;

  // Where the new content of `target` (a file of images/) is written.
  QString berkas(const QString& target) const;
  // Every file is written: marks the folder complete, on disk, before the commit.
  void siap();
  // Inside the transaction of the rows: records that this save's files belong to them.
  void catat(ado::Connection& conn) const;
  // After the commit: moves the files into place. False (with `why`) when a move failed;
  // the folder then stays and the next start finishes it.
  bool selesaikan(QString* why);

 private:
  QString side_;
  QString token_;
  QString folder_;
  bool selesai_ = false;
};

// The start-up half: finishes every pending save whose token `conn` holds and discards
// the rest. A folder of a save still running in another program is left alone, as is
// every folder when the database cannot tell. A save whose files cannot all be moved into
// place is told to the user in a box and its folder kept for the next start.
void pulihkan(ado::Connection& conn);

}  // namespace simpanTertunda
