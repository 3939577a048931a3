// Disposal from inside an object's own calls: it waits for the outermost call of the object on the disposing
// thread, runs once, and is not held up by calls on other threads.

#include "framework/Lifetime.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <latch>

#include <memory>
#include <string>
#include <thread>
#include <vector>

using plugin::Lifetime;

// While set, the thread key's storage cannot be had. The linker hands this program's calls of pthread_setspecific,
// the library's included, to the wrapper (tests/framework/CMakeLists.txt): the product carries no switch for it.
static std::atomic<bool> gNoKeyStorage{false};
extern "C" int __real_pthread_setspecific(pthread_key_t key, const void* value);
extern "C" int __wrap_pthread_setspecific(pthread_key_t key, const void* value)
{
  return gNoKeyStorage.load() ? ENOMEM : __real_pthread_setspecific(key, value);
}

namespace
{

struct Object
{
  explicit Object(std::vector<std::string>& l) : log(&l) {}
  ~Object() { log->push_back("gone"); }
  Lifetime lifetime;
  std::vector<std::string>* log;
};

TEST(Lifetime, DisposalWaitsForTheOutermostCallOnItsThreadAndRunsOnce)
{
  std::vector<std::string> log;
  auto* object = new Object(log);
  Lifetime other;
  {
    Lifetime::Scope outer(object->lifetime);
    {
      Lifetime::Scope foreign(other); // another object's call in between
      Lifetime::Scope inner(object->lifetime);
      EXPECT_FALSE(object->lifetime.Dispose([&] { delete object; }));
      EXPECT_FALSE(object->lifetime.Dispose([&] { log.push_back("second"); }));
      EXPECT_TRUE(object->lifetime.IsDisposing());
    }
    log.push_back("inner calls returned");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"inner calls returned", "gone"}));

  // Outside any call of it, or with calls only on another thread: at once.
  Object here(log);
  bool ran = false;
  std::thread([&] {
    Lifetime::Scope elsewhere(here.lifetime);
    EXPECT_TRUE(here.lifetime.InScope());
  }).join();
  Lifetime::Scope unrelated(other);
  EXPECT_TRUE(here.lifetime.Dispose([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(Lifetime, AnObjectDeletedOutrightInsideItsCallLeavesNothingBehind)
{
  std::vector<std::string> log;
  auto object = std::make_unique<Object>(log);
  {
    Lifetime::Scope call(object->lifetime);
    object.reset();
  }
  Lifetime next;
  EXPECT_FALSE(next.InScope());
  EXPECT_TRUE(next.Dispose(nullptr));
}

// A scope that could not register on its thread hides a call of its object from the scopes inside it: none of them
// counts itself the outermost, and a disposal that cannot be placed for sure is kept back rather than run under
// the call. Once no such scope is open anywhere, one kept by a scope that was not sure runs as it closes.
TEST(Lifetime, AScopeThatCouldNotRegisterLetsNoInnerOneCountItselfOutermost)
{
  std::vector<std::string> log;
  auto* object = new Object(log);
  {
    gNoKeyStorage = true;
    Lifetime::Scope unregistered(object->lifetime);
    gNoKeyStorage = false;
    {
      Lifetime::Scope inner(object->lifetime);
      EXPECT_TRUE(object->lifetime.InScope());
      EXPECT_FALSE(object->lifetime.Dispose([&] { delete object; }));
    }
    log.push_back("inner returned");
    EXPECT_FALSE(object->lifetime.Dispose([&] { log.push_back("asked again"); }));
    EXPECT_TRUE(object->lifetime.IsDisposing());
  }
  EXPECT_EQ(log, std::vector<std::string>{"inner returned"});
  delete object;
  log.clear();

  // Another thread's unregistered scope closes while this thread's scope, opened not sure, is still open.
  std::latch opened(1), close(1);
  Lifetime unrelated;
  std::thread other([&] {
    gNoKeyStorage = true;
    Lifetime::Scope hidden(unrelated);
    gNoKeyStorage = false;
    opened.count_down();
    close.wait();
  });
  opened.wait();
  object = new Object(log);
  {
    Lifetime::Scope call(object->lifetime);
    close.count_down();
    other.join();
    EXPECT_FALSE(object->lifetime.Dispose([&] { delete object; }));
    log.push_back("call returned");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"call returned", "gone"}));
}

} // namespace
