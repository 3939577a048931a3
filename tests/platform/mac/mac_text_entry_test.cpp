// The native text field as the view sets it up for each kind of parameter and text style: what may be typed, the
// alignment, the vertically centring cell, the colours and the font size (which must give native text the
// renderer's visual height: checked against FreeType's metrics of the font). Fonts an open editor loads by family
// name and style or from memory, which reach the descriptor cache and the renderer alike. The formatter's objects.

#include "support/MacTestEditor.h"

#include "controls/IControl.h"
#include "framework/IParam.h"
#include "platform/mac/CoreTextFont.h"
#include "platform/mac/IGraphicsMacNative.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace mactest;

namespace
{

const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

enum ETypeParams
{
  kBool,
  kInt,
  kEnum,
  kDouble,
  kUntyped, // never initialised
  kNumTypeParams
};

// An editor with one parameter of each type, its fonts loaded, opened in a headless window at draw scale 2.
class TypesEditor : public IGEditorDelegate
{
public:
  TypesEditor() : IGEditorDelegate(kNumTypeParams)
  {
    GetParam(kBool)->InitBool("Bypass", false);
    GetParam(kInt)->InitInt("Count", 1, -10, 100);
    GetParam(kEnum)->InitEnum("Mode", 0, 3);
    GetParam(kDouble)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    SetMakeGraphicsFunc([this]() -> IGraphics* { return new IGraphicsMac(*this, kW, kH, 60, 2.f); });
    SetLayoutFunc([this](IGraphics* g) {
      if (!GetGraphicsReady()) return;
      g->LoadFont("Roboto-Regular", kRoboto);
      g->AttachPanelBackground(IPattern(IColor(255, 230, 230, 230)));
    });
  }
  ~TypesEditor() override { CloseWindow(); }
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
  IGraphicsMac& G() const { return *static_cast<IGraphicsMac*>(GetUI()); }
};

// unitsPerEm / (ascender − descender) of the font as FreeType reads it.
double FreeTypeSizeFactor(const char* path)
{
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) return 0;
  double factor = 0;
  FT_Face face = nullptr;
  if (!FT_New_Face(lib, path, 0, &face))
  {
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    if (hhea && head) factor = double(head->Units_Per_EM) / (hhea->Ascender - hhea->Descender);
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  return factor;
}

bool Accepts(NSFormatter* f, const char* text)
{
  return f->isPartialStringValid_newEditingString_errorDescription(NSString::stringWithUTF8String(text), nullptr,
                                                                   nullptr);
}

TEST(MacTextEntry, FieldFollowsTheParameterAndTheStyle)
{
  NSAutoreleasePool pool;
  ZQAppKitReset();
  NSWindow* window = ZQAppKitMakeWindow(kW * 2, kH * 2, 1.0);
  TypesEditor editor;
  window->contentView()->addSubview(static_cast<NSView*>(editor.OpenWindow(nullptr)));
  IGraphicsMac& g = editor.G();
  IGraphicsView_vZANIQ_au* view = g.GetView();
  const double size = 12.0 * 2 * FreeTypeSizeFactor(kRoboto);
  ASSERT_GT(size, 0);

  struct Row
  {
    int param;
    int32_t align, vAlign;
    NSTextAlignment nsAlign;
    bool centredCell;
    std::vector<const char*> accepted, refused; // empty both: no formatter
  };
  const Row rows[] = {
      {kBool, kAlignNear, kVAlignTop, NSTextAlignmentLeft, false, {"1", "-0", "+1"}, {"1.", "y"}},
      {kInt, kAlignCenter, kVAlignMiddle, NSTextAlignmentCenter, true, {"-12", "+7"}, {"1.5", "2k"}},
      {kEnum, kAlignFar, kVAlignBottom, NSTextAlignmentRight, false, {"2", "12345"}, {"123456", " 2"}},
      {kDouble, 7, kVAlignMiddle, NSTextAlignmentNatural, true, {"-3.5k", "2.5K", "+.5"}, {"1e3", "2,5"}},
      {kUntyped, kAlignNear, kVAlignMiddle, NSTextAlignmentLeft, true, {""}, {"1", "a"}},
      {-1, kAlignNear, kVAlignMiddle, NSTextAlignmentLeft, true, {}, {}},
      {kNumTypeParams, kAlignNear, kVAlignMiddle, NSTextAlignmentLeft, true, {}, {}},
  };
  const IColor background(255, 10, 20, 30), foreground(128, 200, 150, 100);
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.param);
    const IText style(12.f, COLOR_BLACK, "Roboto-Regular", r.align, r.vAlign, 0.f, background, foreground);
    g.CreatePlatformTextEntry(r.param, style, IRECT(10, 10, 90, 30), 5, "12");
    IGraphicsTextField_vZANIQ_au* field = view->textField();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(ZQAppKitFocusedTextField(window), field);
    EXPECT_STREQ(field->stringValue()->UTF8String(), "12");
    EXPECT_EQ(field->frame().origin.x, 20);
    EXPECT_EQ(field->frame().size.height, 40);
    EXPECT_EQ(field->alignment(), r.nsAlign);
    EXPECT_EQ(dynamic_cast<IGraphicsTextFieldCell_vZANIQ_au*>(field->cell()) != nullptr, r.centredCell);
    ASSERT_NE(field->font(), nullptr);
    EXPECT_NEAR(field->font()->pointSize(), size, 1e-9);
    EXPECT_EQ(field->cell()->lineBreakMode(), NSLineBreakByTruncatingTail);
    EXPECT_FALSE(field->isBordered());
    EXPECT_DOUBLE_EQ(field->textColor()->redComponent(), 200 / 255.0);
    EXPECT_DOUBLE_EQ(field->textColor()->alphaComponent(), 128 / 255.0);
    EXPECT_DOUBLE_EQ(field->backgroundColor()->blueComponent(), 30 / 255.0);
    EXPECT_DOUBLE_EQ(field->backgroundColor()->alphaComponent(), 1.0);

