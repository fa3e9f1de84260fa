#pragma once
#include <QString>

namespace Module3 {
// Deletes every file directly inside `folder` (read-only ones too; sub-folders stay).
// True when the folder then holds no file; false when it is missing or files remain.
bool HapusIsiFolder(const QString& folder);
}  // namespace Module3
