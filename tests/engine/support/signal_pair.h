#pragma once

// A Sender and a Receiver in one process with an effects chain between them, driven block by block the way a
// host renders one track: the Sender's block first, then the chain, then the Receiver's block.

#include "engine/support/zaniq_env.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace testsupport
{

// Deterministic uniform noise in [-1, 1) (xorshift64*), so results do not depend on the standard library.
class Noise
{
public:
  explicit Noise(uint64_t seed) : mState(seed) {}
  double Next()
  {
    mState ^= mState >> 12;
    mState ^= mState << 25;
    mState ^= mState >> 27;
    const uint64_t r = mState * 0x2545F4914F6CDD1DULL;
    return double(r >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

private:
  uint64_t mState;
};

// The effects chain: a pure delay of `delay` samples and a gain, per channel.
class Chain
{
public:
  Chain(int delay = 0, double gain = 1.0) { Set(delay, gain); }
  void Set(int delay, double gain)
  {
    mGain = gain;
    for (auto& m : mMemory)
      m.assign(size_t(delay) + 1, 0.0);
    mPos = 0;
  }
  void Process(double* l, double* r, int n)
  {
    const int size = int(mMemory[0].size());
    for (int i = 0; i < n; ++i)
    {
      mMemory[0][size_t(mPos)] = l[i];
      mMemory[1][size_t(mPos)] = r[i];
      mPos = (mPos + 1) % size;
      l[i] = mMemory[0][size_t(mPos)] * mGain;
      r[i] = mMemory[1][size_t(mPos)] * mGain;
    }
  }

private:
  std::vector<double> mMemory[2];
  int mPos = 0;
  double mGain = 1.0;
};

// Fixture: instance 1 is the Sender, instance 2 the Receiver, both on Link ID 1, prepared for kRate and kBlock.
class SignalPairTest : public ZaniqTest
{
protected:
  static constexpr double kRate = 48000.0;
  static constexpr int kBlock = 512;

  void SetUp() override
  {
    // Slots keep queues, states and commands from earlier instances of the process.
    LinkSlot& slot = LinkRegistry::Instance().Slot(1);
    slot.ClearQueue();
    slot.ResetSenderControl();
    int code;
    double value;
    (void)slot.TakeCommand(code, value);

    mSender = &Make();
    mReceiver = &Make();
    ASSERT_EQ(mSender->GetPluginMode(), kLinkSender);
    ASSERT_EQ(mReceiver->GetPluginMode(), kLinkReceiver);
    ASSERT_EQ(mReceiver->GetLinkID(), mSender->GetLinkID());
    Prepare(*mSender, kRate, kBlock);
    Prepare(*mReceiver, kRate, kBlock);
  }

  static void Prepare(TestZANIQ& z, double rate, int block, int channels = 2)
  {
    z.SetSampleRate(rate);
    ASSERT_TRUE(z.SetBlockSize(block));
    z.SetChannelConnections(plugin::kInput, 0, 2, false);
    z.SetChannelConnections(plugin::kOutput, 0, 2, false);
    z.SetChannelConnections(plugin::kInput, 0, channels, true);
    z.SetChannelConnections(plugin::kOutput, 0, channels, true);
    z.OnReset();
  }

  // One host cycle of n frames: Sender input (inL, inR) -> Sender -> chain -> Receiver -> (outL, outR). The
  // Sender's own output is kept in mSenderOutL/R (before the chain).
  void Cycle(const double* inL, const double* inR, double* outL, double* outR, int n)
  {
    mSenderInL.assign(inL, inL + n);
    mSenderInR.assign(inR, inR + n);
    mSenderOutL.assign(size_t(n), 0.0);
    mSenderOutR.assign(size_t(n), 0.0);
    double* sIn[2] = {mSenderInL.data(), mSenderInR.data()};
    double* sOut[2] = {mSenderOutL.data(), mSenderOutR.data()};
    mSender->ProcessBlock(sIn, sOut, n);

    mChainL = mSenderOutL;
    mChainR = mSenderOutR;
    mChain.Process(mChainL.data(), mChainR.data(), n);

    double* rIn[2] = {mChainL.data(), mChainR.data()};
    double* rOut[2] = {outL, outR};
    mReceiver->ProcessBlock(rIn, rOut, n);
  }

  // Runs `blocks` cycles of noise (left and right at the given peak levels) and returns the Receiver's output and
  // the Sender's input, concatenated.
  void RunNoise(int blocks, double levelL = 0.5, double levelR = 0.3, int n = kBlock)
  {
    const size_t count = static_cast<size_t>(n);
    std::vector<double> inL(count), inR(count), outL(count), outR(count);
    for (int b = 0; b < blocks; ++b)
    {
      for (int i = 0; i < n; ++i)
      {
        inL[size_t(i)] = levelL * mNoise.Next();
        inR[size_t(i)] = levelR * mNoise.Next();
      }
      Cycle(inL.data(), inR.data(), outL.data(), outR.data(), n);
      mInL.insert(mInL.end(), inL.begin(), inL.end());
      mInR.insert(mInR.end(), inR.begin(), inR.end());
      mOutL.insert(mOutL.end(), outL.begin(), outL.end());
      mOutR.insert(mOutR.end(), outR.begin(), outR.end());
    }
  }

  void ClearRecordings()
  {
    mInL.clear();
    mInR.clear();
    mOutL.clear();
    mOutR.clear();
  }

  // Largest |out - expected * in| over recorded samples [from, to).
  double MaxDeviation(double expectedGain, size_t from, size_t to) const
  {
    double worst = 0.0;
    for (size_t i = from; i < to && i < mOutL.size(); ++i)
    {
      worst = std::max(worst, std::fabs(mOutL[i] - expectedGain * mInL[i]));
      worst = std::max(worst, std::fabs(mOutR[i] - expectedGain * mInR[i]));
    }
    return worst;
  }

  double MaxAbsOut(size_t from, size_t to) const
  {
    double worst = 0.0;
    for (size_t i = from; i < to && i < mOutL.size(); ++i)
      worst = std::max({worst, std::fabs(mOutL[i]), std::fabs(mOutR[i])});
    return worst;
  }

  TestZANIQ* mSender = nullptr;
  TestZANIQ* mReceiver = nullptr;
  Chain mChain;
  Noise mNoise{0x1234567u};
  std::vector<double> mSenderInL, mSenderInR, mSenderOutL, mSenderOutR, mChainL, mChainR;
  std::vector<double> mInL, mInR, mOutL, mOutR;
};

} // namespace testsupport
