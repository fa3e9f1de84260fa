// The .xlsx reader: a zip of XML parts (libzip), each inflated and parsed as a stream, so no
// part is ever held whole. Every part's uncompressed size is checked before it is read, every
// index taken from a part (shared strings, styles, cell positions) before it is used, and what
// the cells and texts keep is counted against a budget as it grows.
#include <zip.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "workbook_parts.h"
#include "xmlstream.h"

namespace excel::detail {

namespace {

constexpr std::uint32_t kMaxRow = 1048576;
constexpr std::uint32_t kMaxCol = 16384;

struct Refusal {
  std::string why;
};
[[noreturn]] void refuse(const char* why) { throw Refusal{why}; }

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool parseUint(const char* s, std::uint32_t max, std::uint32_t* v) {
  if (!s) return false;
  const char* end = s + std::strlen(s);
  std::uint64_t x = 0;
  auto [p, ec] = std::from_chars(s, end, x);
  if (ec != std::errc() || p != end || x > max) return false;
  *v = static_cast<std::uint32_t>(x);
  return true;
}

bool parseDouble(const char* s, double* v) {
  if (!s) return false;
  while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r') ++s;
  if (*s == '+') ++s;
  const char* end = s + std::strlen(s);
  while (end > s && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r')) --end;
  auto [p, ec] = std::from_chars(s, end, *v);
  if (p != end || p == s) return false;
  if (ec == std::errc::result_out_of_range) {
    // Writers that keep 16 digits round the largest number up past it ("1.797693134862316e+308")
    // and the tiniest down below the smallest: take the nearest number there is.
    const long double x = std::strtold(std::string(s, end).c_str(), nullptr);
    const long double mag = std::fabs(x);
    if (mag > 1.797693134862316e308L) return false;
    *v = std::copysign(mag < 1 ? 0.0 : DBL_MAX, static_cast<double>(x < 0 ? -1 : 1));
    return true;
  }
  return ec == std::errc() && std::isfinite(*v);
}

// "AB12" -> row 12, column 28.
bool parseRef(const char* s, std::uint32_t* row, std::uint32_t* col) {
  std::uint32_t c = 0;
  int letters = 0;
  for (; *s >= 'A' && *s <= 'Z'; ++s) {
    if (++letters > 3) return false;
    c = c * 26 + static_cast<std::uint32_t>(*s - 'A' + 1);
  }
  if (letters == 0 || c > kMaxCol || !parseUint(s, kMaxRow, row) || *row == 0) return false;
  *col = c;
  return true;
}

}  // namespace

void appendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

namespace {

// Spreadsheet texts write characters XML cannot carry as "_xHHHH_" (UTF-16 units; "_x005F_"
// is an underscore that would otherwise start such an escape).
int escapedUnit(const std::string& s, size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return -1;
  unsigned v = 0;
  auto [p, ec] = std::from_chars(s.data() + i + 2, s.data() + i + 6, v, 16);
  return ec == std::errc() && p == s.data() + i + 6 ? static_cast<int>(v) : -1;
}
void unescapeText(std::string& s) {
  if (s.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const int u = escapedUnit(s, i);
    if (u < 0) {
      out += s[i++];
      continue;
    }
    i += 7;
    if (u >= 0xD800 && u <= 0xDBFF) {
      const int low = escapedUnit(s, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
        i += 7;
        continue;
      }
      appendUtf8(out, 0xFFFD);
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, static_cast<char32_t>(u));
    }
  }
  s.swap(out);
}

}  // namespace

bool isBuiltinDate(std::uint32_t id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58) ||
         (id >= 71 && id <= 81);
}

bool isDateFormat(const char* code) {
  for (const char* p = code; *p; ++p) {
    switch (*p) {
      case '"':
        while (p[1] && p[1] != '"') ++p;
        if (p[1]) ++p;
        break;
      case '\\':
      case '_':
      case '*':
        if (p[1]) ++p;
        break;
      case '[': {
        const char* close = std::strchr(p, ']');
        if (!close) return false;
        // [h], [mm], [ss]: elapsed time; [Magenta], [$-409]: a colour, a locale
        const char first = static_cast<char>(p[1] | 0x20);
        bool elapsed = first == 'h' || first == 'm' || first == 's';
        for (const char* q = p + 1; q < close; ++q) elapsed = elapsed && (*q | 0x20) == first;
        if (elapsed) return true;
        p = close;
        break;
      }
      default:
        switch (*p | 0x20) {
          case 'd':
          case 'm':
          case 'y':
          case 'h':
          case 's':
            return true;
        }
    }
  }
  return false;
}

