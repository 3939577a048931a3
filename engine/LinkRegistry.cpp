#include "engine/LinkRegistry.h"

#include "engine/DSPUtils.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------------------------
// BufferQueue
// ---------------------------------------------------------------------------------------------------------------

BufferQueue::BufferQueue(int capacity)
  : mCapacity(std::max(capacity, 1))
  , mSlots(new LinkBuffer*[size_t(mCapacity)]())
{
}

bool BufferQueue::Push(LinkBuffer* p)
{
  std::lock_guard<std::mutex> lock(mMutex);
  const int count = mCount.load(std::memory_order_relaxed);
  if (count >= mCapacity)
    return false;
  mSlots[size_t(mWrite)] = p;
  mWrite = mWrite + 1 >= mCapacity ? 0 : mWrite + 1;
  mCount.store(count + 1, std::memory_order_release);
  return true;
}

LinkBuffer* BufferQueue::Pop()
{
  std::lock_guard<std::mutex> lock(mMutex);
  const int count = mCount.load(std::memory_order_relaxed);
  if (count == 0)
    return nullptr;
  LinkBuffer* p = mSlots[size_t(mRead)];
  mSlots[size_t(mRead)] = nullptr;
  mRead = mRead + 1 >= mCapacity ? 0 : mRead + 1;
  mCount.store(count - 1, std::memory_order_release);
  return p;
}

LinkBuffer* BufferQueue::TakeNext()
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (mCount.load(std::memory_order_relaxed) == 0)
    return nullptr;
  LinkBuffer* p = mSlots[size_t(mRead)];
  mRead = mRead + 1 >= mCapacity ? 0 : mRead + 1;
  return p;
}

void BufferQueue::Clear()
{
  std::lock_guard<std::mutex> lock(mMutex);
  for (int i = 0; i < mCapacity; ++i)
    mSlots[size_t(i)] = nullptr;
  mWrite = mRead = 0;
  mCount.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------------------------
// LinkSlot — buffers
// ---------------------------------------------------------------------------------------------------------------

LinkSlot::LinkSlot()
{
  mBufferA.channels = AllocChannelBuffers(kLinkBufferFrames, kLinkChannels);
  mBufferB.channels = AllocChannelBuffers(kLinkBufferFrames, kLinkChannels);
  (void)mFree.Push(&mBufferA);
  (void)mFree.Push(&mBufferB);
}

LinkSlot::~LinkSlot()
{
  FreeChannelBuffers(mBufferA.channels, kLinkChannels);
  FreeChannelBuffers(mBufferB.channels, kLinkChannels);
}

bool LinkSlot::SenderWrite(const double* left, const double* right, int nFrames)
{
  if (!left || nFrames < 1)
    return false;
  if (!right)
    right = left;

  // A free buffer first, in the free queue's alternating order.
  LinkBuffer* buffer = nullptr;
  for (int i = 0; i < kLinkQueueCapacity && !buffer; ++i)
  {
    LinkBuffer* candidate = mFree.TakeNext();
    int expected = kFree;
    if (candidate && candidate->owner.compare_exchange_strong(expected, kWriting, std::memory_order_acq_rel))
      buffer = candidate;
  }
  // None free: the Receiver is not keeping up, so the oldest queued block is replaced by this newer one. Whoever
  // pops a buffer owns it alone, so no one else can read or write it until it is pushed again.
  if (!buffer)
  {
    buffer = mFull.Pop();
    if (!buffer)
      return false;
    buffer->owner.store(kWriting, std::memory_order_relaxed);
  }

  const int n = std::min(nFrames, kLinkBufferFrames);
  std::copy_n(left, n, buffer->channels[0]);
  std::copy_n(right, n, buffer->channels[1]);
  buffer->frames = n;
  buffer->owner.store(kQueued, std::memory_order_release);
  // Only two buffers exist and this one was in no queue, so the push always finds room.
  (void)mFull.Push(buffer);
  return true;
}

const LinkBuffer* LinkSlot::ReceiverAcquire()
{
  LinkBuffer* buffer = mFull.Pop();
  if (buffer)
    buffer->owner.store(kReading, std::memory_order_relaxed);
  return buffer;
}

void LinkSlot::ReceiverRelease(const LinkBuffer* buffer)
{
  if (buffer != &mBufferA && buffer != &mBufferB)
    return;
  LinkBuffer* b = buffer == &mBufferA ? &mBufferA : &mBufferB;
  // Only a buffer in the reading state goes back: a second release must not free a buffer a Sender now writes.
  int expected = kReading;
  b->owner.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel);
}

