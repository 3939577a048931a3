#pragma once

// The process-wide link registry: 257 link slots through which a Sender hands its audio blocks to the Receiver of the
// same Link ID, the Receiver tells the Sender how to shape its output, and any instance leaves peer commands. The
// registry also counts the Senders and Receivers of every Link ID and pairs new instances automatically.
//
// This is the one process-wide object of the engine. Every instance of a host process shares it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

// ---------------------------------------------------------------------------------------------------------------
// Limits
// ---------------------------------------------------------------------------------------------------------------

inline constexpr int kNumLinkSlots = 257;      // index 0: fallback slot (Link ID 0 = not linked, or out of range)
inline constexpr int kMaxLinkID = 256;
inline constexpr int kLinkBufferFrames = 8192; // frames per link buffer
inline constexpr int kLinkChannels = 2;
inline constexpr int kLinkQueueCapacity = 2;

// Plugin Mode values.
enum ELinkMode : int
{
  kLinkSender = 0,
  kLinkReceiver = 1,
};

// Sender states, written by the Receiver once per block: how the Sender produces its next output block.
enum ESenderState : int
{
  kSenderNormal = 0,   // input (divided by the pre gains) times the drive gain
  kSenderSilence = 1,
  kSenderImpulse = 2,  // 1.0 at the first sample, then zeros
  kSenderBypass = 3,   // input unchanged
};

inline constexpr int kNoLinkCommand = -1;

// ---------------------------------------------------------------------------------------------------------------
// LinkBuffer: one stereo block of the exchange.
// ---------------------------------------------------------------------------------------------------------------

struct LinkBuffer
{
  double** channels = nullptr;  // kLinkChannels arrays of kLinkBufferFrames doubles (AllocChannelBuffers)
  int frames = 0;               // frames the Sender wrote into it (0 .. kLinkBufferFrames)
  // Who owns the buffer: free, being written by a Sender, queued, or being read by a Receiver. Only the owner
  // touches the samples, so a Sender can never overwrite a block that a Receiver is reading.
  std::atomic<int> owner{0};
};

// ---------------------------------------------------------------------------------------------------------------
// BufferQueue: a fixed-capacity FIFO of buffer pointers under its own mutex.
// ---------------------------------------------------------------------------------------------------------------

class BufferQueue
{
public:
  explicit BufferQueue(int capacity);
  BufferQueue(const BufferQueue&) = delete;
  BufferQueue& operator=(const BufferQueue&) = delete;

  // Appends p; when the queue is full p is dropped, nothing changes and false is returned. [any thread]
  bool Push(LinkBuffer* p);
  // Removes and returns the oldest pointer; null when empty. [any thread]
  LinkBuffer* Pop();
  // Returns the pointer at the read position and advances it (wrapping), leaving count and entries unchanged:
  // cycles through the held pointers for ever. Null when empty. [any thread]
  LinkBuffer* TakeNext();
  // Empties the queue. [any thread]
  void Clear();

  // Pointers held now (a snapshot). [any thread, lock-free]
  int Count() const { return mCount.load(std::memory_order_acquire); }
  int Capacity() const { return mCapacity; }
  bool IsFull() const { return Count() >= mCapacity; }

private:
  mutable std::mutex mMutex;
  std::atomic<int> mCount{0};
  const int mCapacity;
  std::unique_ptr<LinkBuffer*[]> mSlots;
  int mWrite = 0;
  int mRead = 0;
};

// ---------------------------------------------------------------------------------------------------------------
// LinkSlot
// ---------------------------------------------------------------------------------------------------------------

// One Link ID's meeting point. Two preallocated stereo buffers of 8192 frames circulate between the Sender and the
// Receiver; the queue of filled buffers holds at most two. Scalar fields are atomics: the Receiver's audio thread
// writes the gains and the Sender state, the Sender's audio thread reads them; counts change under the registry
// mutex and are read lock-free.
class LinkSlot
{
public:
  LinkSlot();
  ~LinkSlot();
  LinkSlot(const LinkSlot&) = delete;
  LinkSlot& operator=(const LinkSlot&) = delete;

  // --- exchange, Sender side [audio thread] ---

  // True when the Receiver has left room in the queue of filled buffers (the Sender's link flag); when false the
  // Sender treats its block as unlinked for its gains (drive gain and divisors 1.0).
  bool HasRoom() const { return !mFull.IsFull(); }

