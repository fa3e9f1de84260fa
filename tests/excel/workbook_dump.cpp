// workbook-dump FILE: every sheet and every non-empty cell the reading layer gives, as JSON.
// A refused workbook prints its reason; the exit code is 0 whenever JSON was printed.
#include <cstdio>
#include <string>

#include "workbook.h"

namespace {

void quote(std::string& out, const std::string& s) {
  out += '"';
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  out += '"';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: workbook-dump FILE\n", stderr);
    return 2;
  }
  excel::Workbook book;
  const std::string why = excel::readWorkbook(argv[1], &book);
  std::string out;
  if (!why.empty()) {
    out = "{\"status\":\"error\",\"error\":";
    quote(out, why);
  } else {
    out = "{\"status\":\"ok\",\"sheets\":[";
    for (size_t i = 0; i < book.sheets.size(); ++i) {
      const excel::Sheet& sheet = book.sheets[i];
      out += i ? ",{\"name\":" : "{\"name\":";
      quote(out, sheet.name);
      out += ",\"cells\":{";
      for (size_t k = 0; k < sheet.cells.size(); ++k) {
        const excel::Cell& c = sheet.cells[k];
        if (k) out += ',';
        quote(out, excel::cellName(c.row, c.col));
        out += ":{\"t\":\"";
        out += static_cast<char>(c.type);
        out += "\",\"v\":";
        switch (c.type) {
          case excel::Cell::Type::Number:
            out += excel::numberJson(c.number);
            break;
          case excel::Cell::Type::Boolean:
            out += c.number != 0 ? "true" : "false";
            break;
          default:
            quote(out, c.text);
        }
        out += '}';
      }
      out += "}}";
    }
    out += ']';
  }
  out += "}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
