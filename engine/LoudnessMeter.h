#pragma once

// Loudness meter of the Receiver: one stereo sample in, one linear meter value out, in one of six modes.
// Also the engine-wide conversions between linear gains and decibels.

// ---------------------------------------------------------------------------------------------------------------
// Level conversions [any thread]
// ---------------------------------------------------------------------------------------------------------------

// Floor of every decibel value: gains at or below kMinGain read as this.
inline constexpr double kMinDB = -144.0;
inline constexpr double kMinGain = 6.309e-08;
inline constexpr double kDBPerNeper = 8.685889638065037;  // 20 / ln 10
inline constexpr double kNeperPerDB = 0.11512925464970228; // ln 10 / 20

// Linear gain -> dB: ln|x| * 20/ln10 when |x| > 6.309e-08, else -144.0 (NaN also gives -144.0).
double AmpToDB(double x);
// dB -> linear gain: exp(d * ln10/20) when d > -144.0, else 0.0 (NaN also gives 0.0).
double DBToAmp(double d);
// dB -> 1 / linear gain: exp(-d * ln10/20) when d > -144.0, else 0.0 (the caller treats 0 as "no gain").
double DBToAmpInv(double d);

// ---------------------------------------------------------------------------------------------------------------
// Biquad: one second-order section for one channel, designed from an analog shelf/high-pass prototype.
// ---------------------------------------------------------------------------------------------------------------

struct Biquad
{
  double x1 = 0.0, x2 = 0.0, x0 = 0.0;  // previous two inputs, current input
  double y1 = 0.0, y2 = 0.0, y0 = 0.0;  // previous two outputs, current output
  double fs = 0.0, f0 = 0.0;            // sample rate (Hz), corner frequency (Hz)
  double Vb = 0.0, Vl = 0.0, Vh = 0.0;  // band, low and high gains (linear)
  double Q = 0.0;
  double K = 0.0, K2 = 0.0, a0 = 1.0;   // K = tan(pi f0 / fs), K^2, unnormalised a0
  double a0n = 1.0, a1 = 0.0, a2 = 0.0, b0 = 1.0, b1 = 0.0, b2 = 0.0;  // normalised coefficients (a0n is 1)
  double out = 0.0;                     // last output

  // Bilinear design: a0 = K^2 + K/Q + 1; a1 = 2(K^2-1)/a0; a2 = (K^2 - K/Q + 1)/a0;
  // b0 = (Vh + Vb K/Q + Vl K^2)/a0; b1 = 2(Vl K^2 - Vh)/a0; b2 = (Vh - Vb K/Q + Vl K^2)/a0.
  // Requires fs > 2 f0 > 0 and Q > 0 (the meter validates its rate before calling). [not audio thread]
  void Design(double sampleRate, double corner, double high, double band, double low, double quality);

  // Zeroes x0..x2, y0..y2 and out; coefficients stay. [audio thread]
  void Clear();

  // The difference equation on state the caller holds (a block loop keeps it in registers, channels side by side:
  // T is double or a vector of doubles); 1e-25 is added to the output to keep the state out of denormals. Process
  // and the meter's block loops all use it, term for term (the EBU loop of ProcessBlocks works the first section's
  // b0 x0 + b1 x1 + b2 x2 out a pass ahead and goes on from there, left to right as here).
  // Always inlined: the meter's AVX loop passes it four-lane vectors, which must not cross a call into baseline code.
  template <typename T>
  [[gnu::always_inline]] static T Equation(T in, T x1, T x2, T y1, T y2, T b0, T b1, T b2, T a1, T a2)
  {
    return b0 * in + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2 + 1e-25;
  }

  // One sample through the section. [audio thread]
  inline double Process(double in)
  {
    x0 = in;
    y0 = Equation(x0, x1, x2, y1, y2, b0, b1, b2, a1, a2);
    x2 = x1;
    x1 = x0;
    y2 = y1;
    y1 = y0;
    out = y0;
    return y0;
  }
};

// ---------------------------------------------------------------------------------------------------------------
// LoudnessMeter
// ---------------------------------------------------------------------------------------------------------------

// Values of the parameter "Meter Mode".
enum EMeterMode : int
{
  kMeterRMSSummed = 0,  // "RMS Summed": sqrt of smoothed L^2 + R^2
  kMeterRMSAveraged,    // "RMS Averaged": sqrt of smoothed (L^2 + R^2) / 2
  kMeterEBUML,          // "EBU R128 ML": RMS Summed of the K-weighted signal, 0.4 s
  kMeterEBUSL,          // "EBU R128 SL": the same, 3.0 s
  kMeterVU,             // "VU": VU ballistics of the mean rectified level, +18 dB scale
  kMeterMaxPeak,        // "Max Peak": running maximum of |L|, |R|, held until cleared
  kNumMeterModes
};

// The window a meter of this mode uses, in seconds: the EBU, VU and peak modes fix their own, the RMS modes take
// the given one ("RMS Window"). Automatic matching waits for one whole window of signal.
inline constexpr double MeterWindowSeconds(int mode, double given)
{
  switch (mode)
  {
    case kMeterEBUML: return 0.4;
    case kMeterEBUSL: return 3.0;
    case kMeterVU: return 0.3;
    case kMeterMaxPeak: return 0.01;
    default: return given;
  }
}