  // Copies min(nFrames, 8192) frames of left and right (right may equal left) into the next buffer and queues it.
  // When both buffers are already queued the older one is overwritten with this newer block and moved to the back.
  // Returns false when no buffer could be had (a Receiver is reading one and another Sender of this slot is writing
  // the other), or when left is null or nFrames < 1: the block is then not passed on. Never blocks for long, never
  // allocates.
  bool SenderWrite(const double* left, const double* right, int nFrames);

  // --- exchange, Receiver side [audio thread] ---

  // The oldest filled buffer, now reserved for reading (its `frames` tell how many frames are valid; read no more),
  // or null when none is queued. Hand it back with ReceiverRelease before the next acquire.
  const LinkBuffer* ReceiverAcquire();
  // Returns a buffer taken with ReceiverAcquire to the Senders; null is ignored.
  void ReceiverRelease(const LinkBuffer* buffer);

  // Empties the queue of filled buffers (a buffer being read stays with its Receiver). [any thread]
  void ClearQueue();
  int QueuedCount() const { return mFull.Count(); }

  // --- Sender state and gains, written by the Receiver, read by the Sender [any thread] ---

  int SenderState() const { return mSenderState.load(std::memory_order_relaxed); }
  void SetSenderState(int state) { mSenderState.store(state, std::memory_order_relaxed); }
  double DriveGain() const { return mDriveGain.load(std::memory_order_relaxed); }
  void SetDriveGain(double g) { mDriveGain.store(g, std::memory_order_relaxed); }
  double PreGain() const { return mPreGain.load(std::memory_order_relaxed); }
  void SetPreGain(double g) { mPreGain.store(g, std::memory_order_relaxed); }
  double PreDivisor2() const { return mPreDivisor2.load(std::memory_order_relaxed); }
  void SetPreDivisor2(double g) { mPreDivisor2.store(g, std::memory_order_relaxed); }
  // Sender state 0 and all three gains 1.0: what a Sender without a Receiver should do.
  void ResetSenderControl();

  // --- peer command ---

  // Leaves a command (code, value) for this slot's Receiver; a later post overwrites it. [any thread]
  void PostCommand(int code, double value);
  // Takes the waiting command and leaves kNoLinkCommand / 0.0 in its place. Returns false, and leaves the command
  // waiting, when there is none or a post is in progress (try again at the next boundary). Code and value always
  // come from the same post. [audio thread: never blocks]
  [[nodiscard]] bool TakeCommand(int& code, double& value);
  int Command() const { return mCommand.load(std::memory_order_relaxed); }
  double CommandValue() const { return mCommandValue.load(std::memory_order_relaxed); }

  // --- counts (changed by LinkRegistry only) [any thread, lock-free read] ---

  int Senders() const { return mSenders.load(std::memory_order_relaxed); }
  int Receivers() const { return mReceivers.load(std::memory_order_relaxed); }

  static constexpr int Capacity() { return kLinkBufferFrames; }
  static constexpr int Channels() { return kLinkChannels; }

  // The two buffers and the two queues, for inspection.
  LinkBuffer& BufferA() { return mBufferA; }
  LinkBuffer& BufferB() { return mBufferB; }
  BufferQueue& FreeQueue() { return mFree; }
  BufferQueue& FullQueue() { return mFull; }

private:
  friend class LinkRegistry;

  enum EOwner : int { kFree = 0, kWriting = 1, kQueued = 2, kReading = 3 };

  LinkBuffer mBufferA;
  LinkBuffer mBufferB;
  BufferQueue mFree{kLinkQueueCapacity};  // holds A and B for ever; TakeNext alternates between them
  BufferQueue mFull{kLinkQueueCapacity};  // filled buffers, oldest first
  std::atomic<int> mSenders{0};
  std::atomic<int> mReceivers{0};
  std::atomic<int> mSenderState{kSenderNormal};
  std::atomic<double> mDriveGain{1.0};
  std::atomic<double> mPreGain{1.0};
  std::atomic<double> mPreDivisor2{1.0};
  std::mutex mCommandMutex;
  std::atomic<int> mCommand{kNoLinkCommand};
  std::atomic<double> mCommandValue{0.0};
};

// ---------------------------------------------------------------------------------------------------------------
// LinkRegistry
// ---------------------------------------------------------------------------------------------------------------

// Mode and Link ID of an instance.
struct LinkPairing
{
  int mode = kLinkSender;
  int linkID = 1;
  bool operator==(const LinkPairing&) const = default;
};

