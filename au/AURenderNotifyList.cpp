#include "au/AURenderNotifyList.h"

#include <new>

namespace plugin
{

AURenderNotifyList::AURenderNotifyList() : mCurrent(new Node()) {}

AURenderNotifyList::~AURenderNotifyList()
{
  delete mCurrent.load();
  for (Node* node : mRetired) delete node;
}

int AURenderNotifyList::Count() const
{
  return mCurrent.load()->mSnapshot.mCount;
}

bool AURenderNotifyList::Add(AURenderCallback func, void* userData)
{
  if (!func) return false;
  Reclaim();
  const Node* cur = mCurrent.load();
  Node* next = new (std::nothrow) Node();
  if (!next) return false;
  try
  {
    // Reserve room for the retired entry first so that Publish itself cannot fail.
    mRetired.reserve(mRetired.size() + 1);
    next->mStorage.reserve(cur->mStorage.size() + 1);
    next->mStorage = cur->mStorage;
    next->mStorage.push_back(AURenderCallbackStruct{func, userData});
  }
  catch (...)
  {
    delete next;
    return false;
  }
  Publish(next);
  return true;
}

bool AURenderNotifyList::Remove(AURenderCallback func, void* userData)
{
  Reclaim();
  const Node* cur = mCurrent.load();
  int found = -1;
  for (size_t i = 0; i < cur->mStorage.size(); ++i)
  {
    if (cur->mStorage[i].inputProc == func && cur->mStorage[i].inputProcRefCon == userData)
    {
      found = static_cast<int>(i);
      break;
    }
  }
  if (found < 0) return false;
  Node* next = new (std::nothrow) Node();
  if (!next) return false;
  try
  {
    mRetired.reserve(mRetired.size() + 1);
    next->mStorage = cur->mStorage;
    next->mStorage.erase(next->mStorage.begin() + found);
  }
  catch (...)
  {
    delete next;
    return false;
  }
  Publish(next);
  return true;
}

void AURenderNotifyList::Publish(Node* next)
{
  next->mSnapshot.mCount = static_cast<int>(next->mStorage.size());
  next->mSnapshot.mEntries = next->mStorage.empty() ? nullptr : next->mStorage.data();
  Node* old = mCurrent.exchange(next, std::memory_order_seq_cst);
  mRetired.push_back(old); // capacity reserved by the caller
  Reclaim();
}

void AURenderNotifyList::Reclaim()
{
  // A reader that took the old pointer incremented the count before loading it, so once the count is seen at
  // zero after the swap every such reader has left.
  if (mRetired.empty() || mReaders.load(std::memory_order_seq_cst) != 0) return;
  for (Node* node : mRetired) delete node;
  mRetired.clear();
}

AURenderNotifyList::Reader::Reader(const AURenderNotifyList& list) : mList(list)
{
  mList.mReaders.fetch_add(1, std::memory_order_seq_cst);
  mSnapshot = &mList.mCurrent.load(std::memory_order_seq_cst)->mSnapshot;
}

AURenderNotifyList::Reader::~Reader()
{
  mList.mReaders.fetch_sub(1, std::memory_order_seq_cst);
}

} // namespace plugin
