#pragma once
// A lenient JSON reader: beyond standard JSON it takes single-quoted strings, unquoted keys,
// missing commas between members, "(" and ")" as blanks, and // and /* */ comments.
// It never throws: problems are collected in an error text read with GetParserErrors().
#include <QString>
#include <optional>

#include "json_value.h"

namespace JSON {

// Deeper nesting is refused, so no input can exhaust the stack.
constexpr int kMaxDepth = 512;

// The top-level object or array, or nothing when the text starts with neither (after blanks
// and comments) or could not be read at all. Text after the top-level value is ignored.
// A partial tree may come back together with a non-empty error text.
std::optional<json::Value> parse(const QString& text);
// The problems of the last parse, "" when there were none.
QString GetParserErrors();

}  // namespace JSON
