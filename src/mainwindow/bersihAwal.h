#pragma once
// What a killed run left behind, cleared at the next start before the main window opens
// the connection: temporary files of the one file-replacing helper, pending designer saves
// (finished or discarded, see simpanTertunda.h) and the database copies of a restore. A
// copy that may be the only good register is never deleted: it is kept and the user told.
// A restore that stopped after it replaced the register is finished as far as the files
// allow, and the user told what is left to do.
#include <QString>

namespace bersihAwal {

void jalankan();

// A restore writes this marker, holding the path of the file it restores, before it
// replaces the register, and removes it when the photos are in place too.
QString tandaRestore();
// The register a restore is replacing, under a second name until the new one is in place;
// it then becomes the kept register (Module1::keptDatabaseFile), which until then stays
// the one an earlier restore replaced.
QString registerDiganti();

}  // namespace bersihAwal
