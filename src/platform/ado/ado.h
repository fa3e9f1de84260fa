#pragma once
// A small ADO stand-in over SQLCipher. Statements are taken in the Jet dialect the
// windows write (see jet.h); recordsets hold their rows in memory like a client cursor.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

struct sqlite3;

namespace ado {

// Cursor and lock constants as the windows set them.
enum CursorLocation { adUseServer = 2, adUseClient = 3 };
enum CursorType {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockType { adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };

// Doubles every single quote so a text value stays one value between quotes.
QString q(const QString& value);

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  QString Provider;          // kept for the report component; not interpreted
  QString ConnectionString;  // "Data Source=<file>"
  // Provider properties; "Jet OLEDB:Database Password" is the key of the database.
  void setProperty(const QString& name, const QString& value);
  QString property(const QString& name) const;

  // Opens the file named by ConnectionString with the password property. Never creates
  // a file; a missing file, a wrong key or a file that is not a database throws VbError.
  void Open();
  void Close();
  bool isOpen() const;
  // Runs one statement (Jet dialect) that returns no rows; returns the rows affected.
  int Execute(const QString& sql);
  // One transaction at a time: BeginTrans starts it (returns its level, 1), CommitTrans
  // stores its changes, RollbackTrans drops them. Closing the connection drops an open one.
  long BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // Path of the open database file.
  QString dataSource() const;
  sqlite3* handle() const;

 private:
  void endTransaction(const char* statement);
  struct Impl;
  std::unique_ptr<Impl> d;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  int CursorLocation = adUseServer;
  int CursorType = adOpenForwardOnly;
  int LockType = adLockReadOnly;

  // Runs the statement and holds every row. A single-table select opened with an
  // optimistic lock can then be changed with AddNew/Update/Delete.
  void Open(const QString& sql, Connection& conn, int cursorType = adOpenUnspecified, int lockType = adLockUnspecified);
  void Close();
  bool isOpen() const;

  bool EOF_() const;  // EOF is a macro in <cstdio>
  bool BOF() const;
  void MoveNext();
  void MoveFirst();
  long RecordCount() const;

  int fieldCount() const;
  QString fieldName(int pos) const;
  // Field of the current row by name (regardless of case) or by position; Null is a
  // null QVariant, Yes/No columns read as bool. Throws VbError 3265 for an unknown name
  // and 3021 when there is no current row.
  QVariant field(const QString& name) const;
  QVariant field(int pos) const;
  QVariant operator()(const QString& name) const { return field(name); }
  // The current row's value at `pos` without a copy; valid until the recordset moves,
  // changes or closes. Throws as field(pos) does.
  const QVariant& fieldRef(int pos) const;

  // Editable recordsets: AddNew starts a new row; setField changes the current (or new)
  // row; Update stores it, after which the row holds the values the database gave it
  // (the AutoNumber key included). Delete removes the current row.
  void AddNew();
  void setField(const QString& name, const QVariant& value);
  void Update();
  void Delete();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace ado
