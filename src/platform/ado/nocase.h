#pragma once
// Text comparison regardless of case for the whole of Unicode, for the connection's NOCASE
// collation and its LIKE. Both fold each code point with Unicode's simple case folding, so
// "ZOË" equals "zoë" and "_" stands for one code point, never one byte.
#include <optional>
#include <string_view>

namespace ado::nocase {

// <0, 0 or >0: the UTF-8 texts compared code point by code point after folding.
int compare(std::string_view a, std::string_view b);

// SQL LIKE on UTF-8 texts: "%" any run, "_" any one code point, `escape` (when given) makes
// the code point after it literal. Time is bounded by text length x pattern length.
// A pattern that ends in the escape matches nothing.
bool like(std::string_view pattern, std::string_view text, std::optional<char32_t> escape = std::nullopt);

// The code point of a text that holds exactly one, else nothing (the ESCAPE rule).
std::optional<char32_t> singleCodePoint(std::string_view text);

}  // namespace ado::nocase
