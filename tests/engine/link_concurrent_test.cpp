// The link registry under parallel use: instances joining, leaving, moving and re-pairing from several threads,
// plug-in instances re-linked by automation and by the main thread at once, a Sender and a Receiver exchanging
// blocks on two threads, and peer commands posted while a Receiver takes them. Meant to run under ThreadSanitizer.

#include "engine/LinkRegistry.h"
#include "engine/support/zaniq_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

namespace {

TEST(LinkRegistryConcurrent, ParallelJoinsLeavesAndMovesKeepCountsExact)
{
  LinkRegistry reg;
  const int anchor = reg.RegisterInstance();  // keeps the registry from restarting while threads churn
  EXPECT_EQ(anchor, 1);

  constexpr int kThreads = 8;
  constexpr int kSteps = 3000;
  std::vector<std::vector<LinkPairing>> held(kThreads);
  std::vector<std::vector<int>> numbers(kThreads);

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
  {
    threads.emplace_back([&, t] {
      uint32_t state = uint32_t(t) * 2654435761u + 1; // a small deterministic generator per thread
      auto below = [&state](int n) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % uint32_t(n));
      };
      std::vector<LinkPairing>& mine = held[size_t(t)];
      for (int step = 0; step < kSteps; ++step)
      {
        const int op = below(mine.empty() ? 1 : 5);
        if (op == 0)
        {
          numbers[size_t(t)].push_back(reg.RegisterInstance());
          mine.push_back(reg.Join());
        }
        else
        {
          const size_t i = size_t(below(int(mine.size())));
          LinkPairing& p = mine[i];
          switch (op)
          {
            case 1:
              reg.Leave(p.mode, p.linkID);
              reg.UnregisterInstance();
              mine.erase(mine.begin() + std::ptrdiff_t(i));
              break;
            case 2:
            {
              const LinkPairing to{below(2), below(300)};  // IDs above 256 land in slot 0
              reg.Move(p.mode, p.linkID, to.mode, to.linkID);
              p = to;
              break;
            }
            case 3:
              if (const std::optional<LinkPairing> r = reg.Repair(p.mode, p.linkID)) p = *r;
              break;
            default:
            {
              std::array<bool, kNumLinkSlots> s{}, r{};
              reg.FillPresence(s, r);
              (void)reg.Slot(p.linkID).Senders();
              break;
            }
          }
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();

  // Every count equals the instances the threads still hold there.
  std::map<int, int> senders, receivers;
  int live = 1;
  for (const auto& mine : held)
  {
    live += int(mine.size());
    for (const LinkPairing& p : mine)
      ++(p.mode == kLinkSender ? senders : receivers)[LinkRegistry::SlotIndex(p.linkID)];
  }
  for (int i = 0; i < kNumLinkSlots; ++i)
  {
    ASSERT_EQ(reg.Slot(i).Senders(), senders[i]) << i;
    ASSERT_EQ(reg.Slot(i).Receivers(), receivers[i]) << i;
  }
  EXPECT_EQ(reg.LiveInstances(), live);

  // Instance numbers were never handed out twice.
  std::vector<int> all{anchor};
  for (const auto& n : numbers) all.insert(all.end(), n.begin(), n.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

// Four instances, each re-linked by its own audio thread between blocks (host automation) and by the main thread
// (editor) in the same moment. A move of one instance is one step against the registry, so whatever the order, the
// counts are the instances' recorded roles and pairing goes on as if the churn never happened.
class LinkInstancesConcurrent : public testsupport::ZaniqTest
{
protected:
  // Each instance's record is what its parameters hold, and the counts are the recorded roles.
  ::testing::AssertionResult RecordsMatchParameters() const
  {
    std::map<int, int> senders, receivers;
    for (const auto& i : mInstances)
    {
      const LinkPairing held{int(i->Value(ZANIQ::kPluginMode)), int(i->Value(ZANIQ::kLinkID))};
      if (i->Pairing() != held)
        return ::testing::AssertionFailure() << "instance " << i->GetInstanceNumber() << " records (" << i->GetPluginMode()
                                             << ", " << i->GetLinkID() << "), its parameters hold (" << held.mode
                                             << ", " << held.linkID << ")";
      ++(held.mode == kLinkSender ? senders : receivers)[LinkRegistry::SlotIndex(held.linkID)];
    }
    for (int id = 0; id < kNumLinkSlots; ++id)
      if (testsupport::Counts(testsupport::Slot(id)) != std::pair(senders[id], receivers[id]))
        return ::testing::AssertionFailure() << "counts of Link ID " << id << " differ from the records";
    return ::testing::AssertionSuccess();
  }
};

TEST_F(LinkInstancesConcurrent, AutomationAndEditorMovingOneInstanceKeepCountsExact)
{
  using testsupport::TestZANIQ;
  constexpr int kInstances = 4;
  constexpr int kRounds = 3000;
  constexpr int kFrames = 32;
  std::vector<TestZANIQ*> z;
  for (int k = 0; k < kInstances; ++k)
  {
    z.push_back(&Make());
    z.back()->Change(ZANIQ::kLinkID, k + 1);
  }

  // Automation writes Link ID in even rounds and Plugin Mode in odd ones. In a quarter of the rounds the editor
  // writes the other field, else the same one: a different value than the automation's, or a new value while the
  // automation repeats the one the instance holds (a write that changes nothing, meeting a move).
  auto field = [](int round) { return round % 2 == 0 ? ZANIQ::kLinkID : ZANIQ::kPluginMode; };
  // 0: the other field, 1: both change the same one, 2: the automation repeats it.
  auto kind = [](int round) { return std::array{0, 1, 2, 1}[size_t(round / 2 % 4)]; };
  auto automationValue = [&](int k, int round, double held) {
    if (kind(round) == 2) return held;
    return field(round) == ZANIQ::kLinkID ? double(k + 1 + 4 * ((round / 2) % 2)) : double((round / 2 + k) % 2);
  };
  auto editorValue = [&](int k, int round, double held) {
    if (kind(round) == 0)
      return field(round) == ZANIQ::kLinkID ? double((round / 4) % 2) : double(9 + round % 3);
    if (field(round) == ZANIQ::kPluginMode) return 1.0 - automationValue(k, round, held);
    return kind(round) == 1 ? double(9 + round % 3) : held + 1.0;
  };
  auto editorField = [&](int round) {
    return kind(round) != 0 ? field(round) : field(round) == ZANIQ::kLinkID ? ZANIQ::kPluginMode : ZANIQ::kLinkID;
  };

  // Every round starts all threads at once, so the main thread's change of instance round % 4 (and of the next
  // one) meets that instance's own automation head on; between rounds every record is compared. One more thread
  // looks for a pairing meanwhile (a scan under the registry mutex), so moves often queue for the mutex.
  std::barrier start(kInstances + 2), done(kInstances + 2);
  std::vector<std::thread> audio;
  audio.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round)
    {
      start.arrive_and_wait();
      int mode = 0, linkID = 0;
      for (int i = 0; i < 4; ++i)
        (void)LinkRegistry::Instance().FindPairing(mode, linkID);
      done.arrive_and_wait();
    }
  });
  for (int k = 0; k < kInstances; ++k)
    audio.emplace_back([&, k] {
      TestZANIQ& me = *z[size_t(k)];
      std::vector<double> l(kFrames, 0.25), r(kFrames, -0.25), outL(kFrames), outR(kFrames);
      double* in[2] = {l.data(), r.data()};
      double* out[2] = {outL.data(), outR.data()};
      for (int round = 0; round < kRounds; ++round)
      {
        const double value = automationValue(k, round, me.Value(field(round)));
        start.arrive_and_wait();
        (void)me.SetParameter(field(round), kAudioUnitScope_Global, 0, float(value), 0);
        me.ProcessBlock(in, out, kFrames);
        done.arrive_and_wait();
      }
    });

  int badRounds = 0;
  ::testing::AssertionResult firstBad = ::testing::AssertionSuccess();
  for (int round = 0; round < kRounds; ++round)
  {
    std::array<double, 2> values{};
    for (int j = 0; j < 2; ++j)
    {
      const int k = (round + j) % kInstances;
      // Both fields spelt out: GCC 12 mistakes a computed index for a path to no parameter.
      const TestZANIQ& target = *z[size_t(k)];
      const double held =
        editorField(round) == ZANIQ::kLinkID ? target.Value(ZANIQ::kLinkID) : target.Value(ZANIQ::kPluginMode);
      values[size_t(j)] = editorValue(k, round, held);
    }
    start.arrive_and_wait();
    for (int j = 0; j < 2; ++j)
      z[size_t((round + j) % kInstances)]->Change(editorField(round), values[size_t(j)]);
    done.arrive_and_wait();
    if (::testing::AssertionResult r = RecordsMatchParameters(); !r && badRounds++ == 0)
      firstBad = r << " after round " << round;
  }
  for (std::thread& t : audio) t.join();
  EXPECT_EQ(badRounds, 0) << firstBad.message();

  // Sender 1, Receiver 1, Sender 2, Receiver 2: the next instance is the Sender of 3.
  for (int k = 0; k < kInstances; ++k)
  {
    z[size_t(k)]->Change(ZANIQ::kPluginMode, k % 2);
    z[size_t(k)]->Change(ZANIQ::kLinkID, k / 2 + 1);
  }
  EXPECT_TRUE(RecordsMatchParameters());
  EXPECT_EQ(Make().Pairing(), testsupport::S(3));

  DestroyAll();
  for (int id = 0; id < kNumLinkSlots; ++id)
    ASSERT_EQ(testsupport::Counts(testsupport::Slot(id)), std::pair(0, 0)) << "Link ID " << id;
}

// Host automation repeating Plugin Mode and Link ID every block, and the editor writing them back unchanged, take no
// registry step (no hold of the registry mutex) while other instances are moved on and off the same Link ID by
// their own automation and by the editor.
TEST_F(LinkInstancesConcurrent, UnchangedWritesTakeNoStepWhileOthersMove)
{
  using testsupport::TestZANIQ;
  constexpr int kMovers = 3;
  constexpr int kMoves = 2000;
  constexpr int kFrames = 32;
  TestZANIQ& steady = Make();
  steady.Change(ZANIQ::kPluginMode, kLinkReceiver);
  steady.Change(ZANIQ::kLinkID, 7);
  std::vector<TestZANIQ*> movers;
  std::vector<uint64_t> moverSteps;
  for (int m = 0; m < kMovers; ++m)
  {
    movers.push_back(&Make());
    moverSteps.push_back(movers.back()->LinkSteps());
  }
  const uint64_t steadySteps = steady.LinkSteps();

  std::barrier start(kMovers + 1);
  std::atomic<int> moversDone{0};
  std::vector<std::thread> threads;
  for (int m = 0; m < kMovers; ++m)
    threads.emplace_back([&, m] {
      TestZANIQ& me = *movers[size_t(m)];
      start.arrive_and_wait();
      for (int i = 0; i < kMoves; ++i)
      {
        // Every write changes the field: onto Link ID 7 and off it, and between the two roles.
        if (i % 2 == 0)
          (void)me.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, float(i % 4 == 0 ? 7 : 8 + m), 0);
        else
          me.Change(ZANIQ::kPluginMode, (i / 2 + m) % 2);
        if (i % 16 == m) steady.Change(i % 32 < 16 ? ZANIQ::kLinkID : ZANIQ::kPluginMode, i % 32 < 16 ? 7 : 1);
      }
      moversDone.fetch_add(1);
    });

  // The steady instance's audio thread runs until every mover is through.
  std::vector<double> l(kFrames, 0.25), r(kFrames, -0.25), outL(kFrames), outR(kFrames);
  double* in[2] = {l.data(), r.data()};
  double* out[2] = {outL.data(), outR.data()};
  start.arrive_and_wait();
  for (int block = 0; block < kMoves || moversDone.load() < kMovers; ++block)
  {
    (void)steady.SetParameter(ZANIQ::kPluginMode, kAudioUnitScope_Global, 0, float(kLinkReceiver), 0);
    (void)steady.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, 7.0f, 0);
    steady.ProcessBlock(in, out, kFrames);
  }
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(steady.LinkSteps(), steadySteps);
  for (int m = 0; m < kMovers; ++m)
    EXPECT_GE(movers[size_t(m)]->LinkSteps() - moverSteps[size_t(m)], uint64_t(kMoves - 2)) << "mover " << m;
  EXPECT_EQ(steady.Pairing(), testsupport::R(7));
  EXPECT_TRUE(RecordsMatchParameters());

  // A write that changes something still takes its step.
  steady.Change(ZANIQ::kLinkID, 9);
  EXPECT_EQ(std::pair(steady.Pairing(), steady.LinkSteps()), std::pair(testsupport::R(9), steadySteps + 1));
}

TEST(LinkSlotConcurrent, ReceiverSeesWholeBlocksInOrder)
{
  LinkSlot slot;
  constexpr int kBlocks = 20000;
  constexpr int kFrames = 256;
  std::atomic<bool> senderDone{false};
  std::atomic<int> bad{0}, received{0}; // torn or out of order

  std::thread sender([&] {
    std::vector<double> l(kFrames), r(kFrames);
    for (int block = 1; block <= kBlocks; ++block)
    {
      std::fill(l.begin(), l.end(), double(block));
      std::fill(r.begin(), r.end(), -double(block));
      // The Sender reads what its Receiver writes.
      (void)(slot.DriveGain() * slot.PreGain() / slot.PreDivisor2() + slot.SenderState() + slot.HasRoom());
      (void)slot.SenderWrite(l.data(), r.data(), kFrames);
    }
    senderDone.store(true);
  });

  std::thread receiver([&] {
    double last = 0;
    for (int spins = 0; !senderDone.load() || slot.QueuedCount() > 0; ++spins)
    {
      slot.SetDriveGain(1.0 + (spins & 7));
      slot.SetPreGain(0.5);
      slot.SetSenderState(spins & 1 ? kSenderNormal : kSenderBypass);
      const LinkBuffer* b = slot.ReceiverAcquire();
      if (!b) continue;
      const double v = b->channels[0][0];
      bool whole = b->frames == kFrames && v > last;
      for (int i = 0; i < b->frames; ++i) whole = whole && b->channels[0][i] == v && b->channels[1][i] == -v;
      bad.fetch_add(!whole);
      last = v;
      received.fetch_add(1);
      slot.ReceiverRelease(b);
    }
  });

  sender.join();
  receiver.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_GT(received.load(), 0);
}

TEST(LinkSlotConcurrent, CommandsArriveWhole)
{
  LinkSlot slot;
  constexpr int kPosts = 20000;
  std::atomic<int> postersDone{0};
  std::atomic<int> mismatched{0}, taken{0};

  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i)
      {
        const int code = 7 + (i + t) % 32;
        slot.PostCommand(code, code * 10.0 + 0.5);
      }
      postersDone.fetch_add(1);
    });

  std::thread receiver([&] {
    int code = 0;
    double value = 0;
    while (postersDone.load() < 3 || slot.Command() != kNoLinkCommand)
    {
      if (!slot.TakeCommand(code, value)) continue;
      if (value != code * 10.0 + 0.5) mismatched.fetch_add(1);
      taken.fetch_add(1);
    }
  });

  for (std::thread& p : posters) p.join();
  receiver.join();
  EXPECT_EQ(mismatched.load(), 0);
  EXPECT_GT(taken.load(), 0);
}

} // namespace
