#pragma once

// A Sender and a Receiver in one process with an effects chain between them, driven block by block the way a
// host renders one track: the Sender's block first, then the chain, then the Receiver's block.

#include "engine/support/zaniq_env.h"

#include <algorithm>
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

// The effects chain: a pure delay of `delay` samples and a gain, per channel, and a noise floor up to +-`floor`.
class Chain
{
public:
  void Set(int delay, double gain, double floor = 0.0)
  {
    mGain = gain;
    mFloor = floor;
    for (auto& m : mMemory) m.assign(size_t(delay) + 1, 0.0);
    mPos = 0;
  }
  void Process(double* l, double* r, int n)
  {
    const size_t size = mMemory[0].size();
    for (int i = 0; i < n; ++i)
    {
      mMemory[0][mPos] = l[i];
      mMemory[1][mPos] = r[i];
      mPos = (mPos + 1) % size;
      l[i] = mMemory[0][mPos] * mGain + mFloor * mNoise.Next();
      r[i] = mMemory[1][mPos] * mGain + mFloor * mNoise.Next();
    }
  }

private:
  std::vector<double> mMemory[2] = {{0.0}, {0.0}};
  size_t mPos = 0;
  double mGain = 1.0, mFloor = 0.0;
  Noise mNoise{0x4E4F495345ull};
};

inline bool AllFinite(const std::vector<double>& v)
{
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// Fixture: instance 1 is the Sender, instance 2 the Receiver, both on Link ID 1, prepared for kRate and kBlock.
class SignalPairTest : public ZaniqTest
{
protected:
  static constexpr double kRate = 48000.0;
  static constexpr int kBlock = 512;

  static int BlocksFor(double seconds) { return int(std::ceil(seconds * kRate / kBlock)); }

  void SetUp() override
  {
    ZaniqTest::SetUp();
    mSender = &Make();
    mReceiver = &Make();
    ASSERT_EQ(mSender->Pairing(), S(1));
    ASSERT_EQ(mReceiver->Pairing(), R(1));
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

  // Runs `blocks` host cycles of noise (left and right at the given peak levels): Sender input -> Sender -> chain
  // -> Receiver. Records the Receiver's output and the Sender's input, concatenated, and keeps the Sender's own
  // output of the last block (before the chain). A finite `bad` replaces left sample `badAt` of every block.
  void RunNoise(int blocks, double levelL = 0.5, double levelR = 0.3, int n = kBlock, double bad = 0.0,
                int badAt = -1)
  {
    const size_t count = static_cast<size_t>(n);
    std::vector<double> inL(count), inR(count), outL(count), outR(count);
    for (int b = 0; b < blocks; ++b)
    {
      for (size_t i = 0; i < count; ++i)
      {
        inL[i] = levelL * mNoise.Next();
        inR[i] = levelR * mNoise.Next();
      }
      if (badAt >= 0) inL[size_t(badAt)] = bad;
      mSenderInL = inL;
      std::vector<double> senderInR = inR, chainR(count);
      mSenderOutL.assign(count, 0.0);
      double* sIn[2] = {mSenderInL.data(), senderInR.data()};
      double* sOut[2] = {mSenderOutL.data(), chainR.data()};
      mSender->ProcessBlock(sIn, sOut, n);
      std::vector<double> chainL = mSenderOutL;
      mChain.Process(chainL.data(), chainR.data(), n);
      double* rIn[2] = {chainL.data(), chainR.data()};
      double* rOut[2] = {outL.data(), outR.data()};
      if (mReceiverInPlace)
      {
        mReceiver->ProcessBlock(rIn, rIn, n);
        outL = chainL;
        outR = chainR;
      }
      else
        mReceiver->ProcessBlock(rIn, rOut, n);
      mInL.insert(mInL.end(), inL.begin(), inL.end());
      mInR.insert(mInR.end(), inR.begin(), inR.end());
      mOutL.insert(mOutL.end(), outL.begin(), outL.end());
      mOutR.insert(mOutR.end(), outR.begin(), outR.end());
    }
  }

  // Receiver blocks without Sender blocks: noise in, output discarded.
  void RunReceiverAlone(int blocks)
  {
    std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    for (int b = 0; b < blocks; ++b)
    {
      for (int i = 0; i < kBlock; ++i) inL[size_t(i)] = inR[size_t(i)] = 0.5 * mNoise.Next();
      mReceiver->ProcessBlock(in, out, kBlock);
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
      worst = std::max({worst, std::fabs(mOutL[i] - expectedGain * mInL[i]),
                        std::fabs(mOutR[i] - expectedGain * mInR[i])});
    return worst;
  }
  double MaxAbsOut(size_t from, size_t to) const
  {
    double worst = 0.0;
    for (size_t i = from; i < to && i < mOutL.size(); ++i)
      worst = std::max({worst, std::fabs(mOutL[i]), std::fabs(mOutR[i])});
    return worst;
  }
  double MaxAbsOut() const { return MaxAbsOut(0, mOutL.size()); }

  TestZANIQ* mSender = nullptr;
  TestZANIQ* mReceiver = nullptr;
  Chain mChain;
  Noise mNoise{0x1234567u};
  std::vector<double> mSenderInL, mSenderOutL; // the last block's
  bool mReceiverInPlace = false;                // RunNoise: the Receiver's outputs are its input buffers
  std::vector<double> mInL, mInR, mOutL, mOutR;
};

} // namespace testsupport
