// The process-wide caches: keys by name and scale, ownership of entries, the count of live contexts, and the
// descriptor cache with its size factor.

#include "FontReference.h"

#include "platform/mac/CoreTextFont.h"

#include <gtest/gtest.h>

#include <functional>

using namespace plugin::igraphics;

namespace
{

// Counts its destructions.
struct Counted
{
  explicit Counted(int* deaths, int tag = 0) : deaths(deaths), tag(tag) {}
  ~Counted() { ++*deaths; }
  int* deaths;
  int tag;
};

} // namespace

TEST(StaticStorage, KeysAreNameAndScaleExactly)
{
  // The key text is the name followed by "-<scale with one decimal>x".
  EXPECT_EQ(StaticStorage<Counted>::Hash("knob.png", 2.0), std::hash<std::string>()("knob.png-2.0x"));
  EXPECT_EQ(StaticStorage<Counted>::Hash("Roboto-Regular", 1.0), std::hash<std::string>()("Roboto-Regular-1.0x"));
  EXPECT_EQ(StaticStorage<Counted>::Hash("a", 1.25), std::hash<std::string>()("a-1.2x"));
  EXPECT_EQ(StaticStorage<Counted>::Hash(nullptr, 3.0), std::hash<std::string>()("-3.0x"));

  int deaths = 0;
  {
    StaticStorage<Counted> store;
    auto* a1 = new Counted(&deaths, 1);
    auto* a2 = new Counted(&deaths, 2);
    auto* b = new Counted(&deaths, 3);
    auto* later = new Counted(&deaths, 4);
    store.Add(a1, "a", 1.0);
    store.Add(a2, "a", 2.0);
    store.Add(b, "b", 1.0);
    store.Add(later, "a", 1.0); // a second entry of the same key stays behind the first

    struct Case
    {
      const char* name;
      double scale;
      Counted* expected;
    };
    const Case cases[] = {
        {"a", 1.0, a1}, {"a", 2.0, a2}, {"b", 1.0, b}, {"b", 2.0, nullptr},
        // Same key text, different scale: "1.04" prints as 1.0 but is not the scale of the entry.
        {"a", 1.04, nullptr}, {"A", 1.0, nullptr}, {"", 1.0, nullptr}, {nullptr, 1.0, nullptr},
    };
    for (const Case& c : cases)
      EXPECT_EQ(store.Find(c.name, c.scale), c.expected) << (c.name ? c.name : "(null)") << " " << c.scale;

    EXPECT_EQ(store.GetSize(), 4);
    store.Add(nullptr, "null", 1.0);
    EXPECT_EQ(store.GetSize(), 4) << "null objects are not stored";

    store.Remove(a1);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(store.Find("a", 1.0), later);
    Counted outsider(&deaths);
    store.Remove(&outsider);
    EXPECT_EQ(store.GetSize(), 3);
    EXPECT_EQ(deaths, 1);

    store.Clear();
    EXPECT_EQ(deaths, 4) << "each entry deleted once";
    EXPECT_EQ(store.GetSize(), 0);
    store.Add(new Counted(&deaths), "c", 1.0);
  }
  EXPECT_EQ(deaths, 6) << "the destructor deletes what is left (and the outsider went out of scope)";
}

TEST(StaticStorage, TheLastContextOutClearsTheStore)
{
  int deaths = 0;
  StaticStorage<Counted> store;
  store.Retain();
  store.Retain();
  store.Add(new Counted(&deaths), "x", 1.0);
  store.Release();
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(store.GetRefCount(), 1);
  store.Release();
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(store.GetRefCount(), 0);

  // An unbalanced release neither goes below zero nor keeps the next context from counting.
  store.Release();
  EXPECT_EQ(store.GetRefCount(), 0);
  store.Retain();
  store.Add(new Counted(&deaths), "y", 1.0);
  EXPECT_EQ(store.GetSize(), 1);
  store.Release();
  EXPECT_EQ(deaths, 2);
}

TEST(FontDataCache, OwnsWhatItIsGiven)
{
  auto& cache = FontDataCache();
  const auto bytes = fontref::ReadFile(fontref::kRoboto);
  cache.Retain();
  auto* data = new IFontData(bytes.data(), static_cast<int>(bytes.size()), 0);
  cache.Add(data, "Roboto-Regular", 1.0);
  EXPECT_EQ(cache.Find("Roboto-Regular", 1.0), data);
  EXPECT_EQ(cache.Find("Roboto-Regular", 2.0), nullptr);
  cache.Release();
  EXPECT_EQ(cache.Find("Roboto-Regular", 1.0), nullptr);
}

TEST(CoreTextFontDescriptorCache, KeepsTheFirstDescriptorWithItsSizeFactor)
{
  auto& cache = CoreTextFontDescriptorCache();
  cache.Retain();

  const auto bytes = fontref::ReadFile(fontref::kDejaVu);
  const auto ref = fontref::FreeTypeMetrics(bytes, 0);
  ASSERT_TRUE(ref);
  PlatformFontPtr first = CoreTextFont::FromResource("id", fontref::kDejaVu, "com.example.none", nullptr);
  PlatformFontPtr second = CoreTextFont::FromResource("id", fontref::kRoboto, "com.example.none", nullptr);
  ASSERT_TRUE(first && second);
  auto descriptor = static_cast<CTFontDescriptorRef>(first->GetDescriptor());
  const CFIndex retainsBefore = CFGetRetainCount(descriptor);

  EXPECT_EQ(FindCoreTextFont("sans"), nullptr);
  EXPECT_TRUE(CacheCoreTextFont("sans", *first));
  EXPECT_FALSE(CacheCoreTextFont("sans", *second)) << "the first descriptor stays";
  const CoreTextFontDescriptor* cached = FindCoreTextFont("sans");
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(cached->GetDescriptor(), descriptor);
  EXPECT_EQ(CFGetRetainCount(descriptor), retainsBefore + 1) << "the cache holds its own reference";
  EXPECT_DOUBLE_EQ(cached->GetSizeFactor(), double(ref->unitsPerEm) / (ref->ascender - ref->descender));

  // The font may go; the cached descriptor lives on until the cache is cleared.
  first.reset();
  EXPECT_EQ(CFGetRetainCount(descriptor), retainsBefore);
  CFRetain(descriptor);
  cache.Release();
  EXPECT_EQ(FindCoreTextFont("sans"), nullptr);
  EXPECT_EQ(CFGetRetainCount(descriptor), 1) << "released when the cache was cleared: only the test's own remains";
  CFRelease(descriptor);
}

TEST(CoreTextFontDescriptorCache, AFlatFontGetsTheSizeFactorOne)
{
  // A face whose ascender equals its descender has no height to scale by.
  const std::string path = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged-sfnt/ok-flat-height.ttf";
  const auto bytes = fontref::ReadFile(path);
  IFontInfo flat(bytes.data(), bytes.size(), 0);
  ASSERT_TRUE(flat.IsValid());
  EXPECT_EQ(flat.GetAscender(), flat.GetDescender());
  EXPECT_EQ(flat.GetHeightEMRatio(), 1.0);

  const std::string minimal = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged-sfnt/ok-minimal.ttf";
  const auto good = fontref::ReadFile(minimal);
  EXPECT_DOUBLE_EQ(IFontInfo(good.data(), good.size(), 0).GetHeightEMRatio(), 2048.0 / (1900 + 500));
  EXPECT_EQ(IFontInfo(nullptr, 0, 0).GetHeightEMRatio(), 1.0);
}
