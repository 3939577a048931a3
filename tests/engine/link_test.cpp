// Link registry: slot addressing, the Sender-to-Receiver exchange (its buffer queues are exercised through it),
// automatic pairing, moves, re-pairing and instance numbering. (Peer commands: the concurrent and signal tests.)

#include "engine/LinkRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const LinkPairing S(int id) { return {kLinkSender, id}; }
const LinkPairing R(int id) { return {kLinkReceiver, id}; }
std::pair<int, int> Counts(const LinkSlot& s) { return {s.Senders(), s.Receivers()}; }

// The Sender writes a block of `frames` samples of `value` on both channels.
bool Write(LinkSlot& s, double value, int frames = 16)
{
  const std::vector<double> v(size_t(frames), value);
  return s.SenderWrite(v.data(), v.data(), frames);
}

// The value of the next queued block (-1 when there is none), released at once.
double Next(LinkSlot& s)
{
  const LinkBuffer* b = s.ReceiverAcquire();
  const double v = b ? b->channels[0][0] : -1.0;
  s.ReceiverRelease(b);
  return v;
}

// --- Addressing ---

TEST(LinkRegistryAddressing, OutOfRangeIDsUseSlotZero)
{
  for (int id : {0, 256, 257, -1, INT_MIN}) EXPECT_EQ(LinkRegistry::SlotIndex(id), id == 256 ? 256 : 0) << id;
  EXPECT_EQ(LinkRegistry::SlotIndex(256.5), 256);
  for (double id : {-0.5, 257.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(LinkRegistry::SlotIndex(id), 0) << id;
}

// --- LinkSlot ---

// (Frame counts and blocks longer than a buffer: the signal-path fault tests; whole blocks: the concurrent test.)
TEST(LinkSlot, NewestBlocksReplaceTheOldestButNeverTheOneBeingRead)
{
  LinkSlot s;
  for (int block = 0; block < 5; ++block) ASSERT_TRUE(Write(s, block));
  EXPECT_EQ(s.QueuedCount(), 2);
  EXPECT_EQ((std::pair{Next(s), Next(s)}), std::pair(3.0, 4.0)); // braces: read in order

  ASSERT_TRUE(Write(s, 1.0));
  const LinkBuffer* reading = s.ReceiverAcquire();
  ASSERT_NE(reading, nullptr);
  for (int block = 2; block < 8; ++block) ASSERT_TRUE(Write(s, block));
  EXPECT_EQ(std::tuple(reading->channels[0][0], reading->channels[1][15], s.QueuedCount()), std::tuple(1.0, 1.0, 1));
  s.ReceiverRelease(reading);
  s.ReceiverRelease(reading); // a second release is ignored
  EXPECT_EQ(Next(s), 7.0);
}

// --- Automatic pairing ---

// The pairing sequence as instances open and close is checked end to end through the host; here what a host
// cannot reach: counts left behind by instances that vanished.

TEST(LinkPairing, AllGoneRestartsNumberingAndCounts)
{
  LinkRegistry reg;
  // An instance that vanished without leaving its slot leaves a stale count behind.
  reg.RegisterInstance();
  reg.Join();
  reg.Slot(1).SetDriveGain(0.5);
  reg.UnregisterInstance();
  EXPECT_EQ(reg.Slot(1).Senders(), 1);

  const int number = reg.RegisterInstance();
  EXPECT_EQ(std::pair(number, reg.Join()), std::pair(1, S(1)));
  EXPECT_EQ(std::pair(reg.Slot(1).Senders(), reg.LiveInstances()), std::pair(1, 1)); // zeroed, then this one joined
  EXPECT_EQ(reg.Slot(1).DriveGain(), 0.5); // gains carry over
}

// --- Leaving and moving ---

void DriveSenderHard(LinkSlot& s)
{
  s.SetSenderState(kSenderImpulse);
  s.SetDriveGain(4.0);
  s.SetPreGain(0.25);
  s.SetPreDivisor2(2.0);
}

void ExpectSenderReset(const LinkSlot& s)
{
  EXPECT_EQ(std::tuple(s.SenderState(), s.DriveGain(), s.PreGain(), s.PreDivisor2()),
            std::tuple(kSenderNormal, 1.0, 1.0, 1.0));
}

TEST(LinkMoves, LastReceiverLeavingReleasesTheSender)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  const LinkPairing sender = reg.Join();
  ASSERT_EQ(reg.Join(), R(1));
  LinkSlot& slot = reg.Slot(1);

  // By leaving, by a mode change and by a Link ID change.
  DriveSenderHard(slot);
  reg.Leave(kLinkReceiver, 1);
  ExpectSenderReset(slot);
  reg.Move(-1, 0, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Move(kLinkReceiver, 1, kLinkSender, 1);
  ExpectSenderReset(slot);
  reg.Move(kLinkSender, 1, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Move(kLinkReceiver, 1, kLinkReceiver, 7);
  ExpectSenderReset(slot);

  // A Sender leaving, or one of two Receivers, leaves the control alone.
  reg.Move(kLinkReceiver, 7, kLinkReceiver, 1);
  reg.Move(-1, 0, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Leave(kLinkReceiver, 1);
  reg.Leave(sender.mode, sender.linkID);
  EXPECT_EQ(std::pair(int(slot.SenderState()), Counts(slot)), std::pair(int(kSenderImpulse), std::pair(0, 1)));
}

TEST(LinkMoves, CountsNeverGoNegative)
{
  LinkRegistry reg;
  reg.Leave(kLinkSender, 3);
  reg.Leave(kLinkReceiver, 3);
  reg.Leave(2, 3);  // not a mode: nothing
  EXPECT_EQ(Counts(reg.Slot(3)), std::pair(0, 0));
  reg.RegisterInstance();
  reg.Move(kLinkSender, 3, kLinkSender, 3);  // same place: nothing
  EXPECT_EQ(reg.Slot(3).Senders(), 0);
  reg.Move(kLinkSender, 0, kLinkSender, 300);  // both slot 0: nothing
  EXPECT_EQ(reg.Slot(0).Senders(), 0);
  // A lone join after the stray leaves pairs as if nothing happened.
  EXPECT_EQ(reg.Join(), S(1));
  EXPECT_EQ(reg.Join(), R(1));
  EXPECT_EQ(reg.Join(), S(2));
}

TEST(LinkMoves, RepairPrefersAWaitingSenderAndNeverLeavesOneAlone)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  reg.Move(-1, 0, kLinkSender, 5);  // a lone Sender on 5, 1 to 4 free
  reg.Move(-1, 0, kLinkSender, 20); // this instance, alone on 20
  EXPECT_EQ(reg.Repair(kLinkSender, 20), std::optional(R(5)));
  EXPECT_EQ(std::pair(reg.Slot(20).Senders(), reg.Slot(5).Receivers()), std::pair(0, 1));

  // Leaving 5 would make its Sender lone again: the Receiver stays put, counts unchanged.
  EXPECT_EQ(reg.Repair(kLinkReceiver, 5), std::optional(R(5)));
  EXPECT_EQ(reg.Slot(5).Receivers(), 1);
  // No lone Sender: the lowest free Link ID, as Sender.
  reg.Move(-1, 0, kLinkReceiver, 5); // a second Receiver on 5
  EXPECT_EQ(reg.Repair(kLinkReceiver, 5), std::optional(S(1)));
  EXPECT_EQ(std::pair(reg.Slot(1).Senders(), reg.Slot(5).Receivers()), std::pair(1, 1));

  // A full table: no room, nothing changes.
  for (int id = 1; id <= kMaxLinkID; ++id)
  {
    reg.Move(-1, 0, kLinkSender, id);
    reg.Move(-1, 0, kLinkReceiver, id);
  }
  const auto counts = Counts(reg.Slot(17));
  EXPECT_FALSE(reg.Repair(kLinkSender, 17));
  EXPECT_EQ(Counts(reg.Slot(17)), counts);
}

// --- An instance's own record ---

// Two moves that both start from what the instance showed before either ran (a host changing it from two threads)
// leave that slot once: the registry moves the member from its record, not from what a caller last saw.
TEST(LinkMember, MovesStartFromTheRecordAndLeaveItOnce)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  LinkMember other, me;
  ASSERT_EQ(reg.Join(other), S(1));
  ASSERT_EQ(reg.Join(me), R(1));
  EXPECT_EQ(reg.Join(me), R(1)); // already counted: stays, counted once
  EXPECT_EQ(Counts(reg.Slot(1)), std::pair(1, 1));

  EXPECT_TRUE(reg.Move(me, R(5)));
  EXPECT_TRUE(reg.MoveWith(me, [](LinkPairing p) {
    EXPECT_EQ(p, R(5)); // the first move is seen
    p.mode = kLinkSender;
    return p;
  }));
  EXPECT_FALSE(reg.Move(me, S(5)));
  EXPECT_EQ(std::tuple(me.Pairing(), Counts(reg.Slot(1)), Counts(reg.Slot(5))),
            std::tuple(S(5), std::pair(1, 0), std::pair(1, 0)));
  EXPECT_EQ(std::pair(reg.HighestSenderLinkID(), reg.HighestReceiverLinkID()), std::pair(5, 5));

  // Leaving twice (a destructor after an earlier leave) takes nothing from the other instance.
  reg.Leave(me);
  reg.Leave(me);
  EXPECT_EQ(std::tuple(me.Pairing(), Counts(reg.Slot(5)), Counts(reg.Slot(1))),
            std::tuple(S(5), std::pair(0, 0), std::pair(1, 0)));
  // Not counted: a move only records, re-pairing has nothing to move.
  EXPECT_TRUE(reg.Move(me, R(1)));
  EXPECT_FALSE(reg.Repair(me));
  EXPECT_EQ(std::pair(me.Pairing(), Counts(reg.Slot(1))), std::pair(R(1), std::pair(1, 0)));
}

// A parameter written before the call that leaves the record as it is takes no step. While a step for the member
// is in progress it may have read the parameter before that write, so the write is not settled: it must wait for
// the step and then take its own.
TEST(LinkMember, OnlyAWriteThatChangesNothingOutsideAStepTakesNoStep)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  LinkMember me;
  ASSERT_EQ(reg.Join(me), S(1));
  std::atomic<int> linkID{1}; // the parameter
  const auto toParameter = [&](LinkPairing p) {
    p.linkID = linkID.load();
    return p;
  };
  const uint64_t steps = me.Steps();
  EXPECT_FALSE(reg.MoveWith(me, toParameter));
  EXPECT_EQ(me.Steps(), steps);

  linkID = 3;
  EXPECT_TRUE(reg.MoveWith(me, toParameter));
  EXPECT_EQ(std::pair(me.Pairing(), me.Steps()), std::pair(S(3), steps + 1));

  linkID = 7;
  bool wroteBack = false;
  EXPECT_TRUE(reg.MoveWith(me, [&](LinkPairing p) {
    p = toParameter(p);
    if (me.Steps() == steps + 2) // inside the step: another thread writes back the recorded value after it read 7
    {
      linkID = 3;
      wroteBack = true;
      EXPECT_FALSE(me.Settled(toParameter));
    }
    return p;
  }));
  EXPECT_TRUE(wroteBack);
  EXPECT_EQ(me.Pairing(), S(7));
  EXPECT_TRUE(reg.MoveWith(me, toParameter));
  EXPECT_EQ(std::tuple(me.Pairing(), me.Steps(), Counts(reg.Slot(3)), Counts(reg.Slot(7))),
            std::tuple(S(3), steps + 3, std::pair(1, 0), std::pair(0, 0)));
}

TEST(LinkMember, RepairRecordsWhereItWent)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  LinkMember lone, me;
  ASSERT_EQ(reg.Join(lone), S(1));
  ASSERT_EQ(reg.Join(me), R(1));
  ASSERT_TRUE(reg.Move(lone, S(4)));
  EXPECT_EQ(reg.Repair(me), std::optional(R(4)));
  EXPECT_EQ(std::tuple(me.Pairing(), Counts(reg.Slot(1)), Counts(reg.Slot(4))),
            std::tuple(R(4), std::pair(0, 0), std::pair(1, 1)));
}

} // namespace
