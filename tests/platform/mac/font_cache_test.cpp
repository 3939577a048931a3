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
  explicit Counted(int* deaths) : deaths(deaths) {}
  ~Counted() { ++*deaths; }
  int* deaths;
};

} // namespace

TEST(StaticStorage, KeysOwnershipAndTheCountOfContexts)
{
  // The key text is the name followed by "-<scale with one decimal>x".
  EXPECT_EQ(StaticStorage<Counted>::Hash("knob.png", 2.0), std::hash<std::string>()("knob.png-2.0x"));
  EXPECT_EQ(StaticStorage<Counted>::Hash("a", 1.25), std::hash<std::string>()("a-1.2x"));
  EXPECT_EQ(StaticStorage<Counted>::Hash(nullptr, 3.0), std::hash<std::string>()("-3.0x"));

  int deaths = 0;
  {
    StaticStorage<Counted> store;
    store.Retain();
    store.Retain();
    auto* a1 = new Counted(&deaths);
    auto* a2 = new Counted(&deaths);
    auto* later = new Counted(&deaths);
    store.Add(a1, "a", 1.0);
    store.Add(a2, "a", 2.0);
    store.Add(later, "a", 1.0); // behind the first entry of the same key
    store.Add(nullptr, "null", 1.0);
    EXPECT_EQ(store.GetSize(), 3);

    // 1.04 prints as 1.0 (same key text) but is another scale; names compare byte-wise.
    const std::pair<const char*, double> misses[] = {{"a", 1.04}, {"A", 1.0}, {"", 1.0}, {nullptr, 1.0}, {"a", 3.0}};
    for (auto [name, scale] : misses)
      EXPECT_EQ(store.Find(name, scale), nullptr) << (name ? name : "(null)") << " " << scale;
    EXPECT_EQ(store.Find("a", 1.0), a1);
    EXPECT_EQ(store.Find("a", 2.0), a2);

    store.Remove(a1);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(store.Find("a", 1.0), later);
    Counted outsider(&deaths);
    store.Remove(&outsider); // not in the store: nothing happens

    store.Release();
    EXPECT_EQ(deaths, 1) << "one context is still alive";
    store.Release();
    EXPECT_EQ(deaths, 3) << "the last context out deletes each entry once";
    store.Release(); // unbalanced: the count stays at zero
    EXPECT_EQ(store.GetRefCount(), 0);
    store.Add(new Counted(&deaths), "c", 1.0);
  }
  EXPECT_EQ(deaths, 5) << "the destructor deletes what is left (and the outsider went out of scope)";
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
