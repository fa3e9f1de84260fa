// The .xlsx reader: a zip of XML parts (libzip, pugixml). Every part's uncompressed size is
// checked before anything is allocated for it, and every index taken from a part (shared
// strings, styles, cell positions) is checked before it is used.
#include <zip.h>

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <pugixml.hpp>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

constexpr std::uint32_t kMaxRow = 1048576;
constexpr std::uint32_t kMaxCol = 16384;

struct Refusal {
  std::string why;
};
[[noreturn]] void refuse(const char* why) { throw Refusal{why}; }

// Parts may carry any namespace prefix ("x:c"); elements and attributes are matched by
// their local names.
const char* localName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}
bool is(const pugi::xml_node& n, const char* local) {
  return n.type() == pugi::node_element && std::strcmp(localName(n.name()), local) == 0;
}
pugi::xml_node child(const pugi::xml_node& n, const char* local) {
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
    if (is(c, local)) return c;
  return {};
}
const char* attr(const pugi::xml_node& n, const char* local) {
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
    if (std::strcmp(localName(a.name()), local) == 0) return a.value();
  return nullptr;
}
// Every text and CDATA piece directly inside `n`.
void appendText(const pugi::xml_node& n, std::string& out) {
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
}
bool endsWith(const char* s, const char* tail) {
  const size_t a = std::strlen(s), b = std::strlen(tail);
  return a >= b && std::strcmp(s + a - b, tail) == 0;
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

// The text of a shared or inline string: its plain text or its rich-text runs, without the
// phonetic guide.
std::string richText(const pugi::xml_node& si) {
  std::string s;
  for (pugi::xml_node c = si.first_child(); c; c = c.next_sibling()) {
    if (is(c, "t")) {
      appendText(c, s);
    } else if (is(c, "r")) {
      for (pugi::xml_node t = c.first_child(); t; t = t.next_sibling())
        if (is(t, "t")) appendText(t, s);
    }
  }
  unescapeText(s);
  return s;
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
      if (endsWith(rel.type.c_str(), "/officeDocument")) workbookPart = rel.target;
    const std::map<std::string, Relationship> rels = relationships(workbookPart);
    std::string sharedPart, stylesPart;
    for (const auto& [id, rel] : rels) {
      if (endsWith(rel.type.c_str(), "/sharedStrings")) sharedPart = rel.target;
      if (endsWith(rel.type.c_str(), "/styles")) stylesPart = rel.target;
    }
    if (sharedPart.empty()) sharedPart = resolvePart(workbookPart, "sharedStrings.xml");
    if (stylesPart.empty()) stylesPart = resolvePart(workbookPart, "styles.xml");

    pugi::xml_document doc;
    if (!parse(workbookPart, doc)) refuse(kNotWorkbook);
    const pugi::xml_node wb = doc.document_element();
    if (!is(wb, "workbook")) refuse(kCorrupt);
    if (const char* d1904 = attr(child(wb, "workbookPr"), "date1904"))
      date1904_ = std::strcmp(d1904, "1") == 0 || std::strcmp(d1904, "true") == 0;
    struct SheetEntry {
      std::string name;
      Relationship rel;
    };
    std::vector<SheetEntry> entries;
    for (pugi::xml_node s = child(child(wb, "sheets"), "sheet"); s; s = s.next_sibling()) {
      if (!is(s, "sheet")) continue;
      const char* name = attr(s, "name");
      const char* id = attr(s, "id");
      const auto rel = id ? rels.find(id) : rels.end();
      if (!name || rel == rels.end()) refuse(kCorrupt);
      if (entries.size() >= limits_.maxSheets) refuse(kTooLarge);
      entries.push_back({name, rel->second});
    }
    if (entries.empty()) refuse(kCorrupt);
    doc.reset();

    readSharedStrings(sharedPart);
    readStyles(stylesPart);
    for (const SheetEntry& e : entries) {
      Sheet sheet;
      sheet.name = e.name;
      makeUtf8(sheet.name);
      const bool chart = endsWith(e.rel.type.c_str(), "/chartsheet") || endsWith(e.rel.type.c_str(), "/dialogsheet");
      sheet.isWorksheet = endsWith(e.rel.type.c_str(), "/worksheet");
      if (!chart) readSheet(e.rel.target, &sheet);
      out->sheets.push_back(std::move(sheet));
    }
  }

 private:
  // Reads a part whole; false when the workbook has no such part.
  bool readPart(const std::string& name, std::string* data) {
    zip_int64_t idx = zip_name_locate(zip_, name.c_str(), 0);
    if (idx < 0) idx = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
    if (idx < 0) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(idx), 0, &st) != 0) refuse(kCorrupt);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) refuse(kEncrypted);
    if (!(st.valid & ZIP_STAT_SIZE)) refuse(kCorrupt);
    if (st.size > limits_.maxPartBytes || st.size > limits_.maxTotalBytes - total_) refuse(kTooLarge);
    total_ += st.size;
    zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(idx), 0);
    if (!f) refuse(kCorrupt);
    data->resize(st.size);
    zip_uint64_t got = 0;
    while (got < st.size) {
      const zip_int64_t n = zip_fread(f, data->data() + got, st.size - got);
      if (n <= 0) break;
      got += static_cast<zip_uint64_t>(n);
    }
    char extra;
    const bool whole = got == st.size && zip_fread(f, &extra, 1) == 0;
    zip_fclose(f);
    if (!whole) refuse(kCorrupt);
    return true;
  }

  bool parse(const std::string& name, pugi::xml_document& doc) {
    buffer_.clear();
    if (!readPart(name, &buffer_)) return false;
    const pugi::xml_parse_result r = doc.load_buffer_inplace(
        buffer_.data(), buffer_.size(), pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_doctype);
    if (!r) refuse(kCorrupt);
    // No spreadsheet writer declares entities; a part that does (nested ones blow up to
    // gigabytes) or nests elements far deeper than any workbook has is not read.
    struct Depth : pugi::xml_tree_walker {
      bool for_each(pugi::xml_node& n) override { return n.type() != pugi::node_doctype && depth() < 64; }
    } depth;
    if (!doc.traverse(depth)) refuse(kCorrupt);
    return true;
  }

  std::map<std::string, Relationship> relationships(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    std::map<std::string, Relationship> rels;
    pugi::xml_document doc;
    if (!parse(folder + "_rels/" + file + ".rels", doc)) return rels;
    for (pugi::xml_node r = doc.document_element().first_child(); r; r = r.next_sibling()) {
      const char* id = attr(r, "Id");
      const char* target = attr(r, "Target");
      const char* mode = attr(r, "TargetMode");
      if (!is(r, "Relationship") || !id || !target || (mode && std::strcmp(mode, "External") == 0)) continue;
      const char* type = attr(r, "Type");
      rels[id] = Relationship{type ? type : "", resolvePart(part.empty() ? "/" : part, target)};
    }
    return rels;
  }

  void readSharedStrings(const std::string& part) {
    pugi::xml_document doc;
    if (!parse(part, doc)) return;
    for (pugi::xml_node si = doc.document_element().first_child(); si; si = si.next_sibling()) {
      if (!is(si, "si")) continue;
      if (shared_.size() >= limits_.maxCells) refuse(kTooLarge);
      shared_.push_back(richText(si));
      makeUtf8(shared_.back());
    }
  }

  void readStyles(const std::string& part) {
    pugi::xml_document doc;
    if (!parse(part, doc)) return;
    const pugi::xml_node ss = doc.document_element();
    std::map<std::uint32_t, bool> custom;  // numFmtId -> shows a date
    for (pugi::xml_node f = child(child(ss, "numFmts"), "numFmt"); f; f = f.next_sibling()) {
      std::uint32_t id;
      const char* code = attr(f, "formatCode");
      if (is(f, "numFmt") && code && parseUint(attr(f, "numFmtId"), UINT32_MAX, &id)) custom[id] = isDateFormat(code);
    }
    for (pugi::xml_node xf = child(child(ss, "cellXfs"), "xf"); xf; xf = xf.next_sibling()) {
      if (!is(xf, "xf")) continue;
      std::uint32_t id = 0;
      parseUint(attr(xf, "numFmtId"), UINT32_MAX, &id);
      const auto c = custom.find(id);
      dateStyle_.push_back(c != custom.end() ? c->second : isBuiltinDate(id));
    }
  }

  void readSheet(const std::string& part, Sheet* sheet) {
    pugi::xml_document doc;
    if (!parse(part, doc)) refuse(kCorrupt);
    std::vector<Cell>& cells = sheet->cells;
    std::uint32_t row = 0;
    for (pugi::xml_node r = child(child(doc.document_element(), "sheetData"), "row"); r; r = r.next_sibling()) {
      if (!is(r, "row")) continue;
      const char* rowRef = attr(r, "r");
      if (rowRef ? !parseUint(rowRef, kMaxRow, &row) || row == 0 : ++row > kMaxRow) refuse(kCorrupt);
      std::uint32_t col = 0;
      for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
        if (!is(c, "c")) continue;
        Cell cell;
        if (const char* ref = attr(c, "r")) {
          if (!parseRef(ref, &cell.row, &cell.col)) refuse(kCorrupt);
        } else {
          if (col >= kMaxCol) refuse(kCorrupt);
          cell.row = row;
          cell.col = col + 1;
        }
        col = cell.col;
        if (readCell(c, &cell)) {
          if (cells_ >= limits_.maxCells) refuse(kTooLarge);
          ++cells_;
          cells.push_back(std::move(cell));
        }
      }
    }
    orderCells(cells);
  }

  // Fills the value of one <c>; false when it holds none (an empty text is none, too).
  bool readCell(const pugi::xml_node& c, Cell* cell) {
    const char* t = attr(c, "t");
    const pugi::xml_node v = child(c, "v");
    std::string value;
    appendText(v, value);
    if (t && std::strcmp(t, "inlineStr") == 0) {
      const pugi::xml_node inl = child(c, "is");
      if (!inl && !v) return false;
      cell->text = inl ? richText(inl) : value;
      makeUtf8(cell->text);
      return !cell->text.empty();
    }
    if (!v) return false;
    if (!t || std::strcmp(t, "n") == 0) {
      if (value.empty()) return false;
      if (!parseDouble(value.c_str(), &cell->number)) refuse(kCorrupt);
      cell->type = Cell::Type::Number;
      std::uint32_t style = 0;
      if (parseUint(attr(c, "s"), UINT32_MAX, &style) && style < dateStyle_.size() && dateStyle_[style] &&
          serialToIso(cell->number, date1904_, &cell->text))
        cell->type = Cell::Type::Date;
      return true;
    }
    if (std::strcmp(t, "s") == 0) {
      std::uint32_t index;
      if (!parseUint(value.c_str(), UINT32_MAX, &index) || index >= shared_.size()) refuse(kCorrupt);
      cell->text = shared_[index];
      return !cell->text.empty();
    }
    if (std::strcmp(t, "str") == 0) {
      unescapeText(value);
      makeUtf8(value);
      cell->text = std::move(value);
      return !cell->text.empty();
    }
    if (std::strcmp(t, "b") == 0) {
      cell->type = Cell::Type::Boolean;
      if (value == "1" || value == "true") cell->number = 1;
      else if (value != "0" && value != "false") refuse(kCorrupt);
      return true;
    }
    if (std::strcmp(t, "e") == 0) {
      cell->type = Cell::Type::Error;
      makeUtf8(value);
      cell->text = std::move(value);
      return true;
    }
    if (std::strcmp(t, "d") == 0) {
      if (value.empty()) return false;
      cell->type = Cell::Type::Date;
      cell->text = isoDate(value);
      return true;
    }
    refuse(kCorrupt);
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
  std::size_t total_ = 0;
  std::size_t cells_ = 0;
  bool date1904_ = false;
  std::string buffer_;
  std::vector<std::string> shared_;
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
