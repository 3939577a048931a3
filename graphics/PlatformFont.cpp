#include "graphics/PlatformFont.h"

#include <cstring>

namespace plugin::igraphics
{

namespace
{

// Big-endian reads; the caller has checked the range.
uint16_t U16(const uint8_t* p)
{
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
int16_t S16(const uint8_t* p)
{
  return static_cast<int16_t>(U16(p));
}
uint32_t U32(const uint8_t* p)
{
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool Tag(const uint8_t* p, const char* tag)
{
  return std::memcmp(p, tag, 4) == 0;
}

// The tags of a single face's header.
bool IsFaceTag(const uint8_t* p)
{
  static const uint8_t kTrueType[4] = {0x00, 0x01, 0x00, 0x00};
  static const uint8_t kOne[4] = {'1', 0, 0, 0};
  return std::memcmp(p, kTrueType, 4) == 0 || std::memcmp(p, kOne, 4) == 0 || Tag(p, "OTTO") || Tag(p, "typ1");
}

// Appends a code point as UTF-8.
void AppendUTF8(std::string& out, uint32_t c)
{
  if (c < 0x80)
    out += static_cast<char>(c);
  else if (c < 0x800)
  {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  else if (c < 0x10000)
  {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 big-endian to UTF-8; unpaired surrogates become U+FFFD, an odd last byte is dropped.
std::string FromUTF16BE(const uint8_t* p, uint64_t length)
{
  std::string out;
  const uint64_t units = length / 2;
  for (uint64_t i = 0; i < units; ++i)
  {
    uint32_t c = U16(p + 2 * i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units)
    {
      const uint32_t low = U16(p + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF)
      {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    AppendUTF8(out, c);
  }
  return out;
}

// Sizes below which a table cannot hold the fields read from it.
constexpr uint64_t kHeadMin = 46; // macStyle at 44
constexpr uint64_t kHheaMin = 10; // lineGap at 8
constexpr uint64_t kNameMin = 6;  // record count and storage offset

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// IFontInfo — face, tables, metrics
// ---------------------------------------------------------------------------------------------------------------

void IFontInfo::Parse(const void* data, uint64_t dataSize, int faceIdx)
{
  mFile = static_cast<const uint8_t*>(data);
  mFileSize = mFile ? dataSize : 0;
  if (!mFile || faceIdx < 0 || !FindFace(faceIdx)) return;

  FindTables();
  if (!IFontInfo::IsValid()) return;

  const uint8_t* head = mFile + mHeadLocation;
  const uint8_t* hhea = mFile + mHheaLocation;
  mUnitsPerEM = U16(head + 18);
  mMacStyle = U16(head + 44);
  mAscender = S16(hhea + 4);
  mDescender = S16(hhea + 6);
  mLineGap = S16(hhea + 8);
  mFamily = ReadName(1);
  mStyle = ReadName(2);
}

bool IFontInfo::FindFace(int faceIdx)
{
  if (mFileSize < 12) return false;
  uint64_t face = 0;
  if (IsFaceTag(mFile))
  {
    if (faceIdx != 0) return false;
  }
  else if (Tag(mFile, "ttcf"))
  {
    const uint32_t version = U32(mFile + 4);
    if (version != 0x00010000 && version != 0x00020000) return false;
    const uint64_t count = U32(mFile + 8);
    const uint64_t entry = 12 + 4 * static_cast<uint64_t>(faceIdx);
    if (static_cast<uint64_t>(faceIdx) >= count || entry + 4 > mFileSize) return false;
    face = U32(mFile + entry);
    // A face of a collection is itself a plain face, never another collection.
    if (face + 12 > mFileSize || !IsFaceTag(mFile + face)) return false;
  }
  else
    return false;

  const uint64_t tables = U16(mFile + face + 4);
  if (face + 12 + 16 * tables > mFileSize) return false; // the directory runs past the end
  mData = mFile + face;
  return true;
}

void IFontInfo::FindTables()
{
  const uint16_t tables = U16(mData + 4);
  for (uint16_t i = 0; i < tables; ++i)
  {
    const uint8_t* rec = mData + 12 + 16 * static_cast<uint64_t>(i);
    const uint64_t offset = U32(rec + 8);
    const uint64_t length = U32(rec + 12);
    // A table is only found when it lies inside the bytes and holds what is read from it. Offset 0 would be the
    // header itself (and 0 means "absent").
    const bool inside = offset > 0 && offset + length <= mFileSize;
    if (!inside) continue;
    if (Tag(rec, "head") && !mHeadLocation && length >= kHeadMin)
      mHeadLocation = static_cast<uint32_t>(offset);
    else if (Tag(rec, "name") && !mNameLocation && length >= kNameMin)
    {
      mNameLocation = static_cast<uint32_t>(offset);
      mNameLength = static_cast<uint32_t>(length);
    }
    else if (Tag(rec, "hhea") && !mHheaLocation && length >= kHheaMin)
      mHheaLocation = static_cast<uint32_t>(offset);
    else if (Tag(rec, "fdsc") && !mFdscLocation)
      mFdscLocation = static_cast<uint32_t>(offset);
  }
}

std::string IFontInfo::ReadName(uint16_t nameID) const
{
  std::string s = ReadNameRecord(3, 1, 1033, nameID);
  if (s.empty()) s = ReadNameRecord(1, 0, 0, nameID);
  return s;
}

std::string IFontInfo::ReadNameRecord(uint16_t platformID, uint16_t encodingID, uint16_t languageID,
                                      uint16_t nameID) const
{
  const uint8_t* name = mFile + mNameLocation;
  const uint64_t tableEnd = mNameLength;
  const uint64_t count = U16(name + 2);
  const uint64_t storage = U16(name + 4);
  for (uint64_t i = 0; i < count; ++i)
  {
    const uint64_t at = 6 + 12 * i;
    if (at + 12 > tableEnd) break; // the records run past the table
    const uint8_t* rec = name + at;
    if (U16(rec) != platformID || U16(rec + 2) != encodingID || U16(rec + 4) != languageID || U16(rec + 6) != nameID)
      continue;
    const uint64_t length = U16(rec + 8);
    const uint64_t start = storage + U16(rec + 10);
    if (start + length > tableEnd) continue; // the text lies outside the table
    std::string text = platformID == 3 ? FromUTF16BE(name + start, length)
                                       : std::string(reinterpret_cast<const char*>(name + start), length);
    // Names are used as C strings: they end at a NUL.
    text.resize(std::strlen(text.c_str()));
    return text;
  }
  return {};
}

double IFontInfo::GetHeightEMRatio() const
{
  const int height = static_cast<int>(mAscender) - static_cast<int>(mDescender);
  if (height <= 0 || mUnitsPerEM == 0) return 1.0;
  return static_cast<double>(mUnitsPerEM) / height;
}

int IFontInfo::FindFaceByStyle(const void* data, uint64_t dataSize, const char* style)
{
  const std::string wanted(style ? style : "");
  for (int i = 0;; ++i)
  {
    IFontInfo info(data, dataSize, i);
    if (!info.IsValid()) return -1;
    if (info.GetStyle().empty()) continue;
    if (info.GetStyle() == wanted) return i;
  }
}

bool IFontInfo::IsCollection(const void* data, uint64_t dataSize)
{
  return data && dataSize >= 4 && Tag(static_cast<const uint8_t*>(data), "ttcf");
}

// ---------------------------------------------------------------------------------------------------------------
// IFontData
// ---------------------------------------------------------------------------------------------------------------

IFontData::IFontData(const void* data, int size, int faceIdx) : mFaceIdx(faceIdx)
{
  if (!data || size <= 0) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  mBytes.assign(bytes, bytes + size);
  Parse(mBytes.data(), mBytes.size(), faceIdx);
}

StaticStorage<IFontData>& FontDataCache()
{
  static StaticStorage<IFontData> cache;
  return cache;
}

} // namespace plugin::igraphics
