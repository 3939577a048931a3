// Link registry: slot addressing, buffer queues, the Sender-to-Receiver exchange, peer commands, automatic pairing,
// moves, re-pairing and instance numbering.

#include "engine/LinkRegistry.h"
#include "engine/support/alloc_counter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// One plug-in instance as the engine uses the registry: counted and paired at construction, gone at destruction.
struct Instance
{
  explicit Instance(LinkRegistry& r) : reg(r), number(r.RegisterInstance()), link(r.Join()) {}
  ~Instance()
  {
    reg.Leave(link.mode, link.linkID);
    reg.UnregisterInstance();
  }
  LinkRegistry& reg;
  int number;
  LinkPairing link;
};

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
  for (int id : {0, 17, 256}) EXPECT_EQ(LinkRegistry::SlotIndex(id), id);
  for (int id : {257, -1, INT_MIN, INT_MAX}) EXPECT_EQ(LinkRegistry::SlotIndex(id), 0) << id;
  EXPECT_EQ(LinkRegistry::SlotIndex(256.5), 256);
  for (double id : {-0.5, -1.0, 257.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(LinkRegistry::SlotIndex(id), 0) << id;

  LinkRegistry reg;
  EXPECT_EQ(&reg.Slot(0), &reg.Slot(257));
  EXPECT_EQ(&reg.Slot(0), &reg.Slot(-3));
  EXPECT_NE(&reg.Slot(255), &reg.Slot(256));
}

// --- BufferQueue ---

TEST(BufferQueue, DropsWhenFullAndKeepsOrder)
{
  LinkBuffer a, b, c;
  BufferQueue q(2);
  EXPECT_EQ(q.Pop(), nullptr);
  EXPECT_TRUE(q.Push(&a));
  EXPECT_TRUE(q.Push(&b));
  EXPECT_FALSE(q.Push(&c));
  EXPECT_EQ(q.Pop(), &a);
  // Wrap-around keeps FIFO order.
  EXPECT_TRUE(q.Push(&c));
  EXPECT_EQ(q.Pop(), &b);
  EXPECT_EQ(q.Pop(), &c);
  EXPECT_EQ(q.Pop(), nullptr);

  // TakeNext cycles through what is queued without taking it out.
  EXPECT_EQ(q.TakeNext(), nullptr);
  q.Push(&a);
  q.Push(&b);
  EXPECT_EQ(q.TakeNext(), &a);
  EXPECT_EQ(q.TakeNext(), &b);
  EXPECT_EQ(q.TakeNext(), &a);
  EXPECT_EQ(q.Count(), 2);
  q.Clear();
  EXPECT_EQ(q.Pop(), nullptr);
}

// --- LinkSlot ---

std::vector<double> Ramp(int n, double start)
{
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = start + i;
  return v;
}

TEST(LinkSlot, PassesBlocksInOrder)
{
  LinkSlot s;
  const std::vector<double> l1 = Ramp(64, 0), r1 = Ramp(64, 1000), l2 = Ramp(32, 5000);
  ASSERT_TRUE(s.SenderWrite(l1.data(), r1.data(), 64));
  ASSERT_TRUE(s.SenderWrite(l2.data(), nullptr, 32));  // mono: one buffer serves both channels
  EXPECT_FALSE(s.HasRoom());

  const LinkBuffer* b = s.ReceiverAcquire();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->frames, 64);
  EXPECT_EQ(b->channels[0][63], 63.0);
  EXPECT_EQ(b->channels[1][0], 1000.0);
  s.ReceiverRelease(b);

  b = s.ReceiverAcquire();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->frames, 32);
  EXPECT_EQ(b->channels[0][31], 5031.0);
  EXPECT_EQ(b->channels[1][31], 5031.0);
  s.ReceiverRelease(b);
  EXPECT_EQ(s.ReceiverAcquire(), nullptr);
  EXPECT_TRUE(s.HasRoom());

  // Blocks longer than a buffer pass their first 8192 frames; the frame count says so.
  const std::vector<double> big = Ramp(10000, 0);
  ASSERT_TRUE(s.SenderWrite(big.data(), big.data(), 10000));
  b = s.ReceiverAcquire();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->frames, 8192);
  EXPECT_EQ(b->channels[1][8191], 8191.0);
  s.ReceiverRelease(b);

  EXPECT_FALSE(s.SenderWrite(nullptr, nullptr, 16));
  EXPECT_FALSE(s.SenderWrite(big.data(), big.data(), 0));
  EXPECT_EQ(s.QueuedCount(), 0);
}

