// Product instances opened by one host pair up on their own: each new instance takes the lowest Link ID that
// lacks a Sender or a Receiver, whichever is lower (Sender on a tie), and a closed instance frees its place.
// Role and Link ID are read back as a host reads them, through the "Plugin Mode" and "Link ID" parameters, whose
// defaults carry the same pairing.

#include "au/support/ZaniqHost.h"

#include <sstream>

using namespace zqhost;

namespace
{

// A sequence of steps, one per word: "S2"/"R2" opens an instance that must become Sender/Receiver on Link ID 2;
// "-3" closes the instance step 3 opened, "-*" every instance; "3=S1" checks that step 3's instance still is S1.
using ZaniqPairing = ZaniqBundleTest<::testing::TestWithParam<const char*>>;

TEST_P(ZaniqPairing, OpeningAndClosingFillsThePlaces)
{
  std::vector<std::unique_ptr<auhost::Instance>> units; // by step
  auto check = [&](size_t k, const std::string& want)
  {
    auhost::ParameterDesc mode, link;
    const Role r = {int(Param(*units[k], "Plugin Mode", &mode)), int(Param(*units[k], "Link ID", &link))};
    EXPECT_EQ(r, (Role{want[0] == 'R', std::stoi(want.substr(1))}));
    EXPECT_EQ((Role{int(mode.defaultValue), int(link.defaultValue)}), r) << "defaults";
  };
  std::istringstream words(GetParam());
  for (std::string w; words >> w;)
  {
    SCOPED_TRACE("step " + std::to_string(units.size()) + " " + w);
    units.emplace_back();
    if (w == "-*")
      units.clear(), units.resize(1);
    else if (w[0] == '-')
      units.at(std::stoul(w.substr(1))).reset();
    else if (const size_t eq = w.find('='); eq != std::string::npos)
      check(std::stoul(w.substr(0, eq)), w.substr(eq + 1));
    else
    {
      ASSERT_OK(auhost::Instance::Open(this->mBundle->Main().component, units.back()));
      check(units.size() - 1, w);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ZaniqPairing,
    ::testing::Values(
        // Sender then Receiver per link; opening more changes nobody's pairing.
        "S1 R1 S2 R2 S3 0=S1 1=R1 2=S2",
        // Without Receiver 1, Link 1 lacks a Receiver below Link 2's missing one; then Link 2's Receiver follows.
        "S1 R1 S2 -1 R1 R2",
        // Link 1 lacks a Sender and Link 2 a Receiver: the lower Link ID wins.
        "S1 R1 S2 -0 S1",
        // Only Senders left: Receivers 1 and 2 come next; then only Receivers left: Senders 1, 2 and 3.
        "S1 R1 S2 R2 -1 -3 R1 R2 -0 -2 6=R1 7=R2 S1 S2 S3",
        // All closed starts afresh.
        "S1 R1 S2 -* S1 R1"));

} // namespace
