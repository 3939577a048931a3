#pragma once

// Fonts as the platform makes them: a platform font object (its native descriptor and its bytes), the reader of
// the font's sfnt tables (IFontInfo) and the bytes with their metrics (IFontData), and the process-wide cache of
// font data the drawing back end registers fonts from.
//
// Font bytes come from files and hosts: IFontInfo checks every offset and length against the bytes it was given,
// so any input yields either a usable face or an unusable one, never a read outside the bytes.
//
// Threads: [main thread] for fonts; the cache is [any thread] under its mutex.

#include "graphics/StaticStorage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// IFontInfo — the sfnt reader: one face of a TrueType/OpenType font or collection
// ---------------------------------------------------------------------------------------------------------------
class IFontInfo
{
public:
  // Reads face faceIdx of the dataSize bytes at data (not copied: they must outlive this object). A plain font has
  // face 0 only; a collection ("ttcf", version 1 or 2) has the faces its count gives.
  IFontInfo(const void* data, uint64_t dataSize, int faceIdx) { Parse(data, dataSize, faceIdx); }
  virtual ~IFontInfo() = default;

  IFontInfo(const IFontInfo&) = delete;
  IFontInfo& operator=(const IFontInfo&) = delete;

  // The face was found and has head, name and hhea tables inside the bytes.
  bool IsValid() const { return mData && mHeadLocation && mNameLocation && mHheaLocation; }

  // Start of the face's sfnt header inside the bytes; null when the face was not found.
  const uint8_t* GetFaceData() const { return mData; }
  // Offsets of the tables from the start of the bytes; 0 when absent.
  uint32_t GetHeadLocation() const { return mHeadLocation; }
  uint32_t GetNameLocation() const { return mNameLocation; }
  uint32_t GetHheaLocation() const { return mHheaLocation; }
  uint32_t GetFdscLocation() const { return mFdscLocation; }

  // Name records 1 and 2 as UTF-8 (Windows Unicode English first, then Macintosh Roman); "" when missing.
  const std::string& GetFamily() const { return mFamily; }
  const std::string& GetStyle() const { return mStyle; }

  // Font units; 0 when the face is not valid.
  uint16_t GetUnitsPerEM() const { return mUnitsPerEM; }
  uint16_t GetMacStyle() const { return mMacStyle; }
  int16_t GetAscender() const { return mAscender; }
  int16_t GetDescender() const { return mDescender; }
  int16_t GetLineGap() const { return mLineGap; }

  // unitsPerEm / (ascender − descender): the text size that gives the face the height of one em in the renderer.
  // 1 when the face gives no positive height or no units per em.
  double GetHeightEMRatio() const;

  // The index of the first face whose style name equals style, skipping faces without a style name; −1 when an
  // unusable face is reached first (so also when no face has that style).
  static int FindFaceByStyle(const void* data, uint64_t dataSize, const char* style);

  // The bytes start with a collection header ("ttcf").
  static bool IsCollection(const void* data, uint64_t dataSize);

protected:
  IFontInfo() = default;
  void Parse(const void* data, uint64_t dataSize, int faceIdx);

private:
  bool FindFace(int faceIdx);
  void FindTables();
  std::string ReadName(uint16_t nameID) const;
  std::string ReadNameRecord(uint16_t platformID, uint16_t encodingID, uint16_t languageID, uint16_t nameID) const;

  const uint8_t* mFile = nullptr; // all the bytes
  uint64_t mFileSize = 0;
  const uint8_t* mData = nullptr;
  uint32_t mHeadLocation = 0;
  uint32_t mNameLocation = 0;
  uint32_t mHheaLocation = 0;
  uint32_t mFdscLocation = 0;
  uint32_t mNameLength = 0;
  std::string mFamily;
  std::string mStyle;
  uint16_t mMacStyle = 0;
  uint16_t mUnitsPerEM = 0;
  int16_t mAscender = 0;
  int16_t mDescender = 0;
  int16_t mLineGap = 0;
};

// ---------------------------------------------------------------------------------------------------------------
// IFontData — a copy of a font file with the metrics of one of its faces
// ---------------------------------------------------------------------------------------------------------------
class IFontData : public IFontInfo
{
public:
  // Copies size bytes and reads face faceIdx of the copy. Null data, a size ≤ 0 or a face index < 0 give an
  // object that is not valid.
  IFontData(const void* data, int size, int faceIdx);

  // The bytes are usable by the renderer: non-empty, a face index ≥ 0 and the face's tables found.
  bool IsValid() const { return GetSize() > 0 && mFaceIdx >= 0 && IFontInfo::IsValid(); }

  const uint8_t* Get() const { return mBytes.data(); }
  int GetSize() const { return static_cast<int>(mBytes.size()); }
  int GetFaceIdx() const { return mFaceIdx; }

private:
  std::vector<uint8_t> mBytes;
  int mFaceIdx = -1;
};

using IFontDataPtr = std::unique_ptr<IFontData>;

// ---------------------------------------------------------------------------------------------------------------
// PlatformFont — a font as the platform made it
// ---------------------------------------------------------------------------------------------------------------
using FontDescriptor = const void*; // the platform's descriptor (CTFontDescriptorRef on macOS)

class PlatformFont
{
public:
  // isSystem: the font was found among the installed fonts by family name.
  explicit PlatformFont(bool isSystem) : mSystem(isSystem) {}
  virtual ~PlatformFont() = default;

  PlatformFont(const PlatformFont&) = delete;
  PlatformFont& operator=(const PlatformFont&) = delete;

  // The platform's descriptor; the font keeps ownership.
  virtual FontDescriptor GetDescriptor() { return nullptr; }
  // A copy of the font's bytes with the face it stands for; null when the platform has none.
  virtual IFontDataPtr GetFontData() { return nullptr; }

  bool IsSystem() const { return mSystem; }

private:
  bool mSystem;
};

using PlatformFontPtr = std::unique_ptr<PlatformFont>;

// The process-wide font-data cache: font IDs at scale 1.0. Every drawing context retains it while it lives.
StaticStorage<IFontData>& FontDataCache();

} // namespace plugin::igraphics