TEST(LinkSlot, NewestBlockReplacesTheOldestWhenTheReceiverLags)
{
  LinkSlot s;
  for (int block = 0; block < 5; ++block) ASSERT_TRUE(Write(s, block));
  EXPECT_EQ(s.QueuedCount(), 2);
  EXPECT_EQ(Next(s), 3.0);
  EXPECT_EQ(Next(s), 4.0);

  // ClearQueue frees the queued buffers: two writes queue two blocks again.
  ASSERT_TRUE(Write(s, 2.0));
  ASSERT_TRUE(Write(s, 2.0));
  s.ClearQueue();
  EXPECT_EQ(s.QueuedCount(), 0);
  EXPECT_EQ(s.ReceiverAcquire(), nullptr);
  ASSERT_TRUE(Write(s, 2.0));
  ASSERT_TRUE(Write(s, 2.0));
  EXPECT_EQ(s.QueuedCount(), 2);
}

TEST(LinkSlot, SenderNeverWritesTheBlockBeingRead)
{
  LinkSlot s;
  ASSERT_TRUE(Write(s, 1.0));
  const LinkBuffer* reading = s.ReceiverAcquire();
  ASSERT_NE(reading, nullptr);
  for (int block = 2; block < 8; ++block) ASSERT_TRUE(Write(s, block));
  EXPECT_EQ(reading->channels[0][0], 1.0);
  EXPECT_EQ(reading->channels[1][15], 1.0);
  EXPECT_EQ(s.QueuedCount(), 1);
  s.ReceiverRelease(reading);
  s.ReceiverRelease(reading); // a second release is ignored
  EXPECT_EQ(Next(s), 7.0);
}

TEST(LinkSlot, CommandsAreTakenOnceAndNothingAllocates)
{
  LinkSlot s;
  int code = 123;
  double value = 4.5;
  EXPECT_FALSE(s.TakeCommand(code, value));
  EXPECT_EQ(code, 123);
  s.PostCommand(9, -6.0);
  s.PostCommand(7, 0.0);  // a later post overwrites
  ASSERT_TRUE(s.TakeCommand(code, value));
  EXPECT_EQ(std::pair(code, value), std::pair(7, 0.0));
  EXPECT_FALSE(s.TakeCommand(code, value));

  // The exchange and the commands never allocate.
  const std::vector<double> v(512, 0.5);
  testsupport::AllocationScope scope;
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_TRUE(s.SenderWrite(v.data(), v.data(), 512));
    s.ReceiverRelease(s.ReceiverAcquire());
    s.PostCommand(33, 1.0);
    ASSERT_TRUE(s.TakeCommand(code, value));
  }
  EXPECT_EQ(scope.Count(), 0u);
}

// --- Automatic pairing ---

// The pairing sequence as instances open and close is checked end to end through the host; here what a host
// cannot reach: a full table, and counts left behind by instances that vanished.

TEST(LinkPairing, FullTableFallsBackToSender1)
{
  for (int role : {kLinkSender, kLinkReceiver})
  {
    LinkRegistry reg;
    std::vector<std::unique_ptr<Instance>> inst;
    for (int id = 1; id <= kMaxLinkID; ++id)
    {
      inst.push_back(std::make_unique<Instance>(reg));
      Instance& i = *inst.back();
      reg.Move(i.link.mode, i.link.linkID, role, id);
      i.link = {role, id};
    }
    int mode = -1, linkID = -1;
    EXPECT_FALSE(reg.FindPairing(mode, linkID));
    EXPECT_EQ(mode, -1);
    Instance extra(reg);
    EXPECT_EQ(extra.link, S(1));
    EXPECT_EQ(reg.Slot(1).Senders(), role == kLinkSender ? 2 : 1);
  }
}

