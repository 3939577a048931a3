// Numbers in preset files and state chunks are written and read in the C locale, whatever locale the host
// process runs in.

#include "engine/support/preset_env.h"

#include <clocale>
#include <cmath>
#include <cstdlib>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

// A German locale (decimal comma) compiled into a temporary LOCPATH, for the lifetime of the object. Ok() is
// false where localedef or the locale sources are missing.
class CommaLocale
{
public:
  CommaLocale()
  {
    char tmpl[] = "/tmp/zaniq_locale_XXXXXX";
    if (!mkdtemp(tmpl)) return;
    mDir = tmpl;
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (mDir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !fs::exists(mDir / "de_DE.UTF-8" / "LC_NUMERIC")) return;
    setenv("LOCPATH", mDir.c_str(), 1);
    mOk = true;
  }
  ~CommaLocale()
  {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    std::error_code ec;
    if (!mDir.empty()) fs::remove_all(mDir, ec);
  }
  bool Ok() const { return mOk; }
  // Switches the process to the comma locale; false when it cannot.
  bool Enter() const
  {
    if (!mOk || !std::setlocale(LC_ALL, "de_DE.UTF-8")) return false;
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    return std::string(probe) == "1,5";
  }
  static void Leave() { std::setlocale(LC_ALL, "C"); }

private:
  fs::path mDir;
  bool mOk = false;
};

} // namespace

TEST(PresetNumbers, ParseRefusesWhatIsNotFinite)
{
  // (Writing matches printf's "%f": every document the preset tests compare with; odd texts: the preset tests.)
  for (const char* text : {"-INF", "nan", "1e999"})
  {
    double v = 42.0;
    EXPECT_FALSE(ParsePresetValue(text, v)) << text;
    EXPECT_EQ(v, 42.0) << text;
  }
}

TEST_F(PresetTest, CommaLocaleChangesNeitherTextNorValues)
{
  CommaLocale locale;
  if (!locale.Ok()) GTEST_SKIP() << "no comma locale can be built here";
  PresetZANIQ& z = MakePlug();
  z.Change(ZANIQ::kReferenceLevel, -12.5);
  z.Change(ZANIQ::kGUIScale, 1.75);
  IByteChunk cChunk;
  ASSERT_TRUE(z.SerializeState(cChunk));
  const std::string expected = ExpectedDocument(z, Values(z), "Init");

  ASSERT_TRUE(locale.Enter());
  IByteChunk commaChunk;
  const bool serialized = z.SerializeState(commaChunk);
  const fs::path path = mHome.Path() / "comma.tps";
  const bool written = z.WritePresetFile(z, Util_String(path.c_str()), Util_String("Init"), false, false, nullptr);
  z.Change(ZANIQ::kReferenceLevel, 0.0);
  z.Change(ZANIQ::kGUIScale, 1.0);
  Util_String name;
  const bool loaded = z.LoadPresetFile(z, Util_String(path.c_str()), name, false, false, false, false, nullptr);
  const double reference = z.GetParam(ZANIQ::kReferenceLevel)->Value();
  const double scale = z.GetParam(ZANIQ::kGUIScale)->Value();
  z.Change(ZANIQ::kReferenceLevel, 0.0);
  const int read = z.UnserializeState(cChunk, 0);
  const double fromChunk = z.GetParam(ZANIQ::kReferenceLevel)->Value();
  CommaLocale::Leave();

  ASSERT_TRUE(serialized);
  EXPECT_TRUE(commaChunk.IsEqual(cChunk));
  ASSERT_TRUE(written);
  EXPECT_EQ(ReadFile(path), expected);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(reference, -12.5);
  EXPECT_EQ(scale, 1.75);
  EXPECT_EQ(read, cChunk.Size());
  EXPECT_EQ(fromChunk, -12.5);
}
