// The system cursor of each cursor type where the system has its private cursors, the help cursor switched off
// again, the move cursor built from the system's cursor files, and the system version by AppKit release.

#include "support/MacTestEditor.h"

#include <CoreFoundation/CFTesting.h>
#include <CoreServices/CoreServices.h>
#include <gtest/gtest.h>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace mactest;

namespace
{

// ---- Private cursors ----

// Each sequence of cursor types ends showing one cursor. The private cursors are taken where the system has
// them; the help cursor, which stays up over anything set after it, goes away for any other type.
TEST(MacCursor, PrivateCursorsWhereTheSystemHasThem)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  struct Row
  {
    std::vector<int> types;
    const char* shown;
  };
  const Row rows[] = {
      {{2}, "busyButClickable"},
      {{12}, "busyButClickable"},
      {{4}, "_windowResizeNorth"},
      {{5}, "_windowResizeNorthWestSouthEast"},
      {{6}, "_windowResizeNorthEastSouthWest"},
      {{7}, "_windowResizeEastWest"},
      {{8}, "_windowResizeNorthSouth"},
      {{13}, "_help"},
      {{13, 13}, "_help"},
      {{13, 0}, "arrow"},
      {{13, 11}, "pointingHand"},
      {{13, 5}, "_windowResizeNorthWestSouthEast"},
      {{13, 9}, "arrow"}, // no cursor files here
  };
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.shown);
    NSCursor::_setHelpCursor(NO);
    for (int type : r.types)
      e.G().SetMouseCursor(static_cast<ECursor>(type));
    EXPECT_STREQ(ZQAppKitCurrentCursor()->ZQName(), r.shown);
    EXPECT_EQ(NSCursor::helpCursorShown(), r.types.back() == 13 ? YES : NO);
  }
  EXPECT_EQ(ZQAppKitUnrecognizedSelectors(), std::vector<std::string>{});
}

// ---- The move cursor ----

