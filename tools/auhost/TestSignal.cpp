// The built-in test signal.

#include "tools/auhost/TestSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace auhost
{

namespace
{

// splitmix64: a small generator whose sequence is fixed by its seed on every platform.
class Random
{
public:
  explicit Random(uint64_t seed) : mState(seed) {}
  // Uniform in [-1, 1).
  double Next()
  {
    uint64_t z = (mState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

private:
  uint64_t mState;
};

// White noise through three leaky integrators: about -3 dB per octave over the audible band.
class PinkNoise
{
public:
  explicit PinkNoise(uint64_t seed) : mRandom(seed) {}
  double Next()
  {
    const double white = mRandom.Next();
    mB0 = 0.99765 * mB0 + white * 0.0990460;
    mB1 = 0.96300 * mB1 + white * 0.2965164;
    mB2 = 0.57000 * mB2 + white * 1.0526913;
    return (mB0 + mB1 + mB2 + white * 0.1848) * 0.25;
  }

private:
  Random mRandom;
  double mB0 = 0.0, mB1 = 0.0, mB2 = 0.0;
};

double NoteHz(int midi)
{
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Attack then exponential decay, t seconds after the strike.
double Envelope(double t, double attack, double decay)
{
  if (t < 0.0) return 0.0;
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

constexpr double kBeat = 0.5; // seconds
constexpr int kBeatsPerChord = 4;
// Am, F, C, G: three chord notes and the bass root.
constexpr int kChords[4][4] = {{57, 60, 64, 33}, {57, 60, 65, 29}, {55, 60, 64, 36}, {55, 59, 62, 31}};
constexpr double kVoicePan[3] = {0.3, 0.5, 0.7}; // 0 left, 1 right

} // namespace

void MakeTestSignal(double sampleRate, double seconds, AudioData& out)
{
  out = AudioData();
  out.sampleRate = std::isfinite(sampleRate) && sampleRate > 0.0 ? sampleRate : kTestSignalRate;
  const double n = std::isfinite(seconds) && seconds > 0.0 && std::isfinite(sampleRate) && sampleRate > 0.0
                     ? std::round(seconds * sampleRate)
                     : 0.0;
  const auto frames = static_cast<uint64_t>(std::min(n, static_cast<double>(kMaxFileFrames)));
  out.Resize(2, frames);

  PinkNoise common(0x5A414E4951ull), left(0x5A414E4952ull), right(0x5A414E4953ull);
  const double twoPi = 2.0 * std::numbers::pi;
  float* l = out.channels[0].data();
  float* r = out.channels[1].data();
  for (uint64_t i = 0; i < frames; ++i)
  {
    const double t = static_cast<double>(i) / sampleRate;
    const auto beat = static_cast<int64_t>(t / kBeat);
    const double inBeat = t - static_cast<double>(beat) * kBeat;
    const int64_t chordIndex = beat / kBeatsPerChord;
    const double inChord = t - static_cast<double>(chordIndex * kBeatsPerChord) * kBeat;
    const int* chord = kChords[chordIndex % 4];

    // Noise bed and off-beat bursts, partly shared between the channels.
    const double nc = common.Next(), nl = left.Next(), nr = right.Next();
    const double offBeat = inBeat - kBeat / 2.0;
    const double burst = 0.05 + 0.35 * Envelope(offBeat, 0.001, 0.03);
    double sl = burst * (0.8 * nc + 0.6 * nl);
    double sr = burst * (0.8 * nc + 0.6 * nr);

    // Chord voices with two overtones, struck at each chord change.
    const double chordEnv = Envelope(inChord, 0.02, 1.2);
    for (int v = 0; v < 3; ++v)
    {
      const double f = NoteHz(chord[v]);
      const double x = chordEnv * 0.15 *
                       (std::sin(twoPi * f * t) + 0.5 * std::sin(twoPi * 2.0 * f * t) +
                        0.25 * std::sin(twoPi * 3.0 * f * t));
      sl += x * (1.0 - kVoicePan[v]);
      sr += x * kVoicePan[v];
    }

    // Bass root on every beat, in the middle.
    const double fb = NoteHz(chord[3]);
    const double bass =
      Envelope(inBeat, 0.005, 0.25) * 0.35 * (std::sin(twoPi * fb * t) + 0.3 * std::sin(twoPi * 2.0 * fb * t));
    sl += bass;
    sr += bass;

    l[i] = static_cast<float>(sl);
    r[i] = static_cast<float>(sr);
  }

  float peak = 0.f;
  for (const auto& ch : out.channels)
    for (float x : ch) peak = std::max(peak, std::fabs(x));
  if (peak > 0.f)
  {
    const auto scale = static_cast<float>(std::pow(10.0, kTestSignalPeakDB / 20.0) / peak);
    for (auto& ch : out.channels)
      for (float& x : ch) x *= scale;
  }
}

} // namespace auhost
