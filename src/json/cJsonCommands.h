#pragma once
// Evaluates a command script written in JSON: an array of steps, each plain text, an array
// of steps, or an object whose members are commands (alert, input, switch, set, get, if,
// return); other commands come out as "<%NAME(arguments)%>" placeholders. Message and
// input boxes go through the ui seams.
#include <QHash>
#include <QString>

#include "json_value.h"

class cJsonCommands {
 public:
  // The output of the whole script; "" after showing the parser's message when the text
  // is not a script.
  QString Eval(const QString& sJSON);
  // Renders one value: commands run, scalars become text.
  QString ExecCommand(const json::Value& Obj);

 private:
  QString runCommand(const QString& key, const json::Value& value);

  QHash<QString, QString> variables_;  // live across Eval calls
  int nesting_ = 0;                    // ExecCommand evaluations active now
};
