// What freexl leaves out of an .xls: boolean and error cells and the values formulas held
// when the file was saved. The workbook stream is taken from the compound file and its
// records walked; every offset, length and sector number is checked against the bytes read.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

std::uint16_t u16(const std::string& b, size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t u32(const std::string& b, size_t at) { return u16(b, at) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16; }

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;

// A compound file held in memory: its sectors, allocation table and streams.
class CompoundFile {
 public:
  explicit CompoundFile(std::string bytes) : b_(std::move(bytes)) {}

  // The stream of that (ASCII) name, "" when there is none or it is damaged.
  std::string stream(const std::string& wanted) {
    if (b_.size() < 512) return {};
    const unsigned shift = u16(b_, 0x1E);
    if (shift != 9 && shift != 12) return {};
    sector_ = size_t(1) << shift;
    sectors_ = b_.size() / sector_ - 1;
    // The allocation table's sectors: 109 in the header, the rest in a chain of their own.
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
      const std::uint16_t nameBytes = u16(dir, at + 0x40);
      std::string name;
      for (size_t i = 0; i + 2 < nameBytes && i < 64; i += 2) name += static_cast<char>(dir[at + i]);
      const auto type = static_cast<unsigned char>(dir[at + 0x42]);
      if (type == 5) root_ = {u32(dir, at + 0x74), u32(dir, at + 0x78)};
      if (type == 2 && name == wanted) {
        const std::uint32_t start = u32(dir, at + 0x74), size = u32(dir, at + 0x78);
        return size < u32(b_, 0x38) ? miniStream(start, size) : chain(start, size);
      }
    }
    return {};
  }

 private:
  size_t offset(std::uint32_t sector) const { return (size_t(sector) + 1) * sector_; }

  // The sectors of a chain, joined and cut to `size`; stops at the first bad link.
  std::string chain(std::uint32_t s, size_t size) const {
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

  std::string miniStream(std::uint32_t s, size_t size) const {
    const std::string container = chain(root_.first, root_.second);
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

  std::string b_;
  size_t sector_ = 512;
  size_t sectors_ = 0;
  std::vector<std::uint32_t> fat_;
  std::pair<std::uint32_t, std::uint32_t> root_{kEndOfChain, 0};
};

// A BIFF8 string of `count` characters at `at`: a flags byte, then 8-bit or UTF-16LE units.
std::string biffText(const std::string& r, size_t at, size_t count) {
  if (at >= r.size()) return {};
  const auto flags = static_cast<unsigned char>(r[at]);
  const bool wide = flags & 1;
  // Rich-text runs and phonetic data, when present, stand before the characters.
  const size_t first = at + 1 + (flags & 8 ? 2 : 0) + (flags & 4 ? 4 : 0);
  std::string out;
  for (size_t i = 0, p = first; i < count && p + (wide ? 1 : 0) < r.size(); ++i, p += wide ? 2 : 1) {
    char32_t u = wide ? u16(r, p) : static_cast<unsigned char>(r[p]);
    if (wide && u >= 0xD800 && u <= 0xDBFF && p + 3 < r.size() && u16(r, p + 2) >= 0xDC00 && u16(r, p + 2) <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (u16(r, p + 2) - 0xDC00);
      p += 2;
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    appendUtf8(out, u);
  }
  return out;
}

const char* errorName(unsigned code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#N/A";
  }
}

}  // namespace

void addBiffCells(const std::string& path, Workbook* book, const Limits& limits) {
  std::string bytes;
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return;
    const long size = std::ftell(f.get());
    if (size <= 0 || static_cast<unsigned long>(size) > limits.maxPartBytes) return;
    bytes.resize(static_cast<size_t>(size));
    std::rewind(f.get());
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return;
  }
  const std::string wb = CompoundFile(std::move(bytes)).stream("Workbook");
  if (wb.size() < 8 || u16(wb, 0) != 0x0809 || u16(wb, 4) != 0x0600) return;  // BIFF8 only

  // The globals: the date system, number formats and cell formats, and where each sheet starts.
  bool date1904 = false;
  std::map<std::uint32_t, bool> formats;  // format id -> shows a date
  std::vector<std::uint16_t> xfFormat;
  std::vector<std::pair<size_t, std::string>> sheets;  // stream offset, name
  size_t at = 0;
  for (; at + 4 <= wb.size(); at += 4 + u16(wb, at + 2)) {
    const std::uint16_t type = u16(wb, at), len = u16(wb, at + 2);
    if (at + 4 + len > wb.size()) return;
    const std::string r = wb.substr(at + 4, len);
    if (type == 0x000A) break;  // end of the globals
    if (type == 0x0022 && len >= 2) date1904 = u16(r, 0) == 1;
    if (type == 0x041E && len >= 5) formats[u16(r, 0)] = isDateFormat(biffText(r, 4, u16(r, 2)).c_str());
    if (type == 0x00E0 && len >= 4) xfFormat.push_back(u16(r, 2));
    if (type == 0x0085 && len >= 8) sheets.emplace_back(u32(r, 0), biffText(r, 7, static_cast<unsigned char>(r[6])));
  }
  auto isDate = [&](std::uint16_t xf) {
    if (xf >= xfFormat.size()) return false;
    const auto f = formats.find(xfFormat[xf]);
    return f != formats.end() ? f->second : isBuiltinDate(xfFormat[xf]);
  };

  size_t cells = 0;
  for (const Sheet& s : book->sheets) cells += s.cells.size();
  for (const auto& [start, rawName] : sheets) {
    std::string name = rawName;
    makeUtf8(name);
    Sheet* sheet = nullptr;
    for (Sheet& s : book->sheets)
      if (s.name == name) sheet = &s;
    if (!sheet) continue;
    std::vector<Cell> found;
    size_t pendingString = SIZE_MAX;  // the formula whose text result the next STRING record holds
    for (at = start; at + 4 <= wb.size(); at += 4 + u16(wb, at + 2)) {
      const std::uint16_t type = u16(wb, at), len = u16(wb, at + 2);
      if (at + 4 + len > wb.size() || type == 0x000A) break;
      const std::string r = wb.substr(at + 4, len);
      if (type == 0x0207 && pendingString < found.size() && len >= 3) {
        found[pendingString].text = biffText(r, 2, u16(r, 0));
        makeUtf8(found[pendingString].text);
      }
      // Shared, array and table formulas may stand between a formula and its STRING.
      if (type != 0x04BC && type != 0x0221 && type != 0x0236) pendingString = SIZE_MAX;
      if ((type != 0x0006 || len < 20) && (type != 0x0205 || len < 8)) continue;
      if (cells >= limits.maxCells) return;
      Cell c;
      c.row = u16(r, 0) + 1u;
      c.col = u16(r, 2) + 1u;
      const bool special = type == 0x0205 || u16(r, 12) == 0xFFFF;
      const unsigned kind = type == 0x0205 ? (r[7] ? 2u : 1u) : static_cast<unsigned char>(r[6]);
      const unsigned value = static_cast<unsigned char>(type == 0x0205 ? r[6] : r[8]);
      if (!special) {
        std::memcpy(&c.number, r.data() + 6, 8);
        if (!std::isfinite(c.number)) continue;
        c.type = Cell::Type::Number;
        if (isDate(u16(r, 4)) && serialToIso(c.number, date1904, &c.text)) c.type = Cell::Type::Date;
      } else if (kind == 0) {
        c.type = Cell::Type::String;
      } else if (kind == 1) {
        c.type = Cell::Type::Boolean;
        c.number = value ? 1 : 0;
      } else if (kind == 2) {
        c.type = Cell::Type::Error;
        c.text = errorName(value);
      } else {
        continue;  // an empty text
      }
      ++cells;
      found.push_back(std::move(c));
      if (kind == 0 && special) pendingString = found.size() - 1;
    }
    // What the records say replaces what freexl made of the same cells.
    for (Cell& c : found)
      if (c.type != Cell::Type::String || !c.text.empty()) sheet->cells.push_back(std::move(c));
    orderCells(sheet->cells);
  }
}

}  // namespace excel::detail
