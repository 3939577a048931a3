// Product instances opened by one host pair up on their own: each new instance takes the lowest Link ID that
// lacks a Sender or a Receiver, whichever is lower (Sender on a tie), and a closed instance frees its place.
// Role and Link ID are read back as a host reads them, through the "Plugin Mode" and "Link ID" parameters.

#include "au/testplug/TestBundles.h"

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace auhost;

namespace
{

// Points HOME at a fresh temporary folder for its lifetime (the plug-in keeps its settings there).
class ScopedHome
{
public:
  ScopedHome()
  {
    char tmpl[] = "/tmp/zaniq_zhost_XXXXXX";
    if (mkdtemp(tmpl)) mPath = tmpl;
    if (const char* old = std::getenv("HOME")) mOld = old, mHadOld = true;
    if (!mPath.empty()) setenv("HOME", mPath.c_str(), 1);
  }
  ~ScopedHome()
  {
    if (mHadOld)
      setenv("HOME", mOld.c_str(), 1);
    else
      unsetenv("HOME");
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  bool Ok() const { return !mPath.empty(); }

private:
  std::string mPath;
  std::string mOld;
  bool mHadOld = false;
};

enum Mode
{
  kSender = 0,
  kReceiver = 1
};

struct Role
{
  int mode = -1;
  int link = -1;
  bool operator==(const Role&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Role& r)
{
  return os << (r.mode == kSender ? "Sender" : r.mode == kReceiver ? "Receiver" : "?") << " on " << r.link;
}

constexpr Role Sender(int link) { return {kSender, link}; }
constexpr Role Receiver(int link) { return {kReceiver, link}; }

class ZaniqPairing : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(mHome.Ok());
    ASSERT_OK(Bundle::Load(ZANIQ_PRODUCT_BUNDLE, mBundle));
  }
  // Every instance goes before the home folder does.
  void TearDown() override { mUnits.clear(); }

  // Opens one more instance; its slot number in mUnits is returned through `slot`.
  void Open(size_t& slot)
  {
    std::unique_ptr<Instance> unit;
    ASSERT_OK(Instance::Open(mBundle->Main().component, unit));
    mUnits.push_back(std::move(unit));
    slot = mUnits.size() - 1;
  }
  void Close(size_t slot) { mUnits[slot].reset(); }

  // Role and Link ID as the host reads them, looked up by parameter name. The parameters' defaults carry the
  // same pairing.
  Role RoleOf(size_t slot) const
  {
    const Instance& unit = *mUnits[slot];
    Role r;
    ParameterDesc mode, link;
    EXPECT_OK(unit.FindParameter("Plugin Mode", mode));
    EXPECT_OK(unit.FindParameter("Link ID", link));
    Float32 m = std::numeric_limits<Float32>::quiet_NaN(), l = m;
    EXPECT_OK(unit.GetParameter(mode.id, m));
    EXPECT_OK(unit.GetParameter(link.id, l));
    EXPECT_EQ(mode.defaultValue, m) << "Plugin Mode default";
    EXPECT_EQ(link.defaultValue, l) << "Link ID default";
    r.mode = int(m);
    r.link = int(l);
    return r;
  }

  // Opens an instance and checks the role it took.
  size_t OpenExpecting(const Role& expected)
  {
    size_t slot = 0;
    Open(slot);
    if (!HasFatalFailure())
    {
      EXPECT_EQ(RoleOf(slot), expected);
    }
    return slot;
  }

  ScopedHome mHome;
  std::shared_ptr<const Bundle> mBundle;
  std::vector<std::unique_ptr<Instance>> mUnits;
};

} // namespace

TEST_F(ZaniqPairing, NewInstancesFillSenderThenReceiverPerLink)
{
  const size_t s1 = OpenExpecting(Sender(1));
  const size_t r1 = OpenExpecting(Receiver(1));
  const size_t s2 = OpenExpecting(Sender(2));
  OpenExpecting(Receiver(2));
  OpenExpecting(Sender(3));
  // Opening more changes nobody's pairing.
  EXPECT_EQ(RoleOf(s1), Sender(1));
  EXPECT_EQ(RoleOf(r1), Receiver(1));
  EXPECT_EQ(RoleOf(s2), Sender(2));
}

TEST_F(ZaniqPairing, ClosedPlaceIsTakenAgain)
{
  OpenExpecting(Sender(1));
  const size_t r1 = OpenExpecting(Receiver(1));
  OpenExpecting(Sender(2));

  // Without Receiver 1, Link 1 lacks a Receiver below Link 2's missing Receiver.
  Close(r1);
  OpenExpecting(Receiver(1));
  // All places up to Link 2's Receiver are filled again.
  OpenExpecting(Receiver(2));
}

TEST_F(ZaniqPairing, ClosedSenderIsReplacedFirst)
{
  const size_t s1 = OpenExpecting(Sender(1));
  OpenExpecting(Receiver(1));
  OpenExpecting(Sender(2));

  // Link 1 lacks a Sender and Link 2 a Receiver: the lower Link ID wins.
  Close(s1);
  OpenExpecting(Sender(1));
}

TEST_F(ZaniqPairing, OnlySendersOrOnlyReceiversLeft)
{
  OpenExpecting(Sender(1));
  const size_t r1 = OpenExpecting(Receiver(1));
  OpenExpecting(Sender(2));
  const size_t r2 = OpenExpecting(Receiver(2));

  // Senders on 1 and 2, no Receiver: the next is Receiver 1.
  Close(r1);
  Close(r2);
  const size_t n1 = OpenExpecting(Receiver(1));
  const size_t n2 = OpenExpecting(Receiver(2));
  // Now Receivers on 1 and 2 with their Senders gone: the next is Sender 1.
  Close(0);
  Close(2);
  EXPECT_EQ(RoleOf(n1), Receiver(1));
  EXPECT_EQ(RoleOf(n2), Receiver(2));
  OpenExpecting(Sender(1));
  OpenExpecting(Sender(2));
  OpenExpecting(Sender(3));
}

TEST_F(ZaniqPairing, AllClosedStartsAfresh)
{
  for (const Role& r : {Sender(1), Receiver(1), Sender(2)}) OpenExpecting(r);
  mUnits.clear();
  OpenExpecting(Sender(1));
  OpenExpecting(Receiver(1));
}
