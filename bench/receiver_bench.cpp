// Cost of the Receiver per stereo frame in each meter mode, against libebur128 (momentary mode) metering the same
// pre-FX and post-FX signals in the same program. The Receiver runs its whole chain (Auto match, post-FX monitor),
// fed by a Sender through a chain that lowers the level by 6 dB; only the Receiver's ProcessBlock is timed.
//
// Counters: ns_per_frame (Receiver), ebur128_ns_per_frame (two libebur128 states, one per signal, with the
// momentary loudness read every half second, when the Receiver raises its meter refresh), ratio = Receiver /
// libebur128. The second argument 1 lets the meters use four lanes where the processor has them (what the product
// does), 0 keeps them to the x86-64 baseline's two.

#include "bench/TemporaryHome.h"
#include "engine/ZANIQ.h"

#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int kBlock = 512;
constexpr int kBlocks = 64; // distinct blocks of input, cycled
constexpr double kRate = 48000.0;

class Noise
{
public:
  double Next()
  {
    mState ^= mState >> 12;
    mState ^= mState << 25;
    mState ^= mState >> 27;
    return double((mState * 0x2545F4914F6CDD1DULL) >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

private:
  uint64_t mState = 0x9E3779B97F4A7C15ULL;
};

void Prepare(ZANIQ& z)
{
  z.SetSampleRate(kRate);
  (void)z.SetBlockSize(kBlock);
  z.SetChannelConnections(plugin::kInput, 0, 2, true);
  z.SetChannelConnections(plugin::kOutput, 0, 2, true);
  z.OnReset();
}

void BM_ReceiverVsLibebur128(benchmark::State& state)
{
  const int mode = int(state.range(0));
  const bool wide = LoudnessMeter::UseWideLanes(state.range(1) != 0);
  TemporaryHome home;
  auto sender = std::make_unique<ZANIQ>(plugin::InstanceInfo{});
  auto receiver = std::make_unique<ZANIQ>(plugin::InstanceInfo{});
  if (sender->GetPluginMode() != kLinkSender || receiver->GetPluginMode() != kLinkReceiver)
  {
    state.SkipWithError("instances did not pair");
    return;
  }
  Prepare(*sender);
  Prepare(*receiver);
  plugin::IParam* meterMode = receiver->GetParam(ZANIQ::kMeterMode);
  meterMode->Set(mode);
  receiver->OnParamChange(ZANIQ::kMeterMode, plugin::kUI, -1);

  // Input blocks, and the same signals interleaved for libebur128 (pre-FX = the Sender's input, post-FX = the
  // chain's output, 6 dB lower).
  Noise noise;
  std::vector<double> inL(size_t(kBlocks) * kBlock), inR(inL.size());
  std::vector<double> preInterleaved(2 * inL.size()), postInterleaved(2 * inL.size());
  for (size_t i = 0; i < inL.size(); ++i)
  {
    inL[i] = 0.5 * noise.Next();
    inR[i] = 0.3 * noise.Next();
    preInterleaved[2 * i] = inL[i];
    preInterleaved[2 * i + 1] = inR[i];
    postInterleaved[2 * i] = 0.5 * inL[i];
    postInterleaved[2 * i + 1] = 0.5 * inR[i];
  }
  std::vector<double> sOutL(kBlock), sOutR(kBlock), rOutL(kBlock), rOutR(kBlock);

  ebur128_state* pre = ebur128_init(2, unsigned(kRate), EBUR128_MODE_M);
  ebur128_state* post = ebur128_init(2, unsigned(kRate), EBUR128_MODE_M);

  using Clock = std::chrono::steady_clock;
  double receiverNs = 0.0, eburNs = 0.0, sink = 0.0;
  int64_t frames = 0;
  int b = 0;
  int sinceRead = 0;
  constexpr int kHalfSecond = int(0.5 * kRate);
  for (auto _ : state)
  {
    const size_t offset = size_t(b) * kBlock;
    double* sIn[2] = {inL.data() + offset, inR.data() + offset};
    double* sOut[2] = {sOutL.data(), sOutR.data()};
    sender->ProcessBlock(sIn, sOut, kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
      sOutL[size_t(i)] *= 0.5;
      sOutR[size_t(i)] *= 0.5;
    }
    double* rOut[2] = {rOutL.data(), rOutR.data()};

    const auto t0 = Clock::now();
    receiver->ProcessBlock(sOut, rOut, kBlock);
    const auto t1 = Clock::now();
    ebur128_add_frames_double(pre, preInterleaved.data() + 2 * offset, kBlock);
    ebur128_add_frames_double(post, postInterleaved.data() + 2 * offset, kBlock);
    double lPre = 0.0, lPost = 0.0;
    sinceRead += kBlock;
    if (sinceRead >= kHalfSecond)
    {
      sinceRead -= kHalfSecond;
      ebur128_loudness_momentary(pre, &lPre);
      ebur128_loudness_momentary(post, &lPost);
    }
    const auto t2 = Clock::now();

    benchmark::DoNotOptimize(rOutL.data());
    sink += lPre + lPost + receiver->GetPostFXLevel();
    const double rNs = std::chrono::duration<double, std::nano>(t1 - t0).count();
    receiverNs += rNs;
    eburNs += std::chrono::duration<double, std::nano>(t2 - t1).count();
    state.SetIterationTime(rNs * 1e-9);
    frames += kBlock;
    b = (b + 1) % kBlocks;
  }
  benchmark::DoNotOptimize(sink);
  ebur128_destroy(&pre);
  ebur128_destroy(&post);

  static const char* const kNames[] = {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"};
  state.SetLabel(std::string(kNames[mode]) + (wide ? ", 4 lanes" : ", 2 lanes"));
  state.SetItemsProcessed(frames);
  if (frames > 0 && eburNs > 0.0)
  {
    state.counters["ns_per_frame"] = receiverNs / double(frames);
    state.counters["ebur128_ns_per_frame"] = eburNs / double(frames);
    state.counters["ratio"] = receiverNs / eburNs;
  }
  receiver.reset();
  sender.reset();
  LoudnessMeter::UseWideLanes(true);
}

BENCHMARK(BM_ReceiverVsLibebur128)
    ->ArgsProduct({benchmark::CreateDenseRange(kMeterRMSSummed, kMeterMaxPeak, 1), {1, 0}})
    ->UseManualTime();

} // namespace
