#pragma once
// The one shared database connection and the shared design side.
#include <QComboBox>
#include <QString>
#include <memory>

#include "ado.h"

namespace Module1 {

// Open from the main window's load until the program ends; every window uses it.
extern std::unique_ptr<ado::Connection> Conn;
// "Front" or "Back": set by the card settings window before it opens the designer.
extern QString Desain;

// The database file under the program folder and its password.
QString databaseFile();
// Beside it, a restore stages the database it brings in, and keeps the one it replaced.
QString stagedDatabaseFile();
QString keptDatabaseFile();
inline constexpr const char* kDatabasePassword = "718403";

// Opens Conn. On any failure it tells the user and ends the program; returns false then.
bool bukaKoneksi();
// True while Conn is open. Handlers that touch the database do nothing otherwise: an event
// can still arrive after the main window's close path closed and released it.
bool koneksiTerbuka();
// Conn for a statement; a closed or released connection raises the error ADO gives, so a
// handler skips or reports that step like any other failing one.
ado::Connection& koneksi();
// Adds the column `field` of every row of `sql` to `box`, in query order (nothing when
// the connection is closed).
void isiDaftar(QComboBox* box, const QString& sql, const QString& field);

// Closes and releases Conn (the main window's close path).
void tutupKoneksi();

}  // namespace Module1