    NSFormatter* formatter = field->formatter();
    EXPECT_EQ(formatter != nullptr, !r.accepted.empty() || !r.refused.empty());
    if (formatter)
    {
      for (const char* t : r.accepted)
        EXPECT_TRUE(Accepts(formatter, t)) << t;
      for (const char* t : r.refused)
        EXPECT_FALSE(Accepts(formatter, t)) << t;
    }

    // One field at a time: a second entry leaves the first as it is.
    g.CreatePlatformTextEntry(kInt, IText(), IRECT(0, 0, 10, 10), 3, "9");
    EXPECT_EQ(view->textField(), field);
    g.ForceEndUserEdit();
    EXPECT_EQ(view->textField(), nullptr);
  }
  editor.CloseWindow();
  window->release();
}

float Width(IGraphics& g, const char* font)
{
  IRECT bounds;
  return g.MeasureText(IText(20.f, COLOR_BLACK, font), "Loudness 1234", bounds);
}

// Loaded by family and style or from memory, a font measures as the same font loaded from its file.
TEST(MacEditorFonts, ByFamilyAndFromMemory)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsMac& g = e.G();

  ASSERT_TRUE(g.LoadFont("bold-file", kDejaVuBold));
  EXPECT_TRUE(g.LoadFont("bold-family", "DejaVu Sans", ETextStyle::Bold));
  const CoreTextFontDescriptor* bold = FindCoreTextFont("bold-family");
  ASSERT_NE(bold, nullptr);
  EXPECT_DOUBLE_EQ(bold->GetSizeFactor(), FreeTypeSizeFactor(kDejaVuBold));
  EXPECT_GT(Width(g, "bold-family"), 0.f);
  EXPECT_EQ(Width(g, "bold-family"), Width(g, "bold-file"));

  std::ifstream in(kRoboto, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(bytes.empty());
  EXPECT_TRUE(g.LoadFont("memory", bytes.data(), static_cast<int>(bytes.size())));
  const CoreTextFontDescriptor* memory = FindCoreTextFont("memory");
  ASSERT_NE(memory, nullptr);
  EXPECT_DOUBLE_EQ(memory->GetSizeFactor(), FreeTypeSizeFactor(kRoboto));
  EXPECT_EQ(Width(g, "memory"), Width(g, "Roboto-Regular"));
  EXPECT_NE(Width(g, "memory"), Width(g, "bold-family"));

  // Families that are not installed and bytes that are no font load nothing.
  EXPECT_FALSE(g.LoadFont("missing", "Zaniq No Such Family", ETextStyle::Italic));
  char junk[64] = {};
  EXPECT_FALSE(g.LoadFont("junk", junk, sizeof junk));
  EXPECT_EQ(FindCoreTextFont("missing"), nullptr);
  EXPECT_EQ(FindCoreTextFont("junk"), nullptr);
}

// The formatter hands strings through as they are and gives each a copy of its own.
TEST(MacFormatter, ObjectsOfStrings)
{
  NSAutoreleasePool pool;
  auto* f = new IGraphicsFormatter_vZANIQ_au();
  NSString* text = NSString::stringWithUTF8String("4.5 dB");
  EXPECT_EQ(f->stringForObjectValue(text), text);
  EXPECT_EQ(f->stringForObjectValue(NSNumber::numberWithInt(4)), nullptr);
  EXPECT_EQ(f->stringForObjectValue(nullptr), nullptr);
  NSObject* out = nullptr;
  EXPECT_TRUE(f->getObjectValue_forString_errorDescription(&out, text, nullptr));
  ASSERT_NE(out, nullptr);
  EXPECT_NE(out, text);
  EXPECT_STREQ(dynamic_cast<NSString*>(out)->UTF8String(), "4.5 dB");
  EXPECT_TRUE(f->getObjectValue_forString_errorDescription(nullptr, text, nullptr));
  f->release();
}

} // namespace
