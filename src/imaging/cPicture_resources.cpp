// Pictures from the program's resources: the resource bytes are rebuilt into the file they
// came from and loaded like any other file.
#include <QtEndian>

#include "byte_reader.h"
#include "cPicture.h"
#include "vb.h"

namespace {

gdi::ByteReader reader(const QByteArray& b) {
  return gdi::ByteReader(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
}
std::uint32_t le32(const QByteArray& b, qsizetype at) { return reader(b).u32(std::uint64_t(at)); }
std::uint16_t le16(const QByteArray& b, qsizetype at) { return reader(b).u16(std::uint64_t(at)); }
void put32(QByteArray& b, qsizetype at, std::uint32_t v) {
  qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()) + at);
}
void put16(QByteArray& b, qsizetype at, std::uint16_t v) {
  qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()) + at);
}

QByteArray resource(int type, const QVariant& id) {
  const imaging::ResourceLoader load = imaging::pictureReaders().resources;
  return load ? load(type, id) : QByteArray();
}

// The pixel offset a bitmap resource's own header implies.
std::int64_t pixelOffset(const QByteArray& r) {
  const std::uint32_t header = le32(r, 0);
  if (header == 12) {
    const unsigned bits = le16(r, 10);
    return bits >= 9 ? 12 : 12 + 3 * (std::int64_t(1) << bits);
  }
  const unsigned bits = le16(r, 14);
  const std::uint32_t used = le32(r, 32);
  std::int64_t offset = header;
  if ((bits == 16 || bits == 32) && le32(r, 16) == 3 && header == 40) offset += 12;
  if (used)
    offset += 4 * std::int64_t(used);
  else if (bits <= 8)
    offset += 4 * (std::int64_t(1) << bits);
  return offset;
}

}  // namespace

bool cPicture::ResourceFile(const QVariant& id, int type, QByteArray& file) {
  file.clear();
  if (type == 0) {
    const QByteArray r = resource(2, id);
    // The resource holds at least the header it names; whatever the header reads past that
    // is checked by the reader it goes to.
    if (r.size() < 12 || le32(r, 0) < 12 || le32(r, 0) > std::uint32_t(r.size())) return false;
    const std::int64_t offset = 14 + pixelOffset(r);
    if (offset > 0xFFFFFFFFll || r.size() > 0x7FFFFFFF - 14) return false;
    file = QByteArray(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 2, std::uint32_t(r.size() + 14));
    put32(file, 10, std::uint32_t(offset));
    file += r;
    return true;
  }
  if (type != 1 && type != 2) return false;
  const bool cursor = type == 2;
  const QByteArray group = resource(cursor ? 12 : 14, id);
  if (group.size() < 6) return false;
  // Images are sized from the resources themselves, never from the group's counts.
  std::vector<QByteArray> images;
  std::vector<qsizetype> entries;
  for (qsizetype e = 6; e + 14 <= group.size(); e += 14) {
    QByteArray img = resource(cursor ? 1 : 3, int(le16(group, e + 12)));
    if (img.isEmpty() || (cursor && img.size() < 4))
      throw vb::VbError(326, QStringLiteral("cPicture"), QStringLiteral("Resource with identifier not found"));
    images.push_back(std::move(img));
    entries.push_back(e);
  }
  const qsizetype count = qsizetype(images.size());
  file = group.left(6);
  put16(file, 4, std::uint16_t(count));
  file.append(QByteArray(16 * count, '\0'));
  for (qsizetype i = 0; i < count; ++i) {
    const QByteArray& res = images[std::size_t(i)];
    const QByteArray img = cursor ? res.mid(4) : res;
    const qsizetype e = entries[std::size_t(i)];
    const qsizetype dir = 6 + 16 * i;
    const qsizetype at = file.size();
    int w = 0, h = 0, bits = le16(group, e + 6);
    if (img.size() >= 26 && le32(img, 0) == 0x474E5089) {
      w = int(reader(img).be32(16));
      h = int(reader(img).be32(20));
      if (bits == 0 || bits > 32 || cursor) {
        const int colourType = uchar(img[25]);
        bits = colourType == 4 || colourType == 6 ? 32 : colourType == 2 ? 24 : uchar(img[24]);
      }
    } else if (img.size() >= 16) {
      w = int(le32(img, 4));
      h = int(le32(img, 8)) / 2;
      bits = le16(img, 14);
    }
    file[dir] = char(w > 0 && w < 256 ? w : 0);
    file[dir + 1] = char(h > 0 && h < 256 ? h : 0);
    file[dir + 2] = char(bits >= 8 || bits < 0 ? 0 : 1 << bits);
    if (cursor) {
      for (int k = 0; k < 4; ++k) file[dir + 4 + k] = res[k];
    } else {
      put16(file, dir + 4, 1);
      put16(file, dir + 6, std::uint16_t(bits));
    }
    put32(file, dir + 8, std::uint32_t(img.size()));
    put32(file, dir + 12, std::uint32_t(at));
    file += img;
  }
  return true;
}

cPicture::StdPicture cPicture::LoadResPictureEx(const QVariant& ResID, int ResType, int ManageStyle, int& ImageDPI,
                                                int IconIndex, int IconCx, int IconCy, int IconDepth) {
  QByteArray file;
  if (!ResourceFile(ResID, ResType, file)) return nullptr;
  return LoadPictureEx(file, ManageStyle, false, ImageDPI, std::int32_t(0x80000005), IconIndex, IconCx, IconCy,
                       IconDepth, nullptr);
}