void LinkSlot::ClearQueue()
{
  while (LinkBuffer* buffer = mFull.Pop())
    buffer->owner.store(kFree, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------------------------
// LinkSlot — control and commands
// ---------------------------------------------------------------------------------------------------------------

void LinkSlot::ResetSenderControl()
{
  mSenderState.store(kSenderNormal, std::memory_order_relaxed);
  mDriveGain.store(1.0, std::memory_order_relaxed);
  mPreGain.store(1.0, std::memory_order_relaxed);
  mPreDivisor2.store(1.0, std::memory_order_relaxed);
}

void LinkSlot::PostCommand(int code, double value)
{
  std::lock_guard<std::mutex> lock(mCommandMutex);
  mCommand.store(code, std::memory_order_relaxed);
  mCommandValue.store(value, std::memory_order_relaxed);
}

bool LinkSlot::TakeCommand(int& code, double& value)
{
  // A cheap look first, so an idle slot costs no lock.
  if (mCommand.load(std::memory_order_relaxed) == kNoLinkCommand)
    return false;
  std::unique_lock<std::mutex> lock(mCommandMutex, std::try_to_lock);
  if (!lock.owns_lock())
    return false;
  const int c = mCommand.load(std::memory_order_relaxed);
  if (c == kNoLinkCommand)
    return false;
  code = c;
  value = mCommandValue.load(std::memory_order_relaxed);
  mCommand.store(kNoLinkCommand, std::memory_order_relaxed);
  mCommandValue.store(0.0, std::memory_order_relaxed);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// LinkRegistry — table and instances
// ---------------------------------------------------------------------------------------------------------------

LinkRegistry& LinkRegistry::Instance()
{
  // Never destroyed: instances may still be torn down by a host after static destructors have run.
  static LinkRegistry* registry = new LinkRegistry();
  return *registry;
}

LinkRegistry::LinkRegistry()
{
  for (auto& slot : mSlots)
    slot = std::make_unique<LinkSlot>();
}

int LinkRegistry::SlotIndex(int linkID)
{
  return linkID >= 0 && linkID <= kMaxLinkID ? linkID : 0;
}

int LinkRegistry::SlotIndex(double linkID)
{
  // The comparison is false for NaN, so NaN falls to 0 as well.
  if (!(linkID >= 0.0 && linkID < double(kMaxLinkID + 1)))
    return 0;
  return int(linkID);
}

int LinkRegistry::RegisterInstance()
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (mLiveInstances.load(std::memory_order_relaxed) <= 0)
  {
    mLiveInstances.store(0, std::memory_order_relaxed);
    mSerial.store(0, std::memory_order_relaxed);
    for (auto& slot : mSlots)
    {
      slot->mSenders.store(0, std::memory_order_relaxed);
      slot->mReceivers.store(0, std::memory_order_relaxed);
    }
  }
  mLiveInstances.fetch_add(1, std::memory_order_relaxed);
  return mSerial.fetch_add(1, std::memory_order_relaxed) + 1;
}

void LinkRegistry::UnregisterInstance()
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (mLiveInstances.load(std::memory_order_relaxed) > 0)
    mLiveInstances.fetch_sub(1, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------------------------
// LinkRegistry — pairing and moves
// ---------------------------------------------------------------------------------------------------------------

void LinkRegistry::JoinLocked(int mode, int linkID)
{
  LinkSlot& slot = Slot(linkID);
  if (mode == kLinkSender)
    slot.mSenders.fetch_add(1, std::memory_order_relaxed);
  else if (mode == kLinkReceiver)
    slot.mReceivers.fetch_add(1, std::memory_order_relaxed);
}

void LinkRegistry::LeaveLocked(int mode, int linkID)
{
  LinkSlot& slot = Slot(linkID);
  std::atomic<int>* count = mode == kLinkSender ? &slot.mSenders : mode == kLinkReceiver ? &slot.mReceivers : nullptr;
  if (!count)
    return;
  const int left = std::max(count->load(std::memory_order_relaxed) - 1, 0);
  count->store(left, std::memory_order_relaxed);
  // A Sender must not go on emitting the impulse, silence or gains of a Receiver that is gone.
  if (mode == kLinkReceiver && left == 0)
    slot.ResetSenderControl();
}

bool LinkRegistry::FindPairingLocked(int& mode, int& linkID) const
{
  int s = 0, r = 0;
  for (int id = 1; id <= kMaxLinkID && (!s || !r); ++id)
  {
    const LinkSlot& slot = *mSlots[size_t(id)];
    if (!s && slot.Senders() < 1)
      s = id;
    if (!r && slot.Receivers() < 1)
      r = id;
  }
  if (!s || !r)
    return false;
  if (r < s)
  {
    mode = kLinkReceiver;
    linkID = r;
  }
  else
  {
    mode = kLinkSender;
    linkID = s;
  }
  return true;
}

bool LinkRegistry::FindPairing(int& mode, int& linkID) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return FindPairingLocked(mode, linkID);
}

LinkPairing LinkRegistry::Join()
{
  std::lock_guard<std::mutex> lock(mMutex);
  LinkPairing p;
  if (!FindPairingLocked(p.mode, p.linkID))
    p = LinkPairing{kLinkSender, 1};
  JoinLocked(p.mode, p.linkID);
  return p;
}

void LinkRegistry::Leave(int mode, int linkID)
{
  std::lock_guard<std::mutex> lock(mMutex);
  LeaveLocked(mode, linkID);
}

void LinkRegistry::Move(int oldMode, int oldLinkID, int newMode, int newLinkID)
{
  std::lock_guard<std::mutex> lock(mMutex);
  MoveLocked(oldMode, oldLinkID, newMode, newLinkID);
}

void LinkRegistry::MoveLocked(int oldMode, int oldLinkID, int newMode, int newLinkID)
{
  if (oldMode == newMode && SlotIndex(oldLinkID) == SlotIndex(newLinkID))
    return;
  LeaveLocked(oldMode, oldLinkID);
  const int newIndex = SlotIndex(newLinkID);
  if (newMode == kLinkSender)
    mHighestSender.store(std::max(mHighestSender.load(std::memory_order_relaxed), newIndex));
  else if (newMode == kLinkReceiver)
    mHighestReceiver.store(std::max(mHighestReceiver.load(std::memory_order_relaxed), newIndex));
  JoinLocked(newMode, newLinkID);
}

std::optional<LinkPairing> LinkRegistry::Repair(int mode, int linkID)
{
  std::lock_guard<std::mutex> lock(mMutex);
  return RepairLocked(mode, linkID);
}

std::optional<LinkPairing> LinkRegistry::RepairLocked(int mode, int linkID)
{
  // Search as if this instance had already left its slot, without showing other threads a transient count.
  const int ownIndex = SlotIndex(linkID);
  auto senders = [&](int id) {
    const int n = mSlots[size_t(id)]->Senders();
    return id == ownIndex && mode == kLinkSender ? std::max(n - 1, 0) : n;
  };
  auto receivers = [&](int id) {
    const int n = mSlots[size_t(id)]->Receivers();
    return id == ownIndex && mode == kLinkReceiver ? std::max(n - 1, 0) : n;
  };

  std::optional<LinkPairing> target;
  for (int id = 1; id <= kMaxLinkID && !target; ++id)
    if (senders(id) > 0 && receivers(id) <= 0)
      target = LinkPairing{kLinkReceiver, id};
  for (int id = 1; id <= kMaxLinkID && !target; ++id)
    if (senders(id) <= 0 && receivers(id) <= 0)
      target = LinkPairing{kLinkSender, id};
  if (!target)
    return std::nullopt;
  if (target->mode == mode && target->linkID == ownIndex)
    return target;

  LeaveLocked(mode, linkID);
  if (target->mode == kLinkReceiver)
    mHighestReceiver.store(std::max(mHighestReceiver.load(std::memory_order_relaxed), target->linkID));
  else
    mHighestSender.store(std::max(mHighestSender.load(std::memory_order_relaxed), target->linkID));
  JoinLocked(target->mode, target->linkID);
  return target;
}

// ---------------------------------------------------------------------------------------------------------------
// LinkRegistry — an instance's own record
// ---------------------------------------------------------------------------------------------------------------

// Why a settled write may skip its step. The caller stored a parameter value v, then Settled's read-modify-write R
// of the step count found it even. Every change of the count is a read-modify-write, so each step's begin mark lies
// either after R in the count's order, and then reads what R released: R happens before everything the step reads,
// which sees v or a later value; or before R, and then (the count being even at R) its end mark lies before R too,
// and R acquires it: the step's record happens before R's read of the record. No step can therefore read the
// parameter from before v and record after what R compared against.

LinkPairing LinkRegistry::Join(LinkMember& member)
{
  Step step(*this, member);
  if (member.mCounted)
    return member.Pairing();
  LinkPairing p;
  if (!FindPairingLocked(p.mode, p.linkID))
    p = LinkPairing{kLinkSender, 1};
  JoinLocked(p.mode, p.linkID);
  member.Record(p);
  member.mCounted = true;
  return p;
}

void LinkRegistry::Leave(LinkMember& member)
{
  Step step(*this, member);
  if (!member.mCounted)
    return;
  const LinkPairing p = member.Pairing();
  LeaveLocked(p.mode, p.linkID);
  member.mCounted = false;
}

bool LinkRegistry::Move(LinkMember& member, const LinkPairing& to)
{
  return MoveWith(member, [&to](const LinkPairing&) { return to; });
}

bool LinkRegistry::RecordMoveLocked(LinkMember& member, const LinkPairing& from, const LinkPairing& to)
{
  if (to == from)
    return false;
  if (member.mCounted)
    MoveLocked(from.mode, from.linkID, to.mode, to.linkID);
  member.Record(to);
  return true;
}

std::optional<LinkPairing> LinkRegistry::Repair(LinkMember& member)
{
  Step step(*this, member);
  const LinkPairing from = member.Pairing();
  if (!member.mCounted)
    return std::nullopt;
  const std::optional<LinkPairing> to = RepairLocked(from.mode, from.linkID);
  if (to)
    member.Record(*to);
  return to;
}

void LinkRegistry::FillPresence(std::array<bool, kNumLinkSlots>& senderPresent,
                                std::array<bool, kNumLinkSlots>& receiverPresent) const
{
  for (int i = 0; i < kNumLinkSlots; ++i)
  {
    senderPresent[size_t(i)] = mSlots[size_t(i)]->Senders() > 0;
    receiverPresent[size_t(i)] = mSlots[size_t(i)]->Receivers() > 0;
  }
}
