// The latency the host hears of (from the idle tick, at once on the hosts that need it, from the audio thread under
// Pro Tools, after a reset at a new rate), the info and update requests that wait for an editor, and the host names
// of the info page.

#include "engine/support/editor_env.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace plugin;
using namespace testsupport;

TEST_F(EditorTest, IdleReportsTheTargetLatencyExceptUnderProToolsWhereTheAudioThreadDoes)
{
  TestZANIQ& z = Make();
  z.SetHost("REAPER", 0);
  z.SetTargetLatencyForTest(64);
  z.OnIdle(); // no editor needed
  EXPECT_EQ(z.GetLatency(), 64);
  z.SetTargetLatencyForTest(0);
  z.OnIdle();
  EXPECT_EQ(z.GetLatency(), 0);

  TestZANIQ& pt = Make();
  pt.SetHost("ProTools", 0);
  ASSERT_EQ(pt.GetHost(), kHostProTools);
  pt.SetTargetLatencyForTest(64);
  pt.OnIdle();
  EXPECT_EQ(pt.GetLatency(), 0);
  pt.RunBlock(); // the next block reports it
  EXPECT_EQ(pt.GetLatency(), 64);

  // Before the host is known nothing is reported by either path.
  TestZANIQ& unknown = Make();
  unknown.SetTargetLatencyForTest(32);
  unknown.OnIdle();
  unknown.RunBlock();
  EXPECT_EQ(unknown.GetLatency(), 0);
}

TEST_F(EditorTest, AChangeResetsTheLatencyAtOnceOnListedHostsAndLeavesItToTheTickElsewhere)
{
  const std::pair<const char*, bool> hosts[] = {{"Logic Pro X", true},     {"Fruity Wrapper", true},
                                                {"PreSonus Studio One", true}, {"SADiE 6", true},
                                                {"REAPER", false},         {"Bitwig Studio", false}};
  for (const auto& [host, atOnce] : hosts)
  {
    SCOPED_TRACE(host);
    TestZANIQ& z = Make();
    z.SetHost(host, 0);
    z.SetLatency(256);
    z.SetTargetLatencyForTest(256);
    z.Change(ZANIQ::kReferenceLevel, -12.0);
    EXPECT_EQ(std::pair(z.GetLatency(), z.GetTargetLatency()), std::pair(atOnce ? 0 : 256, 0));
    z.OnIdle();
    EXPECT_EQ(z.GetLatency(), 0);
  }
}

TEST_F(EditorTest, AResetAtANewRateAndAReinitialisationReportTheInitialLatency)
{
  TestZANIQ& z = Make();
  z.SetHost("REAPER", 0);
  z.SetLatency(300);
  z.SetTargetLatencyForTest(300);
  z.OnReset(); // same rate and block size: nothing is rebuilt or reported
  EXPECT_EQ(z.GetLatency(), 300);
  z.SetSampleRate(96000.0);
  z.OnReset();
  EXPECT_EQ(std::tuple(z.GetLatency(), z.GetTargetLatency(), z.GetDSPSampleRate()), std::tuple(0, 0, 96000.0));

  z.SetLatency(128);
  z.SetTargetLatencyForTest(128);
  z.ReinitDSP();
  EXPECT_EQ(std::pair(z.GetLatency(), z.GetTargetLatency()), std::pair(0, 0));
}

TEST_F(EditorTest, InfoAndUpdateRequestsNeedAnEditorAndWaitForItsTick)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(47); // without an editor: no request
  z.Command(48);
  EXPECT_FALSE(z.IsInfoPageRequested() || z.IsUpdateMessageRequested());
  z.OpenEditor();
  z.Command(47);
  z.CloseWindow();
  z.OnIdle(); // the request waits while the editor is closed
  EXPECT_TRUE(z.boxes.empty() && z.IsInfoPageRequested());
  z.OpenEditor();
  z.OnIdle();
  ASSERT_EQ(z.boxes.size(), 1u);
  EXPECT_EQ(z.boxes[0].caption, "About");
  EXPECT_FALSE(z.IsInfoPageRequested());
}

// An editor whose message box runs something while it is up, as a host's loop runs inside a modal box.
class BoxedEditorZANIQ : public EditorZANIQ
{
public:
  std::function<void()> whileUp; // runs once, under the next box
  void ShowEditorMessageBox(const char* text, const char* caption) override
  {
    EditorZANIQ::ShowEditorMessageBox(text, caption);
    if (auto f = std::exchange(whileUp, nullptr)) f();
  }
};

// The host disposes of the unit (from inside the tick, before the About box or while it is up), or closes the
// editor while the box is up. The rest of the tick starts no update check, no network request and no second box;
// a request left waiting is kept for the next editor. The service "listens" on a port where nothing does: a
// transfer that starts is refused at once and leaves its curl status.
TEST_F(EditorTest, NothingNewStartsOnceTheUnitIsGoing)
{
  enum class Going { PluginBeforeTheTick, PluginUnderTheAboutBox, EditorUnderTheAboutBox };
  const struct
  {
    Going going;
    bool automaticCheckDue;
    std::vector<std::string> boxes;
  } cases[] = {
      {Going::PluginBeforeTheTick, true, {}},
      {Going::PluginUnderTheAboutBox, false, {"About"}},
      {Going::EditorUnderTheAboutBox, false, {"About"}},
  };
  UpdateCheck::SetHost("https://127.0.0.1:1");
  for (const auto& c : cases)
  {
    SCOPED_TRACE(static_cast<int>(c.going));
    UpdateCheck::SetChecked(!c.automaticCheckDue);
    BoxedEditorZANIQ z;
    z.OpenEditor();
    z.Command(47); // About
    z.Command(48); // Check for update
    bool disposed = false;
    const auto dispose = [&] { z.GetLifetime().Dispose([&] { disposed = true; }); };
    {
      // The timer's scope: a disposal asked inside the tick waits for it to return.
      plugin::Lifetime::Scope tick(z.GetLifetime());
      if (c.going == Going::PluginBeforeTheTick)
        dispose();
      else if (c.going == Going::PluginUnderTheAboutBox)
        z.whileUp = dispose;
      else
        z.whileUp = [&] { z.CloseWindow(); };
      z.OnIdle();
      EXPECT_FALSE(disposed);
    }
    EXPECT_EQ(disposed, c.going != Going::EditorUnderTheAboutBox);
    std::vector<std::string> captions;
    for (const auto& box : z.boxes) captions.push_back(box.caption);
    EXPECT_EQ(captions, c.boxes);
    EXPECT_EQ(z.GetUpdateStatus(), -1); // no transfer began
    EXPECT_EQ(UpdateCheck::WasChecked(), !c.automaticCheckDue);
    EXPECT_TRUE(z.IsUpdateMessageRequested());
  }
}

TEST(ZaniqInfoPage, HostDisplayNames)
{
  const std::pair<int, const char*> names[] = {
      {1, "Reaper"},      {2, "Protools"},    {7, "FL Studio"},         {21, "Logic Pro"}, {22, "Garageband"},
      {26, "Studio One"}, {34, "Bitwig Studio"}, {46, "Sadie"},         {66, "UAD Luna Win"},
      {67, "DDMF MetaPlugin"}, {0, "Unknown"}, {-1, "Unknown"},         {68, "Unknown"}};
  for (const auto& [host, name] : names) EXPECT_STREQ(ZANIQ::GetHostDisplayName(host), name) << host;
}
