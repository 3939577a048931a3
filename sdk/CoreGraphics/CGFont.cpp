// CoreGraphics fonts: the bytes are checked and named by FreeType, as the platform's own font parser would.
#include <CoreGraphics/CGInternal.h>

#include <ft2build.h>
#include FT_FREETYPE_H

using namespace zqcf;

CGFont::~CGFont()
{
  if (provider) CFRelease(provider);
}

CFTypeID CGFontGetTypeID(void)
{
  return kTypeCGFont;
}

CGFontRef CGFontCreateWithDataProvider(CGDataProviderRef provider)
{
  const CGDataProvider* p = Cast<CGDataProvider>(provider);
  if (!p || p->Size() == 0 || p->Size() > static_cast<size_t>(LONG_MAX)) return nullptr;

  // One library per call: FreeType libraries are not shared between threads.
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return nullptr;
  FT_Face face = nullptr;
  CGFont* font = nullptr;
  if (FT_New_Memory_Face(library, p->Bytes(), static_cast<FT_Long>(p->Size()), 0, &face) == 0)
  {
    if (face->face_flags & FT_FACE_FLAG_SCALABLE)
    {
      font = new CGFont;
      font->provider = CGDataProviderRetain(provider);
      font->family = face->family_name ? face->family_name : "";
      font->style = face->style_name ? face->style_name : "";
      const char* ps = FT_Get_Postscript_Name(face);
      font->postScriptName = ps ? ps : "";
      font->unitsPerEm = face->units_per_EM;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return font;
}

int CGFontGetUnitsPerEm(CGFontRef font)
{
  const CGFont* f = Cast<CGFont>(font);
  return f ? f->unitsPerEm : 0;
}

CFStringRef CGFontCopyPostScriptName(CGFontRef font)
{
  const CGFont* f = Cast<CGFont>(font);
  if (!f || f->postScriptName.empty() || !IsValidUTF8(f->postScriptName)) return nullptr;
  return MakeString(f->postScriptName);
}

CGFontRef CGFontRetain(CGFontRef font)
{
  if (font) CFRetain(font);
  return font;
}

void CGFontRelease(CGFontRef font)
{
  if (font) CFRelease(font);
}
