#pragma once

// Running test code where a host would: on a thread with a small stack (hosts restore state off the main thread,
// and a Mac host's secondary threads have 512 KB), and under a watchdog for code that could block for ever.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <type_traits>
#include <utility>
#include <vector>

namespace testsupport
{

// A stack smaller than any host gives its threads; overflowing it crashes the test.
inline constexpr size_t kSmallStackBytes = 128 * 1024;

// Runs body on a new thread with a stack of stackBytes (std::thread cannot choose its stack) and waits for it.
// False when no such thread could be made.
template <typename Body>
bool RunOnStack(size_t stackBytes, Body&& body)
{
  using B = std::remove_reference_t<Body>;
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_t thread;
  const bool made = pthread_attr_setstacksize(&attr, stackBytes) == 0 &&
                    pthread_create(
                      &thread, &attr,
                      [](void* p) -> void* {
                        (*static_cast<B*>(p))();
                        return nullptr;
                      },
                      &body) == 0;
  pthread_attr_destroy(&attr);
  return made && pthread_join(thread, nullptr) == 0;
}

// Runs body on a thread of its own and waits for it at most `limit` — a watchdog for code that could block for
// ever, not a timing check. When body is still running then, the test fails and each FIFO in fifos is opened for
// writing and closed again until body returns (a reader waiting in open() then reads end of file), so a failing
// test cannot hang the run. True when body returned in time.
template <typename Body>
bool FinishesUnblocked(Body body, const std::vector<std::filesystem::path>& fifos,
                       std::chrono::seconds limit = std::chrono::seconds(60))
{
  auto done = std::async(std::launch::async, std::move(body));
  if (done.wait_for(limit) == std::future_status::ready)
  {
    done.get();
    return true;
  }
  ADD_FAILURE() << "still blocked after " << limit.count() << " s: releasing the FIFOs";
  while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
    for (const auto& fifo : fifos)
      if (const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) close(fd);
  done.get();
  return false;
}

} // namespace testsupport
