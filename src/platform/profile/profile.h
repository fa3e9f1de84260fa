#pragma once
// Private profile (INI) files with the semantics of the system's profile functions:
// sections and keys compared regardless of case, a missing file/section/key gives the
// default, values come back cut to the buffer size less one.
#include <QString>

namespace profile {

// Copies the value (or `def`) into a buffer of `size` characters as the system call
// does: at most size-1 characters; returns them.
QString getPrivateProfileString(const QString& section, const QString& key, const QString& def, int size,
                                const QString& file);
// Writes `value` under section/key, creating the file and section as needed. A null
// `value` removes the key (as a null pointer does); an empty one keeps it, empty.
// Returns false when the file cannot be written. The file is replaced atomically.
bool writePrivateProfileString(const QString& section, const QString& key, const QString& value, const QString& file);

}  // namespace profile