// An instance's place in the registry: its Plugin Mode and Link ID, always read together. Only the registry writes
// it, under its mutex and in the same step as the counts, so a host changing one instance from several threads at
// once can never make the counts differ from what the instances record. Read lock-free by any thread (the audio
// thread once per block). Default: Sender on Link ID 1, not counted until it joins. A member belongs to one registry.
class LinkMember
{
public:
  LinkMember() = default;
  LinkMember(const LinkMember&) = delete;
  LinkMember& operator=(const LinkMember&) = delete;

  // The recorded pairing. [any thread, lock-free]
  LinkPairing Pairing() const { return Unpack(mPairing.load(std::memory_order_acquire)); }

  // Registry steps (each one hold of the registry mutex) begun for this member so far. [any thread, lock-free]
  uint64_t Steps() const { return (mSteps.load(std::memory_order_relaxed) + 1) / 2; }

  // True when no registry step for this member is in progress and target(recorded) is the recorded pairing. A value
  // the caller stored before this call and target reads then needs no step: a step that begins later reads it, and
  // one that ended earlier is in the record read here. target reads atomics only. [any thread, lock-free]
  template <typename Target>
  bool Settled(Target&& target)
  {
    // A read-modify-write, not a load: it reads the latest count and is released to the step that begins after it,
    // so that step reads what the caller stored; when it follows a step's end it acquires that step's record.
    if (mSteps.fetch_add(0, std::memory_order_acq_rel) & 1)
      return false;
    const LinkPairing recorded = Pairing();
    return target(recorded) == recorded;
  }

private:
  friend class LinkRegistry;

  // Mode and Link ID in one plain word: every compiler reads and writes it without a lock or a library call.
  static constexpr uint64_t Pack(LinkPairing p) { return uint64_t(uint32_t(p.mode)) << 32 | uint32_t(p.linkID); }
  static constexpr LinkPairing Unpack(uint64_t v) { return {int(uint32_t(v >> 32)), int(uint32_t(v))}; }
  void Record(LinkPairing p) { mPairing.store(Pack(p), std::memory_order_release); }

  std::atomic<uint64_t> mPairing{Pack(LinkPairing{})};
  // Twice the steps taken, plus 1 while one is in progress (steps of one member hold the one registry mutex, so
  // they never overlap). Changed by read-modify-writes only, so every one of them continues the release sequence
  // of the step end before it.
  std::atomic<uint64_t> mSteps{0};
  bool mCounted = false; // under the registry mutex: the counts include this member
};

// The table of 257 slots plus the instance counters. All joins, leaves and moves run under one registry mutex, so
// instances created, destroyed or re-linked in parallel keep consistent counts. Counts never go below 0.
class LinkRegistry
{
public:
  // The process-wide registry, built on first use and never freed. [any thread]
  static LinkRegistry& Instance();

  // A private registry (tests). Allocates 257 slots with their buffers. [main thread]
  LinkRegistry();
  LinkRegistry(const LinkRegistry&) = delete;
  LinkRegistry& operator=(const LinkRegistry&) = delete;

  // The slot index of a Link ID: the ID itself for 0..256, else 0 (negative, too large or not finite).
  static int SlotIndex(int linkID);
  static int SlotIndex(double linkID);
  // The slot of a Link ID by the rule above. [any thread]
  LinkSlot& Slot(int linkID) { return *mSlots[size_t(SlotIndex(linkID))]; }

  // --- instance counting [main thread or a host parameter thread; holds the registry mutex for at most a 257-slot scan] ---

  // Counts a new instance and returns its number (1, 2, ...). The first instance of an empty registry restarts the
  // numbering and zeroes the sender and receiver counts of every slot (states, gains, commands and queues stay).
  int RegisterInstance();
  // Forgets one instance (never below 0).
  void UnregisterInstance();
  int LiveInstances() const { return mLiveInstances.load(std::memory_order_relaxed); }
  int LastInstanceNumber() const { return mSerial.load(std::memory_order_relaxed); }

  // --- pairing and moves [main thread or a host parameter thread; holds the registry mutex for at most a 257-slot scan] ---

  // Automatic pairing: S = lowest Link ID 1..256 without a Sender, R = lowest without a Receiver. Receiver on R when
  // R < S; Sender on S when S <= R; Sender on Link ID 1 when either does not exist. Increments the chosen count.
  LinkPairing Join();
  // The same choice without joining; false (outputs untouched) when every Link ID has a Sender or every one has a
  // Receiver.
  bool FindPairing(int& mode, int& linkID) const;

