#pragma once

// Test environment for ZANIQ instances: a temporary home folder (the data folder lives under it), a plug-in
// subclass that scripts the modifiers of editor control presses, and small file and registry helpers.

#include "support/ScopedHome.h"
#include "engine/support/preset_files.h"
#include "engine/ZANIQ.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport
{

// The process-wide registry's slot for a Link ID.
inline LinkSlot& Slot(int id) { return LinkRegistry::Instance().Slot(id); }
inline LinkPairing S(int id) { return {kLinkSender, id}; }
inline LinkPairing R(int id) { return {kLinkReceiver, id}; }
inline std::pair<int, int> Counts(const LinkSlot& s) { return {s.Senders(), s.Receivers()}; } // Senders, Receivers

// A ZANIQ whose editor controls are scripted: SetPress(tag, kind, mods) makes GetControlPress answer for that
// tag as if the editor were open with a control of that class pressed with those modifiers.
class TestZANIQ : public ZANIQ
{
public:
  TestZANIQ() : ZANIQ(plugin::InstanceInfo{}) {}

  void SetPress(int tag, EPressControl kind, ControlPress press) { mPresses[tag] = {kind, press}; }
  bool GetControlPress(int tag, EPressControl kind, ControlPress& press) const override
  {
    auto it = mPresses.find(tag);
    if (it == mPresses.end() || it->second.first != kind) return false;
    press = it->second.second;
    return true;
  }

  void SetTargetLatencyForTest(int samples) { mTargetLatency.store(samples); }
  void SetGainToMatchForTest(double g) { mGainToMatch.store(g); }
  // The meter levels the match commands look at (linear).
  void SetLevelsForTest(double pre, double post, double preMax)
  {
    mPreFXLevel.store(pre);
    mPostFXLevel.store(post);
    mPreFXMax.store(preMax);
  }
  void SetPreRatiosForTest(double ratio, double maxRatio)
  {
    mPreRatio.store(ratio);
    mPreMaxRatio.store(maxRatio);
  }

  // Sets parameter idx to a real value as the editor does (plain Set, then OnParamChange with the source).
  void Change(int idx, double value, plugin::EParamSource source = plugin::kUI)
  {
    GetParam(idx)->Set(value);
    OnParamChange(idx, source, -1);
  }
  double Value(int idx) const { return GetParam(idx)->Value(); }
  LinkPairing Pairing() const { return {GetPluginMode(), GetLinkID()}; }
  // Registry steps (holds of the registry mutex) taken for this instance's link record.
  uint64_t LinkSteps() const { return mLink.Steps(); }

  // Runs one pass-through block of n stereo frames (applies the posted DSP requests).
  void RunBlock(int n = 64)
  {
    std::vector<double> inL(size_t(n), 0.0), inR(size_t(n), 0.0), outL(size_t(n), 0.0), outR(size_t(n), 0.0);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    ProcessBlock(in, out, n);
  }

private:
  std::map<int, std::pair<EPressControl, ControlPress>> mPresses;
};

// The parameter and the engine's mirror of it both hold v (to a few ulps).
inline ::testing::AssertionResult Holds(const TestZANIQ& z, int idx, double v)
{
  const double tolerance = 4 * std::numeric_limits<double>::epsilon() * std::fabs(v);
  const auto near = [&](double x) { return std::fabs(x - v) <= tolerance; };
  if (near(z.Value(idx)) && near(z.GetMirror(idx))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "parameter " << idx << " is " << z.Value(idx) << ", its mirror "
                                       << z.GetMirror(idx) << ", not " << v;
}

// Two instances on audio threads of their own: body(z, n, stop) runs once on each thread (n is 1 for the first
// instance, 2 for the second) and loops until stop is set. Join sets it and waits; so does the destructor, so a
// failed assertion does not leave the threads running.
class AudioThreads
{
public:
  template <typename Body>
  AudioThreads(TestZANIQ& first, TestZANIQ& second, Body body)
    : mFirst([this, &first, body] { body(first, 1u, mStop); }),
      mSecond([this, &second, body] { body(second, 2u, mStop); })
  {
  }
  ~AudioThreads() { Join(); }
  AudioThreads(const AudioThreads&) = delete;
  AudioThreads& operator=(const AudioThreads&) = delete;

  void Join()
  {
    mStop.store(true);
    if (mFirst.joinable()) mFirst.join();
    if (mSecond.joinable()) mSecond.join();
  }

private:
  std::atomic<bool> mStop{false}; // before the threads, which read it
  std::thread mFirst;
  std::thread mSecond;
};

// Fixture: a temporary home for every test; instances made with Make are destroyed before the home goes.
class ZaniqTest : public ::testing::Test
{
protected:
  TestZANIQ& Make()
  {
    mInstances.push_back(std::make_unique<TestZANIQ>());
    return *mInstances.back();
  }
  void Destroy(TestZANIQ& z)
  {
    std::erase_if(mInstances, [&](const auto& p) { return p.get() == &z; });
  }
  void DestroyAll() { mInstances.clear(); }
  // The registry is process-wide: every test starts with empty queues, no waiting commands and Senders told to
  // play normally.
  void SetUp() override
  {
    for (int i = 0; i < kNumLinkSlots; ++i)
    {
      Slot(i).ClearQueue();
      Slot(i).ResetSenderControl();
      int code;
      double value;
      (void)Slot(i).TakeCommand(code, value);
    }
  }
  void TearDown() override { DestroyAll(); }

  ScopedHome mHome;
  std::vector<std::unique_ptr<TestZANIQ>> mInstances;
};

} // namespace testsupport
