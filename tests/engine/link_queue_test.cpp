// The link slot's plumbing on its own: the buffer queue's rules, peer commands taken once with the latest post
// winning, and automatic pairing when every Link ID is taken, from the registry and from an instance.

#include "engine/support/zaniq_env.h"

#include <vector>

using namespace testsupport;

namespace
{

TEST(BufferQueue, DropsWhenFullKeepsOrderAcrossTheWrapAndCyclesWithoutTaking)
{
  LinkBuffer a, b, c;
  BufferQueue q(2);
  EXPECT_EQ(q.Pop(), nullptr);
  EXPECT_EQ((std::vector{q.Push(&a), q.Push(&b), q.Push(&c)}), (std::vector{true, true, false}));
  EXPECT_TRUE(q.IsFull());
  EXPECT_EQ(q.Pop(), &a);
  EXPECT_TRUE(q.Push(&c)); // written at the start again: first in, first out all the same
  EXPECT_EQ((std::vector{q.Pop(), q.Pop(), q.Pop()}), (std::vector<LinkBuffer*>{&b, &c, nullptr}));

  // TakeNext hands out what is held in turn, for ever, without taking it out.
  EXPECT_EQ(q.TakeNext(), nullptr);
  q.Push(&a);
  q.Push(&b);
  EXPECT_EQ((std::vector{q.TakeNext(), q.TakeNext(), q.TakeNext()}), (std::vector<LinkBuffer*>{&a, &b, &a}));
  EXPECT_EQ(q.Count(), 2);

  // Cleared, it is empty and fills from the start as a new one does.
  q.Clear();
  EXPECT_EQ(std::pair(q.Count(), q.Pop()), std::pair(0, static_cast<LinkBuffer*>(nullptr)));
  EXPECT_EQ(q.TakeNext(), nullptr);
  EXPECT_TRUE(q.Push(&c) && q.Push(&a));
  EXPECT_EQ((std::vector{q.Pop(), q.Pop()}), (std::vector<LinkBuffer*>{&c, &a}));
}

TEST(LinkSlotCommands, TakenOnceAndALaterPostReplacesAWaitingOne)
{
  LinkSlot s;
  int code = 123;
  double value = 4.5;
  EXPECT_FALSE(s.TakeCommand(code, value));
  EXPECT_EQ(std::pair(code, value), std::pair(123, 4.5)); // untouched when there is none
  s.PostCommand(9, -6.0);
  s.PostCommand(7, 0.25);
  ASSERT_TRUE(s.TakeCommand(code, value));
  EXPECT_EQ(std::pair(code, value), std::pair(7, 0.25));
  EXPECT_EQ(std::pair(s.Command(), s.CommandValue()), std::pair(int(kNoLinkCommand), 0.0));
  EXPECT_FALSE(s.TakeCommand(code, value));
}

TEST(LinkPairing, AFullTableFallsBackToSender1)
{
  for (int role : {kLinkSender, kLinkReceiver})
  {
    SCOPED_TRACE(role);
    LinkRegistry reg;
    reg.RegisterInstance();
    for (int id = 1; id <= kMaxLinkID; ++id) reg.Move(-1, 0, role, id);
    int mode = -1, linkID = -1;
    EXPECT_FALSE(reg.FindPairing(mode, linkID));
    EXPECT_EQ(reg.Join(), S(1));
    EXPECT_EQ(reg.Slot(1).Senders(), role == kLinkSender ? 2 : 1);
  }
}

class ZaniqPairing : public ZaniqTest
{
};

TEST_F(ZaniqPairing, AnInstanceForeseesThePairingOfTheNextOneAndNumbersItself)
{
  TestZANIQ& first = Make();
  int mode = -1, linkID = -1;
  ASSERT_TRUE(first.FindLinkPairing(mode, linkID));
  EXPECT_EQ(LinkPairing({mode, linkID}), R(1));
  EXPECT_EQ(Counts(Slot(1)), std::pair(1, 0)); // looking does not join
  TestZANIQ& second = Make();
  EXPECT_EQ(second.Pairing(), R(1));
  EXPECT_EQ(second.GetInstanceNumber(), first.GetInstanceNumber() + 1);

  // Every Link ID with a Receiver: nothing to foresee.
  LinkRegistry& reg = LinkRegistry::Instance();
  for (int id = 2; id <= kMaxLinkID; ++id) reg.Move(-1, 0, kLinkReceiver, id);
  EXPECT_FALSE(second.FindLinkPairing(mode, linkID));
  for (int id = 2; id <= kMaxLinkID; ++id) reg.Leave(kLinkReceiver, id);
  ASSERT_TRUE(second.FindLinkPairing(mode, linkID));
  EXPECT_EQ(LinkPairing({mode, linkID}), S(2));
}

} // namespace