TEST(LinkPairing, AllGoneRestartsNumberingAndCounts)
{
  LinkRegistry reg;
  {
    Instance a(reg), b(reg), c(reg);
    EXPECT_EQ(c.number, 3);
  }
  // An instance that vanished without leaving its slot leaves a stale count behind.
  reg.RegisterInstance();
  reg.Join();
  reg.Slot(1).SetSenderState(kSenderSilence);
  reg.Slot(1).SetDriveGain(0.5);
  reg.Slot(1).PostCommand(33, 1.0);
  ASSERT_TRUE(Write(reg.Slot(1), 1.0, 4));
  reg.UnregisterInstance();
  EXPECT_EQ(reg.Slot(1).Senders(), 1);

  Instance fresh(reg);
  EXPECT_EQ(fresh.number, 1);
  EXPECT_EQ(fresh.link, S(1));
  EXPECT_EQ(reg.Slot(1).Senders(), 1);  // zeroed, then this instance joined
  EXPECT_EQ(reg.LiveInstances(), 1);
  // States, gains, commands and queues carry over.
  EXPECT_EQ(std::tuple(reg.Slot(1).SenderState(), reg.Slot(1).DriveGain(), reg.Slot(1).Command(),
                       reg.Slot(1).QueuedCount()),
            std::tuple(kSenderSilence, 0.5, 33, 1));
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
  const LinkPairing receiver = reg.Join();
  ASSERT_EQ(receiver, R(1));
  LinkSlot& slot = reg.Slot(1);

  // Destruction.
  DriveSenderHard(slot);
  reg.Leave(receiver.mode, receiver.linkID);
  ExpectSenderReset(slot);

  // Mode change.
  reg.Move(-1, 0, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Move(kLinkReceiver, 1, kLinkSender, 1);
  ExpectSenderReset(slot);
  EXPECT_EQ(Counts(slot), std::pair(2, 0));

  // Link ID change.
  reg.Move(kLinkSender, 1, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Move(kLinkReceiver, 1, kLinkReceiver, 7);
  ExpectSenderReset(slot);
  EXPECT_EQ(reg.Slot(7).Receivers(), 1);
  EXPECT_EQ(reg.HighestReceiverLinkID(), 7);

  // A Sender leaving, or one of two Receivers, leaves the control alone.
  reg.Move(kLinkReceiver, 7, kLinkReceiver, 1);
  reg.Move(-1, 0, kLinkReceiver, 1);
  DriveSenderHard(slot);
  reg.Leave(kLinkReceiver, 1);
  EXPECT_EQ(slot.SenderState(), kSenderImpulse);
  reg.Leave(sender.mode, sender.linkID);
  EXPECT_EQ(slot.SenderState(), kSenderImpulse);
  EXPECT_EQ(Counts(slot), std::pair(0, 1));
  EXPECT_EQ(reg.Slot(7).Receivers(), 0);
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

TEST(LinkMoves, RepairPrefersAWaitingSender)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  reg.Move(-1, 0, kLinkSender, 5);  // a lone Sender on 5, 1 to 4 free
  reg.Move(-1, 0, kLinkSender, 9);
  reg.Move(-1, 0, kLinkReceiver, 9);
  reg.Move(-1, 0, kLinkSender, 20);  // this instance, alone on 20
  const std::optional<LinkPairing> p = reg.Repair(kLinkSender, 20);
  ASSERT_TRUE(p);
  EXPECT_EQ(*p, R(5));
  EXPECT_EQ(reg.Slot(20).Senders(), 0);
  EXPECT_EQ(reg.Slot(5).Receivers(), 1);

  // No lone Sender: the lowest free Link ID, as Sender.
  const std::optional<LinkPairing> q = reg.Repair(kLinkReceiver, 5);
  ASSERT_TRUE(q);
  EXPECT_EQ(*q, R(5));  // leaving 5 makes its Sender lone again: stays put, counts unchanged
  EXPECT_EQ(reg.Slot(5).Receivers(), 1);
  reg.Move(-1, 0, kLinkReceiver, 5);  // a second Receiver on 5
  const std::optional<LinkPairing> f = reg.Repair(kLinkReceiver, 5);
  ASSERT_TRUE(f);
  EXPECT_EQ(*f, S(1));
  EXPECT_EQ(reg.Slot(1).Senders(), 1);
  EXPECT_EQ(reg.Slot(5).Receivers(), 1);
  EXPECT_EQ(reg.HighestSenderLinkID(), 20);
  EXPECT_EQ(reg.HighestReceiverLinkID(), 9);
}

TEST(LinkMoves, RepairWithNoRoomChangesNothing)
{
  LinkRegistry reg;
  reg.RegisterInstance();
  for (int id = 1; id <= kMaxLinkID; ++id)
  {
    reg.Move(-1, 0, kLinkSender, id);
    reg.Move(-1, 0, kLinkReceiver, id);
  }
  EXPECT_FALSE(reg.Repair(kLinkSender, 17));
  EXPECT_EQ(Counts(reg.Slot(17)), std::pair(1, 1));
  // A Receiver leaving 17 would leave its Sender waiting alone, so it finds its own place again.
  EXPECT_EQ(reg.Repair(kLinkReceiver, 17), std::optional<LinkPairing>(R(17)));
  EXPECT_EQ(reg.Slot(17).Receivers(), 1);

  std::array<bool, kNumLinkSlots> senders{}, receivers{};
  reg.FillPresence(senders, receivers);
  EXPECT_FALSE(senders[0]);
  EXPECT_TRUE(senders[1]);
  EXPECT_TRUE(receivers[256]);
  reg.Leave(kLinkSender, 40);
  reg.FillPresence(senders, receivers);
  EXPECT_FALSE(senders[40]);
  EXPECT_TRUE(receivers[40]);
}

} // namespace
