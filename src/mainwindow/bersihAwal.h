#pragma once
// What a killed run left behind, cleared at the next start before the main window opens
// the connection: temporary files of the one file-replacing helper, pending designer saves
// (finished or discarded, see simpanTertunda.h) and the database copies of a restore. A
// copy that may be the only good register is never deleted: it is kept and the user told.
namespace bersihAwal {

void jalankan();

}  // namespace bersihAwal