  // Leaves the slot of linkID: a Sender decrements its sender count, a Receiver its receiver count (other modes
  // change nothing). When the last Receiver leaves, the slot's Sender state returns to 0 and its gains to 1.0.
  void Leave(int mode, int linkID);
  // Leave(oldMode, oldLinkID), then join the slot of newLinkID in newMode (updating the highest Link ID of that
  // role). Nothing changes when both mode and slot stay the same.
  void Move(int oldMode, int oldLinkID, int newMode, int newLinkID);
  // Automatic re-pairing: leaves the current slot, then joins as Receiver the lowest Link ID 1..256 whose Sender
  // waits alone, else as Sender the lowest Link ID with neither. Returns the new pairing, or nothing when neither
  // exists (the instance then stays where it was and the counts are as before).
  std::optional<LinkPairing> Repair(int mode, int linkID);

  // --- an instance's own record [any thread; same mutex, same bounds as above] ---
  // Each reads the member's recorded pairing, changes the counts and records the result in one step, counted in the
  // member's Steps().

  // Automatic pairing as Join(), recorded in member, which is counted from now on. A member already counted keeps
  // its place. Returns the recorded pairing.
  LinkPairing Join(LinkMember& member);
  // Takes a counted member out of the counts of its recorded slot; its record stays. A second call does nothing.
  void Leave(LinkMember& member);
  // Records `to` for member; a counted member leaves its recorded slot and joins the new one as Move() does.
  // Returns true when the record changed.
  bool Move(LinkMember& member, const LinkPairing& to);
  // As Move, with the pairing target(recorded) returns; target runs under the registry mutex (it may read
  // atomics, not call back into the registry), so it sees every move made before this one. When member is
  // Settled(target) nothing is locked and false is returned: a write that changes nothing never waits for the mutex
  // (host automation repeating a value from the audio thread). [any thread]
  template <typename Target>
  bool MoveWith(LinkMember& member, Target&& target)
  {
    if (member.Settled(target))
      return false;
    Step step(*this, member);
    const LinkPairing from = member.Pairing();
    return RecordMoveLocked(member, from, target(from));
  }
  // Automatic re-pairing as Repair() from the recorded pairing; the new pairing is recorded. Nothing (record and
  // counts unchanged) when there is nowhere to go or the member is not counted.
  std::optional<LinkPairing> Repair(LinkMember& member);

  // Highest Link ID ever taken through Move or Repair by a Sender / a Receiver.
  int HighestSenderLinkID() const { return mHighestSender.load(std::memory_order_relaxed); }
  int HighestReceiverLinkID() const { return mHighestReceiver.load(std::memory_order_relaxed); }

  // Presence marks for Link IDs 0..256: count > 0. [any thread]
  void FillPresence(std::array<bool, kNumLinkSlots>& senderPresent,
                    std::array<bool, kNumLinkSlots>& receiverPresent) const;

private:
  // One step for a member: holds the registry mutex and marks the step in progress in between. The mark comes
  // before anything the step reads, and the end mark (a release) after everything it records.
  class Step
  {
  public:
    Step(LinkRegistry& registry, LinkMember& member)
      : mLock(registry.mMutex)
      , mMember(member)
    {
      mMember.mSteps.fetch_add(1, std::memory_order_acq_rel);
    }
    ~Step() { mMember.mSteps.fetch_add(1, std::memory_order_release); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

  private:
    std::lock_guard<std::mutex> mLock; // released after the end mark
    LinkMember& mMember;
  };

  void JoinLocked(int mode, int linkID);
  void LeaveLocked(int mode, int linkID);
  bool FindPairingLocked(int& mode, int& linkID) const;
  void MoveLocked(int oldMode, int oldLinkID, int newMode, int newLinkID);
  std::optional<LinkPairing> RepairLocked(int mode, int linkID);
  bool RecordMoveLocked(LinkMember& member, const LinkPairing& from, const LinkPairing& to);

  mutable std::mutex mMutex;
  std::array<std::unique_ptr<LinkSlot>, kNumLinkSlots> mSlots;
  std::atomic<int> mLiveInstances{0};
  std::atomic<int> mSerial{0};
  std::atomic<int> mHighestSender{0};
  std::atomic<int> mHighestReceiver{0};
};
