#pragma once

// Small DSP utilities: channel buffers, window tables, sinc, FFTs, polar conversion and an owned chain of
// processing stages.

#include <functional>
#include <vector>

// ---------------------------------------------------------------------------------------------------------------
// Channel buffers: an array of N pointers, each to L doubles.
// ---------------------------------------------------------------------------------------------------------------

// New array of `channels` pointers, each to `length` doubles (contents not initialised). Null when length < 1 or
// channels < 1. Free with FreeChannelBuffers. [allocates: preparation only]
double** AllocChannelBuffers(int length, int channels);

// Frees each non-null channel array and the pointer array; null `buffers` is ignored. [not audio thread]
void FreeChannelBuffers(double** buffers, int channels);

// For each of `channels` channels whose source and destination are both non-null, copies `length` doubles from
// src[c] to dst[c] + offset. Nothing when length < 1, offset < 0 or either array is null. The caller guarantees
// room for offset + length doubles. [audio thread]
void CopyChannelBuffers(const double* const* src, double* const* dst, int length, int channels, int offset);

// Copies `length` doubles from src to dst + offset; nothing when either pointer is null, length < 1 or
// offset < 0. [audio thread]
void CopyChannel(const double* src, double* dst, int length, int offset);

// Zeroes `length` doubles of each non-null channel. [audio thread]
void ZeroChannelBuffers(double* const* buffers, int length, int channels);

// ---------------------------------------------------------------------------------------------------------------
// Windows and sinc
// ---------------------------------------------------------------------------------------------------------------

// sin(x)/x; 1.0 when |x| < 1e-14. [any thread]
double Sinc(double x);

// Window table types of MakeWindow; any other value gives a Hamming window.
enum EWindowType : int
{
  kWindowBlackman = 1,
  kWindowKaiser4 = 2,
  kWindowKaiser5 = 3,
  kWindowKaiser6 = 4,
  kWindowKaiser8 = 5,
  kWindowRectangular = 6,
  kWindowHann = 7,
  kWindowTriangular = 8,
  kWindowBlackmanHarris = 9,
  kWindowFlatTop = 10,
  kWindowHannSquared = 11,
  kWindowSinc = 12,
  kWindowBlackmanHarris7 = 13,
  kWindowHamming = 0,
};

// n window values of the given type (t = 2 pi / (n - 1), k = 0 .. n-1). With `normalise` every value is divided by
// the sum of all values (left as is when that sum is 0 or not finite). n < 1 gives an empty table; n = 1 gives
// {1.0} (the formulas divide by n - 1). [allocates: preparation only]
std::vector<double> MakeWindow(int n, int type, bool normalise);

// Zeroth-order modified Bessel function of the first kind, summed until a term falls below 1e-21 of the sum.
double BesselI0(double z);

// ---------------------------------------------------------------------------------------------------------------
// FFTs. Interleaved complex data: re0, im0, re1, im1, ...
// ---------------------------------------------------------------------------------------------------------------

// True for 1, 2, 4, 8, ...
bool IsPowerOfTwo(int n);

// In-place radix-2 FFT of n complex points (2n doubles). The twiddle angle of a stage of size m is sign * 2 pi / m,
// so sign +1 computes X[k] = sum x[j] e^{+2 pi i jk/n}; sign -1 the opposite exponent, scaled by 1/n, so that +1
// then -1 returns the input. Returns false and leaves data untouched when n is not a power of two or sign is not
// +1/-1. [audio thread: no allocation]
[[nodiscard]] bool FFT(double* data, int n, int sign);

// In-place FFT of n real points over n + 2 doubles. Forward (sign +1): the spectrum X[0] .. X[n/2] as n/2 + 1
// complex values, with the DC value in element 0 and the Nyquist value in element n (elements 1 and n + 1 are 0).
// Inverse (sign -1): takes that layout back to the n real samples (the last two doubles are then unspecified).
// Returns false and leaves data untouched unless n is a power of two >= 2 and sign is +1/-1. [audio thread]
[[nodiscard]] bool RealFFT(double* data, int n, int sign);

// Each (re, im) pair of `count` doubles (count / 2 pairs) becomes (sqrt(re^2 + im^2), atan2(im, re)). Source and
// destination may be the same array at any offsets (overlaps run backwards when the destination lies after the
// source). Nothing when either array is null or an offset or count is negative. [audio thread]
void ToPolar(const double* src, int srcOffset, double* dst, int dstOffset, int count);
// (magnitude, phase) pairs to (magnitude cos phase, magnitude sin phase), with the same overlap rule.
void ToRectangular(const double* src, int srcOffset, double* dst, int dstOffset, int count);

// ---------------------------------------------------------------------------------------------------------------
// ProcessingChain: an ordered list of owned processing stages run one after another.
// ---------------------------------------------------------------------------------------------------------------

// One stage of a chain.
class ProcessingStage
{
public:
  virtual ~ProcessingStage() = default;
  // Processes `frames` frames from inputs into outputs (both with the chain's channel count). [audio thread]
  virtual void Process(double** inputs, double** outputs, int frames) = 0;
  // Prepares for the sample rate (Hz). [not audio thread]
  virtual void Prepare(double sampleRate) = 0;
  // Disabled stages are skipped.
  virtual bool IsEnabled() const = 0;
};

class ProcessingChain
{
public:
  enum EOwnership : int
  {
    kDeletePlain = 1,   // stages are deleted with delete
    kCallDeleter = 2,   // stages are handed to the deleter (default: delete)
  };
  using Deleter = std::function<void(ProcessingStage*)>;

  // Empty chain, ownership kCallDeleter with a deleter that deletes the stage.
  ProcessingChain();
  // Releases every stage by the ownership mode.
  ~ProcessingChain();
  ProcessingChain(const ProcessingChain&) = delete;
  ProcessingChain& operator=(const ProcessingChain&) = delete;

  void SetOwnership(int mode, Deleter deleter = {});

  // Appends a stage (the chain takes ownership; null is refused) and returns the new count, or the old count
  // when refused. [not audio thread]
  int Append(ProcessingStage* stage);

  // The stage at `index`, clamped to the chain (a negative index gives the first stage, one past the end the last);
  // null when the chain is empty.
  ProcessingStage* Get(int index) const;
  int Count() const { return int(mStages.size()); }

  // Stores the channel count and the largest block size, allocates the scratch buffers for them and prepares every
  // stage in order. Returns false (chain unprepared) when channels < 0 or maxFrames < 0. [not audio thread]
  bool Prepare(int channels, int maxFrames, double sampleRate);
  int Channels() const { return mChannels; }
  int MaxFrames() const { return mMaxFrames; }

  // Runs the enabled stages in order: the input is copied into scratch buffers, each enabled stage processes them
  // into the outputs and the outputs are copied back. The outputs end with the last result, or a copy of the
  // inputs when no stage is enabled. Blocks longer than the prepared size run in pieces; no allocation. Does
  // nothing before Prepare. [audio thread]
  void Process(double** inputs, double** outputs, int frames);

private:
  void Release(ProcessingStage* stage);

  std::vector<ProcessingStage*> mStages;
  int mOwnership = kCallDeleter;
  Deleter mDeleter;
  int mChannels = 0;
  int mMaxFrames = 0;
  std::vector<double> mScratchData;
  std::vector<double*> mScratch;
  std::vector<double*> mInSlices;
  std::vector<double*> mOutSlices;
};
