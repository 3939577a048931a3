#include "au/AURenderRoute.h"

#include <new>

namespace plugin
{

AURenderRouteSlot::AURenderRouteSlot() : mCurrent(new AURenderRoute()) {}

AURenderRouteSlot::~AURenderRouteSlot()
{
  delete mCurrent.load();
  for (AURenderRoute* route : mRetired) delete route;
}

bool AURenderRouteSlot::Publish(const std::vector<AURenderInput>& inputs)
{
  Reclaim();
  std::unique_ptr<AURenderRoute> next(new (std::nothrow) AURenderRoute());
  if (!next) return false;
  try
  {
    // Room for the retired route first, so that nothing after the swap can fail.
    mRetired.reserve(mRetired.size() + 1);
    next->mInputs = inputs;
  }
  catch (...)
  {
    return false;
  }
  next->mGeneration = mNextGeneration++;
  AURenderRoute* old = mCurrent.exchange(next.release(), std::memory_order_seq_cst);
  mRetired.push_back(old);
  Reclaim();
  return true;
}

void AURenderRouteSlot::Reclaim()
{
  // A reader that took the old pointer incremented the count before loading it, so once the count is seen at
  // zero after the swap every such reader has left.
  if (mRetired.empty() || mReaders.load(std::memory_order_seq_cst) != 0) return;
  for (AURenderRoute* route : mRetired) delete route;
  mRetired.clear();
}

AURenderRouteSlot::Reader::Reader(const AURenderRouteSlot& slot) : mSlot(slot)
{
  mSlot.mReaders.fetch_add(1, std::memory_order_seq_cst);
  mRoute = mSlot.mCurrent.load(std::memory_order_seq_cst);
}

AURenderRouteSlot::Reader::~Reader()
{
  mSlot.mReaders.fetch_sub(1, std::memory_order_seq_cst);
}

} // namespace plugin
