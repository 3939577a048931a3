#pragma once

// A process-wide cache of decoded objects (bitmaps, SVG documents, font data) keyed by name and scale, shared by
// every graphics context of the process. Each context retains the store while it lives; the last one out clears
// it. Entries own their objects.
//
// Threads: [any thread]; every operation takes the store's recursive mutex. Callers that look up and then add
// hold it across both with Lock().

#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace plugin::igraphics
{

template <class T>
class StaticStorage
{
public:
  StaticStorage() = default;
  ~StaticStorage() { Clear(); }
  StaticStorage(const StaticStorage&) = delete;
  StaticStorage& operator=(const StaticStorage&) = delete;

  // Holds the store's mutex for a compound operation (find, then add).
  [[nodiscard]] std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(mMutex); }

  // A graphics context starts using the store.
  void Retain()
  {
    auto lock = Lock();
    ++mCount;
  }

  // A graphics context stops using the store; the last one clears it. An unbalanced call changes nothing.
  void Release()
  {
    auto lock = Lock();
    if (mCount > 0 && --mCount == 0) Clear();
  }

  int GetRefCount() const
  {
    auto lock = Lock();
    return mCount;
  }

  // The hash of the key text name + "-%.1fx" of scale (a null name counts as empty).
  static size_t Hash(const char* name, double scale)
  {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "-%.1fx", scale);
    return std::hash<std::string>()(std::string(name ? name : "") + suffix);
  }

  // The first object stored under exactly this name and scale, or null. The store keeps ownership.
  T* Find(const char* name, double scale) const
  {
    auto lock = Lock();
    const size_t hash = Hash(name, scale);
    for (const DataKey& k : mDatas)
      if (k.hashID == hash && k.scale == scale && k.name == (name ? name : "")) return k.data.get();
    return nullptr;
  }

  // Whether data is stored under any key.
  bool Contains(const T* data) const
  {
    auto lock = Lock();
    for (const DataKey& k : mDatas)
      if (k.data.get() == data) return true;
    return false;
  }

  // Appends data under name and scale and takes ownership (also when it fails to append: then data is deleted).
  // An older entry of the same key stays first and keeps answering Find. Null data is ignored.
  void Add(T* data, const char* name, double scale)
  {
    std::unique_ptr<T> owned(data);
    if (!owned) return;
    auto lock = Lock();
    mDatas.push_back(DataKey{Hash(name, scale), std::string(name ? name : ""), scale, std::move(owned)});
  }

  // Removes the first entry holding data and deletes it. Data not in the store changes nothing.
  void Remove(const T* data)
  {
    auto lock = Lock();
    for (auto it = mDatas.begin(); it != mDatas.end(); ++it)
    {
      if (it->data.get() == data)
      {
        std::unique_ptr<T> doomed = std::move(it->data);
        mDatas.erase(it);
        return; // deleted here, after the list no longer refers to it
      }
    }
  }

  // Deletes every entry, each once.
  void Clear()
  {
    auto lock = Lock();
    std::vector<DataKey> doomed;
    doomed.swap(mDatas); // an object's destructor may look at the store: it is empty by then
  }

  int GetSize() const
  {
    auto lock = Lock();
    return static_cast<int>(mDatas.size());
  }

private:
  struct DataKey
  {
    size_t hashID;
    std::string name;
    double scale;
    std::unique_ptr<T> data;
  };

  mutable std::recursive_mutex mMutex;
  std::vector<DataKey> mDatas;
  int mCount = 0; // live graphics contexts
};

} // namespace plugin::igraphics
