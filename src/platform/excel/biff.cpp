// The .xls reader for Excel 97 and later (BIFF8): the workbook stream is taken from the
// compound file and its records walked. Every offset, length, sector number and string
// index is checked against the bytes read before it is used.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

std::uint16_t u16(std::string_view b, size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t u32(std::string_view b, size_t at) {
  return u16(b, at) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}

struct Refusal {
  const char* why;
};

}  // namespace

CompoundFile::CompoundFile(std::string bytes) : b_(std::move(bytes)) {
  if (b_.size() < 512 || std::memcmp(b_.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0) return;
  const unsigned shift = u16(b_, 0x1E);
  if (shift != 9 && shift != 12) return;
  sector_ = size_t(1) << shift;
  if (b_.size() < 2 * sector_) return;
  sectors_ = b_.size() / sector_ - 1;
  // The allocation table's sectors: 109 named in the header, the rest in a chain of their own.
  std::vector<std::uint32_t> fatSectors;
  for (size_t i = 0; i < 109; ++i) fatSectors.push_back(u32(b_, 0x4C + 4 * i));
  std::uint32_t difat = u32(b_, 0x44);
  for (size_t guard = 0; difat < sectors_ && guard < sectors_; ++guard) {
    const size_t at = offset(difat);
    for (size_t i = 0; i + 1 < sector_ / 4; ++i) fatSectors.push_back(u32(b_, at + 4 * i));
    difat = u32(b_, at + sector_ - 4);
  }
  for (std::uint32_t s : fatSectors) {
    if (s >= sectors_ || fat_.size() >= sectors_) continue;
    for (size_t i = 0; i < sector_ / 4; ++i) fat_.push_back(u32(b_, offset(s) + 4 * i));
  }
  const std::string dir = chain(u32(b_, 0x30), SIZE_MAX);
  for (size_t at = 0; at + 128 <= dir.size(); at += 128) {
    Entry e;
    const std::uint16_t nameBytes = u16(dir, at + 0x40);
    for (size_t i = 0; i + 2 < nameBytes && i < 64; i += 2) e.name += u16(dir, at + i) < 0x80 ? dir[at + i] : '?';
    e.type = static_cast<unsigned char>(dir[at + 0x42]);
    e.start = u32(dir, at + 0x74);
    e.size = u32(dir, at + 0x78);
    if (e.type == 5 && root_.type == 0) root_ = e;
    if (e.type == 2) streams_.push_back(e);
  }
  valid_ = root_.type == 5;
}

namespace {
// Names in a compound file compare regardless of case.
bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x | 0x20 : x) == (y >= 'A' && y <= 'Z' ? y | 0x20 : y);
         });
}
}  // namespace

bool CompoundFile::has(const std::string& name) const {
  for (const Entry& e : streams_)
    if (sameName(e.name, name)) return true;
  return false;
}

std::string CompoundFile::stream(const std::string& name) const {
  for (const Entry& e : streams_)
    if (sameName(e.name, name)) return e.size < u32(b_, 0x38) ? miniStream(e.start, e.size) : chain(e.start, e.size);
  return {};
}

std::string CompoundFile::chain(std::uint32_t s, size_t size) const {
  std::string out;
  for (size_t guard = 0; s < sectors_ && s < fat_.size() && guard <= sectors_ && out.size() < size; ++guard) {
    out.append(b_, offset(s), sector_);
    s = fat_[s];
  }
  if (size == SIZE_MAX) return out;
  if (out.size() < size) return {};
  out.resize(size);
  return out;
}

std::string CompoundFile::miniStream(std::uint32_t s, size_t size) const {
  // The whole chain: writers do not all round the recorded size up to whole mini sectors.
  const std::string container = chain(root_.start, SIZE_MAX);
  const std::string miniFat = chain(u32(b_, 0x3C), size_t(u32(b_, 0x40)) * sector_);
  std::string out;
  const size_t count = miniFat.size() / 4;
  for (size_t guard = 0; s < count && guard <= count && out.size() < size; ++guard) {
    if ((size_t(s) + 1) * 64 > container.size()) return {};
    out.append(container, size_t(s) * 64, 64);
    s = u32(miniFat, size_t(s) * 4);
  }
  if (out.size() < size) return {};
  out.resize(size);
  return out;
}

namespace {

// A record's data with the CONTINUE records that carry on from it. A text split between
// two of them starts its remainder with a new flags byte.
class Pieces {
 public:
  void add(std::string_view p) { parts_.push_back(p); }
  bool atEnd() {
    settle();
    return part_ >= parts_.size();
  }
  unsigned byte() {
    settle();
    if (part_ >= parts_.size()) throw Refusal{kCorrupt};
    return static_cast<unsigned char>(parts_[part_][pos_++]);
  }
  std::uint32_t number(int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= byte() << (8 * i);
    return v;
  }
  void skip(std::uint32_t n) {
    for (; n > 0; --n) byte();
  }
  // An XLUnicodeString of `count` characters whose flags byte comes next.
  std::string text(std::uint32_t count) {
    const unsigned flags = byte();
    bool wide = flags & 1;
    const std::uint32_t runs = flags & 8 ? number(2) : 0;
    const std::uint32_t ext = flags & 4 ? number(4) : 0;
    std::u16string units;
    for (std::uint32_t i = 0; i < count; ++i) {
      settle();
      if (pos_ == 0 && part_ > 0 && i > 0) wide = byte() & 1;
      units += static_cast<char16_t>(number(wide ? 2 : 1));
    }
    skip(4 * runs);
    skip(ext);
    return utf8(units);
  }

