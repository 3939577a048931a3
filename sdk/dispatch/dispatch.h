// dispatch (libdispatch): counting semaphores, time values and immutable data objects.
//
// Dispatch objects are reference counted like NSObject (dispatch_retain / dispatch_release, or the NSObject
// methods). Blocks are std::function.
#pragma once

#include <Foundation/Foundation.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

typedef uint64_t dispatch_time_t;
typedef std::function<void()> dispatch_block_t;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr int64_t NSEC_PER_SEC = 1000000000ll;
inline constexpr int64_t NSEC_PER_MSEC = 1000000ll;

// A time `delta` nanoseconds after `when` (DISPATCH_TIME_NOW: the current monotonic time). FOREVER stays FOREVER.
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

// ---- Queues: only as a type here (handed to dispatch_data_create, may be null) ----
typedef struct dispatch_queue_s* dispatch_queue_t;

// ---- Base of the dispatch objects ----
class dispatch_object_s : public NSObject
{
};
typedef dispatch_object_s* dispatch_object_t;

// [any thread] Add or drop a reference (null is ignored).
void dispatch_retain(dispatch_object_t object);
void dispatch_release(dispatch_object_t object);

// ---- Semaphores ----
class dispatch_semaphore_s : public dispatch_object_s
{
public:
  explicit dispatch_semaphore_s(long value) : mValue(value) {}
  long wait(dispatch_time_t timeout);
  long signal();
  // Stand-in extension for tests: the current count (negative while threads wait).
  long debugValue() const;

private:
  mutable std::mutex mMutex;
  std::condition_variable mCond;
  long mValue;
  long mWaiters = 0;
};
typedef dispatch_semaphore_s* dispatch_semaphore_t;

// A semaphore starting at value; null when value is negative. The caller owns the reference.
dispatch_semaphore_t dispatch_semaphore_create(long value);
// [any thread] Decrements; waits while the count is below zero, until signalled or the timeout passes.
// Answers 0 on success, non-zero when the timeout passed (the decrement is then undone).
long dispatch_semaphore_wait(dispatch_semaphore_t dsema, dispatch_time_t timeout);
// [any thread] Increments and wakes one waiter; answers non-zero when a thread was woken.
long dispatch_semaphore_signal(dispatch_semaphore_t dsema);

// ---- Data ----
class dispatch_data_s : public dispatch_object_s
{
public:
  const void* bytes() const { return mBytes; }
  size_t size() const { return mSize; }

protected:
  ~dispatch_data_s() override;

private:
  friend dispatch_data_s* dispatch_data_create(const void*, size_t, dispatch_queue_t, dispatch_block_t);
  friend dispatch_data_s* dispatch_data_create_map(dispatch_data_s*, const void**, size_t*);
  dispatch_data_s() = default;
  const void* mBytes = nullptr;
  size_t mSize = 0;
  void* mOwned = nullptr;          // our copy (default destructor)
  dispatch_block_t mDestructor;    // the caller's destructor for a buffer it still owns
  dispatch_data_s* mParent = nullptr; // a map keeps its source alive
};
typedef dispatch_data_s* dispatch_data_t;

// Passed as the destructor: the bytes are copied at once (the platform defines it as NULL).
#define DISPATCH_DATA_DESTRUCTOR_DEFAULT nullptr

// New data over `size` bytes at `buffer`. With the default destructor the bytes are copied; with a destructor
// the buffer is used in place and the destructor runs when the data object goes (queue is not used here).
// Null when the copy cannot be made. The caller owns the reference.
dispatch_data_t dispatch_data_create(const void* buffer, size_t size, dispatch_queue_t queue,
                                     dispatch_block_t destructor);
// The size in bytes (0 for null).
size_t dispatch_data_get_size(dispatch_data_t data);
// Contiguous bytes of data: a new data object (owned by the caller) that keeps the bytes alive; *buffer_ptr and
// *size_ptr (when given) receive them. Null for null data.
dispatch_data_t dispatch_data_create_map(dispatch_data_t data, const void** buffer_ptr, size_t* size_ptr);