namespace {

struct Relationship {
  std::string type;
  std::string target;  // part name in the zip, without a leading "/"
};

// `target` taken relative to the folder of `base`, with "." and ".." resolved.
std::string resolvePart(const std::string& base, const char* target) {
  std::string path = target[0] == '/' ? std::string(target + 1) : base.substr(0, base.rfind('/') + 1) + target;
  std::vector<std::string> segs;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string seg = path.substr(start, slash - start);
    if (seg == "..") {
      if (!segs.empty()) segs.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segs.push_back(seg);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& s : segs) out += (out.empty() ? "" : "/") + s;
  return out;
}

class XlsxReader {
 public:
  XlsxReader(zip_t* zip, const Limits& limits) : zip_(zip), limits_(limits) {}

  void read(Workbook* out) {
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : relationships(""))
      if (endsWith(rel.type, "/officeDocument")) workbookPart = rel.target;
    const std::map<std::string, Relationship> rels = relationships(workbookPart);
    std::string sharedPart, stylesPart;
    for (const auto& [id, rel] : rels) {
      if (endsWith(rel.type, "/sharedStrings")) sharedPart = rel.target;
      if (endsWith(rel.type, "/styles")) stylesPart = rel.target;
    }
    if (sharedPart.empty()) sharedPart = resolvePart(workbookPart, "sharedStrings.xml");
    if (stylesPart.empty()) stylesPart = resolvePart(workbookPart, "styles.xml");

    struct SheetEntry {
      std::string name;
      Relationship rel;
    };
    std::vector<SheetEntry> entries;
    const bool found = readXml(workbookPart, [&](XmlStream& x) {
      if (!x.child(0) || !x.is("workbook")) refuse(kCorrupt);
      bool properties = false, sheets = false;  // the first of each counts
      while (x.child(1)) {
        if (x.is("workbookPr") && !properties) {
          properties = true;
          if (const char* d1904 = x.attr("date1904"))
            date1904_ = std::strcmp(d1904, "1") == 0 || std::strcmp(d1904, "true") == 0;
        } else if (x.is("sheets") && !sheets) {
          sheets = true;
          while (x.child(2)) {
            if (!x.is("sheet")) continue;
            const char* name = x.attr("name");
            const char* id = x.attr("id");
            const auto rel = id ? rels.find(id) : rels.end();
            if (!name || rel == rels.end()) refuse(kCorrupt);
            if (entries.size() >= limits_.maxSheets) refuse(kTooLarge);
            charge(sizeof(Sheet) + sizeof(SheetEntry) + 2 * std::strlen(name));
            entries.push_back({name, rel->second});
          }
        }
      }
    });
    if (!found) refuse(kNotWorkbook);
    if (entries.empty()) refuse(kCorrupt);

    readSharedStrings(sharedPart);
    readStyles(stylesPart);
    for (const SheetEntry& e : entries) {
      Sheet sheet;
      sheet.name = e.name;
      makeUtf8(sheet.name);
      const bool chart = endsWith(e.rel.type, "/chartsheet") || endsWith(e.rel.type, "/dialogsheet");
      sheet.isWorksheet = endsWith(e.rel.type, "/worksheet");
      if (!chart) readSheet(e.rel.target, &sheet);
      out->sheets.push_back(std::move(sheet));
    }
  }

 private:
  // Counts memory the workbook keeps against the budget.
  void charge(std::size_t bytes) {
    if (bytes > limits_.maxKeptBytes - kept_) refuse(kTooLarge);
    kept_ += bytes;
  }
  std::size_t budgetLeft() const { return limits_.maxKeptBytes - kept_; }

