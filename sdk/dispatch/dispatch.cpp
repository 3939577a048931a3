// dispatch stand-in: semaphores, time values and data objects.

#include <dispatch/dispatch.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta)
{
  if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
  if (when == DISPATCH_TIME_NOW)
    when = (dispatch_time_t)std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
             .count();
  if (delta < 0) return (dispatch_time_t)-delta > when ? 1 : when - (dispatch_time_t)-delta;
  if ((dispatch_time_t)delta >= DISPATCH_TIME_FOREVER - when) return DISPATCH_TIME_FOREVER;
  return when + (dispatch_time_t)delta;
}

void dispatch_retain(dispatch_object_t object)
{
  if (object) object->retain();
}

void dispatch_release(dispatch_object_t object)
{
  if (object) object->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Semaphores
// ---------------------------------------------------------------------------------------------------------------

long dispatch_semaphore_s::wait(dispatch_time_t timeout)
{
  std::unique_lock lock(mMutex);
  if (mValue > 0)
  {
    --mValue;
    return 0;
  }
  if (timeout == DISPATCH_TIME_NOW) return 1;
  // The count stays non-negative here; waiters are counted apart so that debugValue can report them.
  ++mWaiters;
  if (timeout == DISPATCH_TIME_FOREVER)
    mCond.wait(lock, [this] { return mValue > 0; });
  else
  {
    const auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(timeout));
    if (!mCond.wait_until(lock, deadline, [this] { return mValue > 0; }))
    {
      --mWaiters;
      return 1;
    }
  }
  --mWaiters;
  --mValue;
  return 0;
}

long dispatch_semaphore_s::signal()
{
  std::lock_guard lock(mMutex);
  ++mValue;
  const bool woke = mWaiters > 0;
  if (woke) mCond.notify_one();
  return woke ? 1 : 0;
}

long dispatch_semaphore_s::debugValue() const
{
  std::lock_guard lock(mMutex);
  return mValue - mWaiters;
}

dispatch_semaphore_t dispatch_semaphore_create(long value)
{
  if (value < 0) return nullptr;
  return new dispatch_semaphore_s(value);
}

long dispatch_semaphore_wait(dispatch_semaphore_t dsema, dispatch_time_t timeout)
{
  return dsema ? dsema->wait(timeout) : 1;
}

long dispatch_semaphore_signal(dispatch_semaphore_t dsema)
{
  return dsema ? dsema->signal() : 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Data
// ---------------------------------------------------------------------------------------------------------------

dispatch_data_s::~dispatch_data_s()
{
  std::free(mOwned);
  if (mDestructor) mDestructor();
  if (mParent) mParent->release();
}

dispatch_data_t dispatch_data_create(const void* buffer, size_t size, dispatch_queue_t, dispatch_block_t destructor)
{
  if (!buffer && size) return nullptr;
  auto* data = new dispatch_data_s();
  if (destructor)
  {
    data->mBytes = buffer;
    data->mDestructor = std::move(destructor);
  }
  else if (size)
  {
    data->mOwned = std::malloc(size);
    if (!data->mOwned)
    {
      data->release();
      return nullptr;
    }
    std::memcpy(data->mOwned, buffer, size);
    data->mBytes = data->mOwned;
  }
  data->mSize = size;
  return data;
}

size_t dispatch_data_get_size(dispatch_data_t data)
{
  return data ? data->size() : 0;
}

dispatch_data_t dispatch_data_create_map(dispatch_data_t data, const void** buffer_ptr, size_t* size_ptr)
{
  if (!data) return nullptr;
  auto* map = new dispatch_data_s();
  map->mBytes = data->mBytes;
  map->mSize = data->mSize;
  map->mParent = data;
  data->retain();
  if (buffer_ptr) *buffer_ptr = map->mBytes;
  if (size_ptr) *size_ptr = map->mSize;
  return map;
}