  static std::string utf8(const std::u16string& u) {
    std::string out;
    for (size_t i = 0; i < u.size(); ++i) {
      char32_t c = u[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (u[++i] - 0xDC00);
      else if (c >= 0xD800 && c <= 0xDFFF)
        c = 0xFFFD;
      appendUtf8(out, c);
    }
    return out;
  }

 private:
  void settle() {
    while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
      ++part_;
      pos_ = 0;
    }
  }
  std::vector<std::string_view> parts_;
  size_t part_ = 0, pos_ = 0;
};

std::string recordText(std::string_view r, size_t at, std::uint32_t count) {
  Pieces p;
  p.add(r.substr(std::min(at, r.size())));
  return p.text(count);
}

const char* errorName(unsigned code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    default: return "#N/A";
  }
}

double rkValue(std::uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return rk & 1 ? v / 100 : v;
}

class Biff8Reader {
 public:
  Biff8Reader(std::string_view wb, const Limits& limits) : wb_(wb), limits_(limits) {}

  void read(Workbook* out) {
    if (wb_.size() < 8 || u16(wb_, 0) != 0x0809 || u16(wb_, 4) != 0x0600) throw Refusal{kCorrupt};
    std::vector<std::pair<size_t, unsigned>> starts;  // substream offset, sheet kind
    size_t at = 0;
    for (std::uint16_t type = 0; type != 0x000A;) {
      std::string_view r;
      type = next(at, &r);
      if (type == 0x002F) throw Refusal{kEncrypted};
      if (type == 0x0022 && r.size() >= 2) date1904_ = u16(r, 0) == 1;
      if (type == 0x041E && r.size() >= 5) formats_[u16(r, 0)] = isDateFormat(recordText(r, 4, u16(r, 2)).c_str());
      if (type == 0x00E0 && r.size() >= 4) xfFormat_.push_back(u16(r, 2));
      if (type == 0x00FC) readSst(at, r);
      if (type == 0x0085 && r.size() >= 8) {
        const unsigned kind = static_cast<unsigned char>(r[5]);
        if (kind == 6) continue;  // a Visual Basic module, not a sheet
        if (out->sheets.size() >= limits_.maxSheets) throw Refusal{kTooLarge};
        Sheet s;
        s.name = recordText(r, 7, static_cast<unsigned char>(r[6]));
        makeUtf8(s.name);
        s.isWorksheet = kind == 0;
        out->sheets.push_back(std::move(s));
        starts.emplace_back(u32(r, 0), kind);
      }
    }
    if (out->sheets.empty()) throw Refusal{kCorrupt};
    for (size_t i = 0; i < starts.size(); ++i)
      if (starts[i].second != 2) readSheet(starts[i].first, &out->sheets[i]);
  }

 private:
  // The record at `at` (moved past it); its type, its data in `r`.
  std::uint16_t next(size_t& at, std::string_view* r) const {
    if (at + 4 > wb_.size()) throw Refusal{kCorrupt};
    const std::uint16_t type = u16(wb_, at), len = u16(wb_, at + 2);
    if (at + 4 + len > wb_.size()) throw Refusal{kCorrupt};
    *r = wb_.substr(at + 4, len);
    at += 4 + len;
    return type;
  }

  void readSst(size_t& at, std::string_view first) {
    Pieces p;
    p.add(first);
    std::string_view r;
    for (size_t peek = at; peek + 4 <= wb_.size() && u16(wb_, peek) == 0x003C; at = peek) {
      next(peek, &r);
      p.add(r);
    }
    p.skip(4);
    const std::uint32_t unique = p.number(4);
    for (std::uint32_t i = 0; i < unique && !p.atEnd(); ++i) {
      if (sst_.size() >= limits_.maxCells) throw Refusal{kTooLarge};
      std::string text = p.text(p.number(2));
      makeUtf8(text);
      sst_.push_back(text);
    }
  }

  bool isDate(std::uint16_t xf) const {
    if (xf >= xfFormat_.size()) return false;
    const auto f = formats_.find(xfFormat_[xf]);
    return f != formats_.end() ? f->second : isBuiltinDate(xfFormat_[xf]);
  }