  // Streams the part `name` through `handle`, then reads the rest of it, checking that it
  // is whole; false when the workbook has no such part. A part read again is not counted
  // again against the total.
  template <class Handle>
  bool readXml(const std::string& name, Handle&& handle, bool counted = true) {
    zip_int64_t idx = zip_name_locate(zip_, name.c_str(), 0);
    if (idx < 0) idx = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
    if (idx < 0) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(idx), 0, &st) != 0) refuse(kCorrupt);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) refuse(kEncrypted);
    if (!(st.valid & ZIP_STAT_SIZE)) refuse(kCorrupt);
    if (counted) {
      if (st.size > limits_.maxPartBytes || st.size > limits_.maxTotalBytes - total_) refuse(kTooLarge);
      total_ += st.size;
    }
    struct Closer {
      void operator()(zip_file_t* f) const { zip_fclose(f); }
    };
    const std::unique_ptr<zip_file_t, Closer> file(zip_fopen_index(zip_, static_cast<zip_uint64_t>(idx), 0));
    if (!file) refuse(kCorrupt);
    zip_uint64_t got = 0;
    XmlStream x([&](char* buf, std::size_t size) -> std::size_t {
      const zip_int64_t n = zip_fread(file.get(), buf, size);
      if (n < 0 || (got += static_cast<zip_uint64_t>(n)) > st.size) refuse(kCorrupt);
      return static_cast<std::size_t>(n);
    });
    try {
      handle(x);
      x.finish();
    } catch (const XmlStream::Malformed&) {
      refuse(kCorrupt);
    } catch (const XmlStream::TooLong&) {
      refuse(kTooLarge);
    }
    if (got != st.size) refuse(kCorrupt);
    return true;
  }

  std::map<std::string, Relationship> relationships(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    std::map<std::string, Relationship> rels;
    readXml(folder + "_rels/" + file + ".rels", [&](XmlStream& x) {
      if (!x.child(0)) refuse(kCorrupt);
      while (x.child(1)) {
        const char* id = x.attr("Id");
        const char* target = x.attr("Target");
        const char* mode = x.attr("TargetMode");
        if (!x.is("Relationship") || !id || !target || (mode && std::strcmp(mode, "External") == 0)) continue;
        const char* type = x.attr("Type");
        Relationship rel{type ? type : "", resolvePart(part.empty() ? "/" : part, target)};
        charge(sizeof(rels) + 2 * sizeof(std::string) + std::strlen(id) + rel.type.size() + rel.target.size());
        rels[id] = std::move(rel);
      }
    });
    return rels;
  }

  // The text of a shared or inline string whose element was just read: its plain text or its
  // rich-text runs, without the phonetic guide.
  void richText(XmlStream& x, std::string& out) {
    const int depth = x.depth();
    while (x.child(depth)) {
      if (x.is("t")) {
        x.text(out, budgetLeft());
      } else if (x.is("r")) {
        while (x.child(depth + 1))
          if (x.is("t")) x.text(out, budgetLeft());
      }
    }
    unescapeText(out);
  }

  void readSharedStrings(const std::string& part) {
    std::string s;
    readXml(part, [&](XmlStream& x) {
      if (!x.child(0)) refuse(kCorrupt);
      while (x.child(1)) {
        if (!x.is("si")) continue;
        if (shared_.size() >= limits_.maxCells) refuse(kTooLarge);
        s.clear();
        richText(x, s);
        makeUtf8(s);
        charge(sizeof(Text) + Text::footprint(s.size()));
        shared_.emplace_back(s);
      }
    });
  }

  void readStyles(const std::string& part) {
    std::map<std::uint32_t, bool> custom;  // numFmtId -> shows a date
    std::vector<std::uint32_t> formats;    // of each cell style
    const std::size_t kept = kept_;
    readXml(part, [&](XmlStream& x) {
      if (!x.child(0)) refuse(kCorrupt);
      bool numFmts = false, cellXfs = false;  // the first of each counts
      while (x.child(1)) {
        if (x.is("numFmts") && !numFmts) {
          numFmts = true;
          while (x.child(2)) {
            std::uint32_t id;
            const char* code = x.attr("formatCode");
            if (x.is("numFmt") && code && parseUint(x.attr("numFmtId"), UINT32_MAX, &id)) {
              charge(64);
              custom[id] = isDateFormat(code);
            }
          }
        } else if (x.is("cellXfs") && !cellXfs) {
          cellXfs = true;
          while (x.child(2)) {
            if (!x.is("xf")) continue;
            std::uint32_t id = 0;
            parseUint(x.attr("numFmtId"), UINT32_MAX, &id);
            charge(sizeof id);
            formats.push_back(id);
          }
        }
      }
    });
    for (const std::uint32_t id : formats) {
      const auto c = custom.find(id);
      dateStyle_.push_back(c != custom.end() ? c->second : isBuiltinDate(id));
    }
    kept_ = kept + formats.size() / 8;  // what stays is a bit for each style
  }

  // A sheet is read twice: once to count its cells, so that they are kept in one block of
  // exactly their size, and once to keep them.
  void readSheet(const std::string& part, Sheet* sheet) {
    const std::size_t count = readCells(part, nullptr, 0);
    charge(count * sizeof(Cell));
    sheet->cells.reserve(count);
    readCells(part, &sheet->cells, count);
    cells_ += count;
    orderCells(sheet->cells);
  }

  // The cells of a sheet with a value, kept in `cells` when it is given; returns their count.
  std::size_t readCells(const std::string& part, std::vector<Cell>* cells, std::size_t expected) {
    std::size_t count = 0;
    std::string value, inline_;
    const bool found = readXml(
        part,
        [&](XmlStream& x) {
          if (!x.child(0)) refuse(kCorrupt);
          bool data = false;  // the first sheetData counts
          while (x.child(1)) {
            if (!x.is("sheetData") || data) continue;
            data = true;
            std::uint32_t row = 0;
            while (x.child(2)) {
              if (!x.is("row")) continue;
              const char* rowRef = x.attr("r");
              if (rowRef ? !parseUint(rowRef, kMaxRow, &row) || row == 0 : ++row > kMaxRow) refuse(kCorrupt);
              std::uint32_t col = 0;
              while (x.child(3)) {
                if (!x.is("c")) continue;
                Cell cell;
                if (const char* ref = x.attr("r")) {
                  if (!parseRef(ref, &cell.row, &cell.col)) refuse(kCorrupt);
                } else {
                  if (col >= kMaxCol) refuse(kCorrupt);
                  cell.row = row;
                  cell.col = col + 1;
                }
                col = cell.col;
                const Kind kind = kindOf(x.attr("t"));
                std::uint32_t style = 0;
                const bool styled = parseUint(x.attr("s"), UINT32_MAX, &style);
                bool v = false, is = false;  // the first of each counts
                value.clear();
                inline_.clear();
                while (x.child(4)) {
                  if (x.is("v") && !v) {
                    v = true;
                    x.text(value, budgetLeft());
                  } else if (x.is("is") && !is) {
                    is = true;
                    richText(x, inline_);
                  }
                }
                if (!readCell(kind, styled ? &style : nullptr, v, is, value, inline_, cells ? &cell : nullptr)) continue;
                if (cells_ + count >= limits_.maxCells) refuse(kTooLarge);
                ++count;
                if (cells) {
                  if (cells->size() == expected) refuse(kCorrupt);  // the part changed between the readings
                  cells->push_back(std::move(cell));
                }
              }
            }
          }
        },
        !cells);
    if (!found) refuse(kCorrupt);
    if (cells && count != expected) refuse(kCorrupt);
    return count;
  }

  enum class Kind { Number, Shared, InlineString, FormulaString, Boolean, Error, Date, Unknown };
  static Kind kindOf(const char* t) {
    if (!t || std::strcmp(t, "n") == 0) return Kind::Number;
    static constexpr struct {
      const char* name;
      Kind kind;
    } kKinds[] = {{"s", Kind::Shared}, {"inlineStr", Kind::InlineString}, {"str", Kind::FormulaString},
                  {"b", Kind::Boolean}, {"e", Kind::Error},           {"d", Kind::Date}};
    for (const auto& k : kKinds)
      if (std::strcmp(t, k.name) == 0) return k.kind;
    return Kind::Unknown;
  }

  // A new text of a cell, counted against the budget.
  Text keep(const std::string& s) {
    charge(Text::footprint(s.size()));
    return Text(s);
  }

  // Whether a cell holds a value (an empty text is none); fills `cell` when it is given.
  // `value` is the text of its first <v>, `inl` of its first <is>.
  bool readCell(Kind kind, const std::uint32_t* style, bool v, bool is, std::string& value, std::string& inl,
                Cell* cell) {
    if (kind == Kind::InlineString) {
      if (!is && !v) return false;
      std::string& text = is ? inl : value;
      if (text.empty()) return false;
      if (cell) {
        makeUtf8(text);
        cell->text = keep(text);
      }
      return true;
    }
    if (!v) return false;
    switch (kind) {
      case Kind::Number: {
        if (value.empty()) return false;
        double number;
        if (!parseDouble(value.c_str(), &number)) refuse(kCorrupt);
        if (!cell) return true;
        cell->type = Cell::Type::Number;
        cell->number = number;
        std::string iso;
        if (style && *style < dateStyle_.size() && dateStyle_[*style] && serialToIso(number, date1904_, &iso)) {
          cell->type = Cell::Type::Date;
          cell->text = keep(iso);
        }
        return true;
      }
      case Kind::Shared: {
        std::uint32_t index;
        if (!parseUint(value.c_str(), UINT32_MAX, &index) || index >= shared_.size()) refuse(kCorrupt);
        if (cell) cell->text = shared_[index];
        return !shared_[index].empty();
      }
      case Kind::FormulaString:
        if (value.empty()) return false;
        if (cell) {
          unescapeText(value);
          makeUtf8(value);
          cell->text = keep(value);
        }
        return true;
      case Kind::Boolean: {
        if (value != "1" && value != "true" && value != "0" && value != "false") refuse(kCorrupt);
        if (cell) {
          cell->type = Cell::Type::Boolean;
          cell->number = value == "1" || value == "true" ? 1 : 0;
        }
        return true;
      }
      case Kind::Error:
        if (cell) {
          cell->type = Cell::Type::Error;
          makeUtf8(value);
          cell->text = keep(value);
        }
        return true;
      case Kind::Date:
        if (value.empty()) return false;
        if (cell) {
          cell->type = Cell::Type::Date;
          cell->text = keep(isoDate(value));
        }
        return true;
      default:
        refuse(kCorrupt);
    }
  }

  // An ISO 8601 date as a cell of type "d" stores it, in this layer's form.
  static std::string isoDate(const std::string& v) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    char sep = 0;
    if (std::sscanf(v.c_str(), "%4d-%2d-%2d%c%2d:%2d:%lf", &y, &mo, &d, &sep, &h, &mi, &s) >= 3 && y >= 1 && mo >= 1 &&
        mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60) {
      const long ms = std::lround(s * 1000);
      char buf[40];
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02ld", y, mo, d, h, mi, ms / 1000);
      std::string out = buf;
      if (ms % 1000) {
        std::snprintf(buf, sizeof buf, ".%03ld", ms % 1000);
        out += buf;
      }
      return out;
    }
    std::string out = v;
    makeUtf8(out);
    return out;
  }

  zip_t* zip_;
  const Limits& limits_;
  std::size_t total_ = 0;  // bytes of the parts read
  std::size_t kept_ = 0;   // bytes the workbook keeps
  std::size_t cells_ = 0;
  bool date1904_ = false;
  std::deque<Text> shared_;  // in blocks: a large table is never copied to grow
  std::vector<bool> dateStyle_;
};

}  // namespace

std::string readXlsx(zip_source_t* src, Workbook* out, const Limits& limits) {
  zip_error_t err;
  zip_error_init(&err);
  zip_t* zip = zip_open_from_source(src, ZIP_RDONLY, &err);
  zip_error_fini(&err);
  if (!zip) {
    zip_source_free(src);
    return kCorrupt;
  }
  std::string why;
  try {
    XlsxReader(zip, limits).read(out);
  } catch (const Refusal& r) {
    why = r.why;
  } catch (const std::bad_alloc&) {
    why = kTooLarge;
  }
  zip_discard(zip);
  if (!why.empty()) out->sheets.clear();
  return why;
}

}  // namespace excel::detail