// A temporary folder standing for the root of the system's own folders.
class ScopedSystemRoot
{
public:
  ScopedSystemRoot()
  {
    char tmpl[] = "/tmp/zaniq_system_XXXXXX";
    if (mkdtemp(tmpl)) mPath = tmpl;
    ZQCFSetSystemRoot(mPath.c_str());
  }
  ~ScopedSystemRoot()
  {
    ZQCFSetSystemRoot(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
  }
  ScopedSystemRoot(const ScopedSystemRoot&) = delete;
  ScopedSystemRoot& operator=(const ScopedSystemRoot&) = delete;
  const std::filesystem::path& Path() const { return mPath; }

private:
  std::filesystem::path mPath;
};

// The cursor picture in points (y down): a 16 × 16 field, an opaque red square over [4, 8) × [4, 8).
constexpr int kPicture = 16;
bool InSquare(double x, double y)
{
  return x >= 4 && x < 8 && y >= 4 && y < 8;
}

// The share of a box [a, b) a Gaussian of standard deviation sigma centred at c covers (sigma 0: inside or not).
double Cover(double c, double a, double b, double sigma)
{
  if (sigma == 0) return c >= a && c < b ? 1.0 : 0.0;
  const double k = 1.0 / (sigma * std::sqrt(2.0));
  return 0.5 * (std::erf((b - c) * k) - std::erf((a - c) * k));
}

// The pixels of a bitmap representation (RGBA, premultiplied), drawn into a context of its own.
std::vector<uint8_t> Pixels(NSBitmapImageRep* rep, size_t& w, size_t& h)
{
  CGImageRef image = rep->CGImage();
  w = CGImageGetWidth(image);
  h = CGImageGetHeight(image);
  std::vector<uint8_t> px(w * h * 4, 0);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(px.data(), w, h, 8, w * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextDrawImage(ctx, CGRectMake(0, 0, static_cast<CGFloat>(w), static_cast<CGFloat>(h)), image);
  CGContextRelease(ctx);
  return px;
}

// With the system's cursor files in place, the move cursor carries their hot spot and, for each backing scale 1 to
// 4, a bitmap of the picture at that scale over its shadow: moved by the offset and blurred by the blur (points,
// so both grow with the scale), in the shadow colour. Checked against the box-under-a-Gaussian integral.
TEST(MacCursor, MoveCursorFromTheSystemsCursorFiles)
{
  ScopedSystemRoot root;
  const std::filesystem::path folder = root.Path() / "System/Library/Frameworks/ApplicationServices.framework/"
                                                     "Versions/A/Frameworks/HIServices.framework/Versions/A/"
                                                     "Resources/cursors/move";
  std::filesystem::create_directories(folder);
  // The stand-in reads images by their content: a PNG stands in for the system's PDF.
  std::vector<uint8_t> picture(kPicture * kPicture * 4, 0);
  for (int y = 0; y < kPicture; ++y)
    for (int x = 0; x < kPicture; ++x)
      if (InSquare(x + 0.5, y + 0.5)) picture[(y * kPicture + x) * 4] = 255, picture[(y * kPicture + x) * 4 + 3] = 255;
  ASSERT_TRUE(stbi_write_png((folder / "cursor.pdf").c_str(), kPicture, kPicture, 4, picture.data(), kPicture * 4));

  // Shadow offset (1, -2): right 1, down 2 (y up); blue at half alpha.
  const double offX = 1, offY = -2, shadowAlpha = 0.5;
  for (double blur : {0.0, 2.0})
  {
    SCOPED_TRACE(blur);
    NSAutoreleasePool pool;
    std::ofstream(folder / "info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        << "<key>hotx-scaled</key><real>4.5</real><key>hoty-scaled</key><integer>3</integer>"
        << "<key>blur</key><real>" << blur << "</real>"
        << "<key>shadowoffsetx</key><real>" << offX << "</real><key>shadowoffsety</key><real>" << offY << "</real>"
        << "<key>shadowcolor</key><array><real>0</real><real>0</real><real>1</real><real>" << shadowAlpha
        << "</real></array></dict></plist>\n";
    OpenEditor e; // a new view reads the files again
    e.G().SetMouseCursor(static_cast<ECursor>(9));
    NSCursor* cursor = ZQAppKitCurrentCursor();
    ASSERT_STREQ(cursor->ZQName(), "image");
    EXPECT_EQ(cursor->hotSpot().x, 4.5);
    EXPECT_EQ(cursor->hotSpot().y, 3.0);
    NSImage* image = cursor->image();
    EXPECT_EQ(image->size().width, kPicture);
    EXPECT_EQ(image->size().height, kPicture);
    NSArray* reps = image->representations();
    ASSERT_EQ(reps->count(), 4u);

    const double sigma = blur / 2; // the stand-in's blur is a Gaussian of this deviation
    const int tolerance = blur == 0 ? 1 : 3;
    for (NSUInteger i = 0; i < 4; ++i)
    {
      const int factor = static_cast<int>(i) + 1;
      SCOPED_TRACE(factor);
      auto* rep = dynamic_cast<NSBitmapImageRep*>(reps->objectAtIndex(i));
      ASSERT_NE(rep, nullptr);
      EXPECT_EQ(rep->size().width, kPicture);
      EXPECT_EQ(rep->size().height, kPicture);
      size_t w = 0, h = 0;
      const std::vector<uint8_t> px = Pixels(rep, w, h);
      ASSERT_EQ(w, size_t(kPicture * factor));
      ASSERT_EQ(h, size_t(kPicture * factor));
      int worst = 0;
      for (size_t row = 0; row < h; ++row)
        for (size_t col = 0; col < w; ++col)
        {
          const double x = (col + 0.5) / factor, y = (row + 0.5) / factor;
          uint8_t want[4];
          if (InSquare(x, y))
            want[0] = 255, want[1] = 0, want[2] = 0, want[3] = 255;
          else
          {
            // The square's shadow lies over [4 + offX, 8 + offX) × [4 - offY, 8 - offY) (y down).
            const double a = shadowAlpha * Cover(x, 4 + offX, 8 + offX, sigma) * Cover(y, 4 - offY, 8 - offY, sigma);
            const auto v = static_cast<uint8_t>(std::lround(a * 255));
            want[0] = 0, want[1] = 0, want[2] = v, want[3] = v;
          }
          for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(int(px[(row * w + col) * 4 + c]) - int(want[c])));
        }
      EXPECT_LE(worst, tolerance);
      if (worst > tolerance)
      {
        const std::string file = ::testing::TempDir() + "move_cursor_blur" + std::to_string(int(blur)) + "_x" +
                                 std::to_string(factor) + ".png";
        stbi_write_png(file.c_str(), int(w), int(h), 4, px.data(), int(w) * 4);
        ADD_FAILURE() << "cursor bitmap written to " << file;
      }
    }
  }
}

// ---- System version ----

// Releases from 10.11 on answer 0x10B0, 10.10 answers 0x10A0, and anything older asks Gestalt. The answer is
// computed once per process, so each release runs in a process of its own, and a later change is not seen.
TEST(MacSystem, VersionByAppKitRelease)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SInt32 gestalt = 0;
  ASSERT_EQ(Gestalt(gestaltSystemVersion, &gestalt), noErr);
  ASSERT_NE(gestalt, 0x1040);
  ASSERT_NE(gestalt, 0x10A0);
  ASSERT_NE(gestalt, 0x10B0);
  struct Row
  {
    double appKit;
    int version;
  };
  const Row rows[] = {{1038, gestalt},  {1265.9, gestalt}, {1266, 0x10A0},
                      {1403.9, 0x10A0}, {1404, 0x10B0},    {2487, 0x10B0}};
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.appKit);
    EXPECT_EXIT(
        {
          ZQAppKitSetVersionNumber(r.appKit);
          const int first = IGraphicsMac::GetSystemVersion();
          ZQAppKitSetVersionNumber(r.appKit < 1266 ? 2487 : 1038);
          const int second = IGraphicsMac::GetSystemVersion();
          // A normal exit, so that what the child ran is counted like any other test's.
          std::exit(first == r.version && second == r.version ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

} // namespace