  void add(Sheet* sheet, std::uint16_t row, std::uint16_t col, Cell c) {
    if (++cells_ > limits_.maxCells) throw Refusal{kTooLarge};
    c.row = row + 1u;
    c.col = col + 1u;
    sheet->cells.push_back(std::move(c));
  }
  void addNumber(Sheet* sheet, std::uint16_t row, std::uint16_t col, std::uint16_t xf, double v) {
    Cell c;
    if (!std::isfinite(v)) {  // what gnumeric saves for a number past the largest; Excel shows it so
      c.type = Cell::Type::Error;
      c.text = "#NUM!";
      add(sheet, row, col, std::move(c));
      return;
    }
    c.type = Cell::Type::Number;
    c.number = v;
    std::string iso;
    if (isDate(xf) && serialToIso(v, date1904_, &iso)) {
      c.type = Cell::Type::Date;
      c.text = iso;
    }
    add(sheet, row, col, std::move(c));
  }

  void readSheet(size_t at, Sheet* sheet) {
    std::string_view r;
    if (at >= wb_.size() || next(at, &r) != 0x0809) throw Refusal{kCorrupt};
    bool textResult = false;  // the last formula's value is the text of the next STRING record
    for (std::uint16_t type = 0; type != 0x000A;) {
      type = next(at, &r);
      if (type == 0x0207 && textResult && r.size() >= 3) {
        std::string text = recordText(r, 2, u16(r, 0));
        makeUtf8(text);
        sheet->cells.back().text = text;
      }
      // Shared, array and table formulas may stand between a formula and its STRING.
      if (type != 0x04BC && type != 0x0221 && type != 0x0236) textResult = false;
      const size_t need = type == 0x0006 ? 20 : type == 0x0203 ? 14 : type == 0x0204 ? 9 : type == 0x0205 ? 8 : 10;
      if (r.size() < need) continue;
      const std::uint16_t row = u16(r, 0), col = u16(r, 2), xf = u16(r, 4);
      Cell c;
      switch (type) {
        case 0x0203:  // NUMBER
          addNumber(sheet, row, col, xf, [&] { double v; std::memcpy(&v, r.data() + 6, 8); return v; }());
          break;
        case 0x027E:  // RK
          addNumber(sheet, row, col, xf, rkValue(u32(r, 6)));
          break;
        case 0x00BD:  // MULRK
          for (size_t k = 0; 4 + 6 * (k + 1) + 2 <= r.size(); ++k)
            addNumber(sheet, row, static_cast<std::uint16_t>(col + k), u16(r, 4 + 6 * k), rkValue(u32(r, 6 + 6 * k)));
          break;
        case 0x00FD:  // LABELSST
          if (u32(r, 6) >= sst_.size()) throw Refusal{kCorrupt};
          c.text = sst_[u32(r, 6)];
          add(sheet, row, col, std::move(c));
          break;
        case 0x0204:  // LABEL
        case 0x00D6: {  // RSTRING: a text with its formatting runs after it (gnumeric's rich text)
          std::string text = recordText(r, 8, u16(r, 6));
          makeUtf8(text);
          c.text = text;
          add(sheet, row, col, std::move(c));
          break;
        }
        case 0x0205:  // BOOLERR
          if (r[7]) {
            c.type = Cell::Type::Error;
            c.text = errorName(static_cast<unsigned char>(r[6]));
          } else {
            c.type = Cell::Type::Boolean;
            c.number = r[6] ? 1 : 0;
          }
          add(sheet, row, col, std::move(c));
          break;
        case 0x0006:  // FORMULA, with the value it held when saved
          if (u16(r, 12) != 0xFFFF) {
            double v;
            std::memcpy(&v, r.data() + 6, 8);
            addNumber(sheet, row, col, xf, v);
          } else if (r[6] == 0) {
            add(sheet, row, col, std::move(c));
            textResult = true;
          } else if (r[6] == 1 || r[6] == 2) {
            c.type = r[6] == 1 ? Cell::Type::Boolean : Cell::Type::Error;
            c.number = r[8] ? 1 : 0;
            if (r[6] == 2) c.text = errorName(static_cast<unsigned char>(r[8]));
            add(sheet, row, col, std::move(c));
          }
          break;
      }
    }
    // A formula whose text never came holds nothing.
    std::erase_if(sheet->cells, [](const Cell& c) { return c.type == Cell::Type::String && c.text.empty(); });
    orderCells(sheet->cells);
  }

  std::string_view wb_;
  const Limits& limits_;
  bool date1904_ = false;
  std::map<std::uint32_t, bool> formats_;  // format id -> shows a date
  std::vector<std::uint16_t> xfFormat_;
  std::vector<Text> sst_;  // each cell that shows one shares its text
  std::size_t cells_ = 0;
};

}  // namespace

std::string readBiff8(std::string_view workbookStream, Workbook* out, const Limits& limits) {
  try {
    Biff8Reader(workbookStream, limits).read(out);
  } catch (const Refusal& r) {
    out->sheets.clear();
    return r.why;
  } catch (const std::bad_alloc&) {
    out->sheets.clear();
    return kTooLarge;
  }
  return std::string();
}

}  // namespace excel::detail