// One meter. Holds no heap memory: construction, Init and Clear never allocate, so any of them may run on the audio
// thread. A default-constructed meter is a valid "RMS Summed" meter with a 3 s window at 44100 Hz.
//
// Scale: in the EBU modes 20*log10(result) equals the BS.1770 loudness of a stationary signal plus 0.691 dB (the
// meter omits the standard's -0.691 offset; the engine adds 0.7 dB to the reference level instead). The RMS and EBU
// modes smooth exponentially (time constant set by the window) rather than over a rectangular window.
class LoudnessMeter
{
public:
  static constexpr double kMinSampleRate = 4000.0;     // the shelf corner (1682 Hz) must stay below Nyquist
  static constexpr double kMaxSampleRate = 3072000.0;
  static constexpr double kVUScale = 7.943282347242814;  // 10^(18/20): 0 VU = -18 dBFS sine peak

  LoudnessMeter();

  // Sets mode, window, smoothing and filter coefficients for the sample rate, then clears the meter.
  // mode: 0..5 as "Meter Mode"; anything else is stored as 0 ("RMS Summed").
  // windowSeconds: used by modes 0 and 1 (RMS Window / 1000); the other modes use their fixed window
  //   (ML 0.4 s, SL 3.0 s, VU 0.3 s, Max Peak 0.01 s).
  // sampleRate: Hz, within [kMinSampleRate, kMaxSampleRate].
  // Returns false and leaves the meter as it was when the sample rate, or for modes 0/1 the window (finite, >= 0),
  // is out of range. [audio thread or main thread; no allocation]
  bool Init(int mode, double windowSeconds, double sampleRate);

  // Zeroes power, level, window counter, filter and VU states; mode, window and coefficients stay. [audio thread]
  void Clear();

  // Feeds one stereo sample and returns the meter value (linear): RMS in modes 0-3, scaled VU in mode 4, held peak
  // in mode 5. A non-finite sample counts as 0 so one bad sample cannot poison the smoothing state. [audio thread]
  double ProcessSample(double left, double right);

  // Feeds n stereo samples: out[i] receives what ProcessSample(left[i], right[i]) would return, one call after the
  // other, and the meter ends in the same state; the arithmetic is the same, in the same order, so both are equal
  // bit for bit. The loop keeps the state in registers, which is what makes it cheaper. out must not overlap the
  // inputs; n <= 0 does nothing. [audio thread]
  void ProcessBlock(const double* left, const double* right, int n, double* out);

  // Two meters over n samples each in one loop, so that their recursions overlap in time: the same results and end
  // states, bit for bit, as a.ProcessBlock(aLeft, aRight, n, aOut) then b.ProcessBlock(bLeft, bRight, n, bOut).
  // [audio thread]
  static void ProcessBlocks(LoudnessMeter& a, const double* aLeft, const double* aRight, double* aOut,
                            LoudnessMeter& b, const double* bLeft, const double* bRight, double* bOut, int n);

  // Whether ProcessBlocks in the EBU modes may take the four channels as one vector of four lanes where the processor
  // has AVX (the default), or stays with two vectors of two (the x86-64 baseline). Returns whether four lanes are in
  // use from now on (false where the processor lacks them). Both loops give the same results bit for bit. [any
  // thread; for tests and benchmarks]
  static bool UseWideLanes(bool wide);

  // Samples fed since the last clear, counting up to WindowLength() and staying there. [audio thread]
  int WindowCounter() const { return mWindowCounter; }
  // (int)(window * sampleRate). [any thread that owns the meter]
  int WindowLength() const { return mWindowLength; }
  // True once a full window has been fed since the last clear (what auto matching waits for).
  bool WindowFull() const { return mWindowCounter >= mWindowLength; }

  int Mode() const { return mMode; }
  double Window() const { return mWindow; }        // seconds, after the mode's override
  double SampleRate() const { return mSampleRate; }
  double Decay() const { return mDecay; }          // alpha = 10^(-1 / (1.3 * window * fs)); 0 for a zero window
  double Power() const { return mPower; }          // instantaneous power of the last sample (modes 0-3)
  double Level() const { return mLevel; }          // internal state (smoothed power, VU stage 2, peak)
  double VUCoefficient() const { return mVUCoeff; }

  // The four filter sections (stage 1 = high shelf, stage 2 = high-pass), for inspection.
  const Biquad& Stage1Left() const { return mStage1L; }
  const Biquad& Stage2Left() const { return mStage2L; }
  const Biquad& Stage1Right() const { return mStage1R; }
  const Biquad& Stage2Right() const { return mStage2R; }

private:
  template <int kMode>
  struct Run;  // one mode's state in locals for the length of a block
  struct Pair; // two meters' state side by side, a lane each

  double mPower = 0.0;
  double mLevel = 0.0;
  double mDecay = 0.0;
  int mWindowCounter = 0;
  int mWindowLength = 0;
  Biquad mStage1L, mStage2L, mStage1R, mStage2R;
  int mMode = kMeterRMSSummed;
  double mVUStage1 = 0.0, mVUStage2 = 0.0;
  double mVUCoeff = 0.0;
  double mWindow = 0.0;
  double mSampleRate = 0.0;
};
