// The plug-in base's operations over runs and groups of parameters (initialise, clone, copy, default, randomise),
// its empty extra-state defaults, and the identity strings the base formats (this build's line, the host version,
// the API table).

#include "framework/PluginBase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;

namespace
{

// Twenty parameters 0..10, default 1, in no group.
class ListPlug : public PluginBase
{
public:
  explicit ListPlug(int nParams = 20, int api = kAPIAU) : PluginBase(nParams, 1)
  {
    mVersion = PackVersion(2, 2, 11);
    mPluginName.Set("ZANIQ");
    mAPI = api;
    for (int i = 0; i < nParams; ++i)
      GetParam(i)->InitDouble("P", 1.0, 0.0, 10.0, 0.0);
  }
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
  void SetHostVersion(int packed) { mHostVersion = packed; }
  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i)
      v.push_back(GetParam(i)->Value());
    return v;
  }
  std::vector<double> Values(std::initializer_list<int> idx) const
  {
    std::vector<double> v;
    for (int i : idx)
      v.push_back(GetParam(i)->Value());
    return v;
  }
};

} // namespace

TEST(ParamListOps, InitialiseRangesWithRunningNames)
{
  ListPlug plug;
  plug.InitParamRange(16, 18, 1, "Snapshot %d", 2.0, -4.0, 4.0, 0.5, "dB", IParam::kFlagStepped, "Snap");
  for (int i = 16; i <= 18; ++i)
  {
    const IParam& p = *plug.GetParam(i);
    EXPECT_EQ(std::make_tuple(std::string(p.GetName()), std::string(p.GetGroup()), std::string(p.GetLabel()),
                              p.GetMin(), p.GetMax(), p.Value(), p.GetStepped()),
              std::make_tuple("Snapshot " + std::to_string(i - 15), std::string("Snap"), std::string("dB"), -4.0, 4.0,
                              2.0, true))
        << i;
  }
  EXPECT_STREQ(plug.GetParam(15)->GetName(), "P"); // outside the range: untouched

  // Long formatted names are cut to the 31 characters of the field; the range stops at the list's end; an empty
  // range does nothing.
  plug.InitParamRange(18, 25, 1, "A very long parameter name number %d", 0.0, 0.0, 10.0, 0.0);
  EXPECT_EQ(std::string(plug.GetParam(19)->GetName()), "A very long parameter name numb");
  plug.InitParamRange(5, 4, 1, "Never %d", 0.0, 0.0, 1.0, 0.0);
  EXPECT_STREQ(plug.GetParam(4)->GetName(), "P");
}

TEST(ParamListOps, CloneAndCopyByIndex)
{
  ListPlug plug;
  plug.GetParam(3)->InitDouble("Gain 1", 2.0, 0.0, 10.0, 0.0, "dB", 0, "left");
  plug.GetParam(4)->InitDouble("Gain 2", 3.0, 0.0, 10.0, 0.0, "dB", 0, "left");
  plug.GetParam(3)->Set(7.0);
  plug.CloneParamRange(3, 4, 5, "Gain", "Drive", "right");
  // The clone takes the renamed copy and the source's current value.
  EXPECT_EQ(std::make_tuple(std::string(plug.GetParam(5)->GetName()), std::string(plug.GetParam(6)->GetName()),
                            std::string(plug.GetParam(6)->GetGroup()), plug.Values({5, 6})),
            std::make_tuple(std::string("Drive 1"), std::string("Drive 2"), std::string("right"),
                            std::vector<double>{7.0, 3.0}));
  plug.CloneParamRange(18, 19, 19, "x", "y"); // the second target lies outside the list: skipped

  // By index, the tail outside the list is skipped; no count copies nothing.
  plug.GetParam(4)->Set(8.0);
  plug.CopyParamValues(3, 18, 5);
  plug.CopyParamValues(3, 0, 0);
  EXPECT_EQ(plug.Values({0, 18, 19}), (std::vector<double>{1.0, 7.0, 8.0}));

  std::vector<int> seen;
  for (auto [from, to] : {std::pair{-3, 1}, {18, 99}, {5, 4}})
    plug.ForParamInRange(from, to, [&](int idx, IParam&) { seen.push_back(idx); });
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 18, 19}));
}

TEST(ParamListOps, GroupsAreMatchedExactlyAndPairedInIndexOrder)
{
  ListPlug plug;
  // "left": 2, 5, 9; "right": 3, 7; "Left" differs in case.
  for (auto [idx, group] : {std::pair{2, "left"}, {5, "left"}, {9, "left"}, {3, "right"}, {7, "right"}, {8, "Left"}})
    plug.GetParam(idx)->InitDouble("G", 0.0, 0.0, 10.0, 0.0, "", 0, group);
  plug.GetParam(2)->Set(4.0);
  plug.GetParam(5)->Set(6.0);
  plug.GetParam(9)->Set(9.0);

  std::vector<int> seen;
  plug.ForParamInGroup("left", [&](int idx, IParam&) { seen.push_back(idx); });
  plug.ForParamInGroup(nullptr, [&](int idx, IParam&) { seen.push_back(idx); });
  EXPECT_EQ(seen, (std::vector<int>{2, 5, 9}));

  // A longer first group copies only as many as the second has.
  plug.CopyParamValues("left", "right");
  EXPECT_EQ(plug.Values({3, 7, 8}), (std::vector<double>{4.0, 6.0, 0.0}));
}

TEST(ParamListOps, DefaultsAreStoredAsGivenForAllARangeOrAGroup)
{
  ListPlug plug(6);
  // A default outside the range is stored as it is, neither rounded nor clamped.
  plug.GetParam(1)->InitDouble("Wide", 12.5, 0.0, 10.0, 1.0, "", IParam::kFlagStepped, "g");
  plug.GetParam(4)->InitDouble("Other", 3.0, 0.0, 10.0, 0.0, "", 0, "g");
  auto setAll = [&] {
    for (int i = 0; i < plug.NParams(); ++i)
      plug.GetParam(i)->Set(5.0);
  };
  setAll();
  plug.DefaultParamValues("g");
  EXPECT_EQ(plug.Values(), (std::vector<double>{5.0, 12.5, 5.0, 5.0, 3.0, 5.0}));
  setAll();
  plug.DefaultParamValues(2, 3);
  EXPECT_EQ(plug.Values(), (std::vector<double>{5.0, 5.0, 1.0, 1.0, 5.0, 5.0}));
  setAll();
  plug.DefaultParamValues();
  EXPECT_EQ(plug.Values(), (std::vector<double>{1.0, 12.5, 1.0, 1.0, 3.0, 1.0}));
}

TEST(ParamListOps, RandomValuesFollowTheCLibraryGenerator)
{
  // Each parameter concerned takes rand() as a float times 2^-31 as its normalised value, in index order. The
  // reference draws from the same seed: 0..10 linear, unstepped, so the real value is ten times that.
  auto expected = [](unsigned seed, int n) {
    std::srand(seed);
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
      v.push_back(10.0 * static_cast<double>(static_cast<float>(std::rand()) / 2147483648.0f));
    return v;
  };
  ListPlug plug(4);
  plug.GetParam(1)->InitDouble("R", 1.0, 0.0, 10.0, 0.0, "", 0, "rnd");
  plug.GetParam(3)->InitDouble("R", 1.0, 0.0, 10.0, 0.0, "", 0, "rnd");

  std::srand(11);
  plug.RandomiseParamValues();
  const std::vector<double> all = expected(11, 4);
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(plug.GetParam(i)->Value(), all[size_t(i)], 1e-9) << i;

  plug.DefaultParamValues();
  std::srand(12);
  plug.RandomiseParamValues(1, 2);
  const std::vector<double> range = expected(12, 2);
  EXPECT_NEAR(plug.GetParam(1)->Value(), range[0], 1e-9);
  EXPECT_NEAR(plug.GetParam(2)->Value(), range[1], 1e-9);
  EXPECT_EQ(plug.Values({0, 3}), (std::vector<double>{1.0, 1.0}));

  plug.DefaultParamValues();
  std::srand(13);
  plug.RandomiseParamValues("rnd");
  const std::vector<double> group = expected(13, 2);
  EXPECT_NEAR(plug.GetParam(1)->Value(), group[0], 1e-9);
  EXPECT_NEAR(plug.GetParam(3)->Value(), group[1], 1e-9);
  EXPECT_EQ(plug.Values({0, 2}), (std::vector<double>{1.0, 1.0}));

  // Printing the values has no visible effect on them.
  const std::vector<double> before = plug.Values();
  plug.PrintParamValues();
  EXPECT_EQ(plug.Values(), before);
}

TEST(ParamListOps, ExtraStateIsEmptyByDefault)
{
  ListPlug plug(2);
  IByteChunk chunk;
  chunk.Put(int32_t(5));
  EXPECT_TRUE(plug.SerializeExtraState(chunk));
  EXPECT_EQ(std::make_pair(chunk.Size(), plug.UnserializeExtraState(chunk, 3)), std::make_pair(4, 3));
}

TEST(Identity, BuildLineHostVersionAndApiTable)
{
  ListPlug plug(0);
  Util_String text;
  plug.GetPluginVersionStr(text);
  EXPECT_STREQ(text.Get(), "v2.2.11");
  // This build's own line has the compiler's date and hh:mm in the same places.
  plug.GetBuildInfoStr(text);
  EXPECT_TRUE(std::regex_match(text.Get(), std::regex(R"(ZANIQ version v2\.2\.11 AU \(x64\), built on )"
                                                      R"([A-Z][a-z]{2} [ 0-9]\d \d{4} at \d\d:\d\d )")))
      << text.Get();

  // The host version in both forms: 10.7.3 is 10 × 1000 + 7 × 100 + 3 × 10.
  plug.SetHostVersion(PackVersion(10, 7, 3));
  plug.GetHostVersionStr(text);
  EXPECT_EQ(std::make_tuple(std::string(text.Get()), plug.GetHostVersion(false), plug.GetHostVersion(true)),
            std::make_tuple(std::string("v10.7.3"), 0x000A0703, 10730));

  const std::pair<int, const char*> apis[] = {{0, "VST2"}, {1, "VST3"}, {2, "AU"},  {3, "AUv3"}, {4, "AAX"},
                                              {5, "APP"},  {6, "WAM"},  {7, "WEB"}, {8, ""},     {-1, ""}};
  for (const auto& [api, name] : apis)
    EXPECT_STREQ(ListPlug(0, api).GetAPIStr(), name) << api;
}
