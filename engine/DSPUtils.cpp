#include "engine/DSPUtils.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>

// ---------------------------------------------------------------------------------------------------------------
// Channel buffers
// ---------------------------------------------------------------------------------------------------------------

double** AllocChannelBuffers(int length, int channels)
{
  if (length < 1 || channels < 1)
    return nullptr;
  double** buffers = new double*[size_t(channels)];
  for (int c = 0; c < channels; ++c)
    buffers[c] = new double[size_t(length)];
  return buffers;
}

void FreeChannelBuffers(double** buffers, int channels)
{
  if (!buffers)
    return;
  for (int c = 0; c < channels; ++c)
    delete[] buffers[c];
  delete[] buffers;
}

void CopyChannel(const double* src, double* dst, int length, int offset)
{
  if (!src || !dst || length < 1 || offset < 0)
    return;
  std::memmove(dst + offset, src, size_t(length) * sizeof(double));
}

void CopyChannelBuffers(const double* const* src, double* const* dst, int length, int channels, int offset)
{
  if (!src || !dst)
    return;
  for (int c = 0; c < channels; ++c)
    CopyChannel(src[c], dst[c], length, offset);
}

void ZeroChannelBuffers(double* const* buffers, int length, int channels)
{
  if (!buffers || length < 1)
    return;
  for (int c = 0; c < channels; ++c)
    if (buffers[c])
      std::fill_n(buffers[c], length, 0.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Windows and sinc
// ---------------------------------------------------------------------------------------------------------------

double Sinc(double x)
{
  if (std::fabs(x) < 1e-14)
    return 1.0;
  return std::sin(x) / x;
}

double BesselI0(double z)
{
  const double half = z * 0.5;
  double sum = 1.0;
  double term = 1.0; // ((z/2)^j / j!)^2 for j = 0
  for (int j = 1; j < 1000; ++j)
  {
    const double f = half / j;
    term *= f * f;
    sum += term;
    if (term < 1e-21 * sum)
      break;
  }
  return sum;
}

std::vector<double> MakeWindow(int n, int type, bool normalise)
{
  std::vector<double> w;
  if (n < 1)
    return w;
  w.resize(size_t(n));
  if (n == 1)
  {
    w[0] = 1.0;
    return w;
  }

  const double t = 2.0 * std::numbers::pi / double(n - 1);
  const double nm1 = double(n - 1);
  for (int k = 0; k < n; ++k)
  {
    const double tk = t * k;
    double v;
    switch (type)
    {
      case kWindowBlackman:
        v = 0.42 - 0.5 * std::cos(tk) + 0.08 * std::cos(2.0 * tk);
        break;
      case kWindowKaiser4:
      case kWindowKaiser5:
      case kWindowKaiser6:
      case kWindowKaiser8:
      {
        static constexpr double kBeta[] = {4.0, 5.0, 6.0, 8.0};
        const double beta = kBeta[type - kWindowKaiser4];
        const double x = (double(k) - double(n / 2)) / nm1;
        v = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - x * x))) / BesselI0(beta);
        break;
      }
      case kWindowRectangular:
        v = 1.0;
        break;
      case kWindowHann:
        v = 0.5 - 0.5 * std::cos(tk);
        break;
      case kWindowTriangular:
        v = 1.0 - 2.0 * std::fabs(double(k) - nm1 * 0.5) / nm1;
        break;
      case kWindowBlackmanHarris:
        v = 0.358750287312166 - 0.4882901074726 * std::cos(tk) + 0.141279712970519 * std::cos(2.0 * tk) -
            0.011679892244715 * std::cos(3.0 * tk);
        break;
      case kWindowFlatTop:
        v = 1.0 - 1.93 * std::cos(tk) + 1.29 * std::cos(2.0 * tk) - 0.388 * std::cos(3.0 * tk) +
            0.028 * std::cos(4.0 * tk);
        break;
      case kWindowHannSquared:
      {
        const double h = 0.5 - 0.5 * std::cos(tk);
        v = h * h;
        break;
      }
      case kWindowSinc:
        v = Sinc((double(k) - double(n) / 2.0) / std::numbers::pi * 0.25);
        break;
      case kWindowBlackmanHarris7:
        v = 0.2712203605850388 - 0.4334446123274422 * std::cos(tk) + 0.2180041228929303 * std::cos(2.0 * tk) -
            0.06578534329560609 * std::cos(3.0 * tk) + 0.01076186730534183 * std::cos(4.0 * tk) -
            0.0007700127105808265 * std::cos(5.0 * tk) + 1.368088305992921e-5 * std::cos(6.0 * tk);
        break;
      default:
        v = 0.53836 - 0.46164 * std::cos(tk);
        break;
    }
    w[size_t(k)] = v;
  }

  if (normalise)
  {
    double sum = 0.0;
    for (double v : w)
      sum += v;
    if (sum != 0.0 && std::isfinite(sum))
      for (double& v : w)
        v /= sum;
  }
  return w;
}

// ---------------------------------------------------------------------------------------------------------------
// FFTs
// ---------------------------------------------------------------------------------------------------------------

bool IsPowerOfTwo(int n)
{
  return n > 0 && (n & (n - 1)) == 0;
}

bool FFT(double* data, int n, int sign)
{
  if (!data || !IsPowerOfTwo(n) || (sign != 1 && sign != -1))
    return false;

  // Bit-reversal permutation of the complex points.
  for (int i = 1, j = 0; i < n; ++i)
  {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1)
      j ^= bit;
    j ^= bit;
    if (i < j)
    {
      std::swap(data[2 * i], data[2 * j]);
      std::swap(data[2 * i + 1], data[2 * j + 1]);
    }
  }

  // Butterflies; the twiddle advances by recurrence, w <- w (1 + wp), with wp = (cos t - 1, sin t) for accuracy.
  for (int m = 2; m <= n; m <<= 1)
  {
    const double theta = sign * 2.0 * std::numbers::pi / m;
    const double s = std::sin(0.5 * theta);
    const double wpr = -2.0 * s * s;
    const double wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    const int half = m >> 1;
    for (int k = 0; k < half; ++k)
    {
      for (int i = k; i < n; i += m)
      {
        const int j = i + half;
        const double tr = wr * data[2 * j] - wi * data[2 * j + 1];
        const double ti = wr * data[2 * j + 1] + wi * data[2 * j];
        data[2 * j] = data[2 * i] - tr;
        data[2 * j + 1] = data[2 * i + 1] - ti;
        data[2 * i] += tr;
        data[2 * i + 1] += ti;
      }
      const double wt = wr;
      wr += wr * wpr - wi * wpi;
      wi += wi * wpr + wt * wpi;
    }
  }

  if (sign == -1)
  {
    const double scale = 1.0 / n;
    for (int i = 0; i < 2 * n; ++i)
      data[i] *= scale;
  }
  return true;
}

// The n real samples are taken as n/2 complex points z[j] = x[2j] + i x[2j+1]; Z = FFT(z). With the even and odd
// parts E[k] = (Z[k] + conj Z[M-k]) / 2 and O[k] = (Z[k] - conj Z[M-k]) / 2i (M = n/2), the real spectrum is
// X[k] = E[k] + w^k O[k] with w = e^{sign i pi / M}, and X[M-k] = conj(E[k] - w^k O[k]).
bool RealFFT(double* data, int n, int sign)
{
  if (!data || n < 2 || !IsPowerOfTwo(n) || (sign != 1 && sign != -1))
    return false;

  using C = std::complex<double>;
  const int M = n / 2;
  auto at = [data](int k) { return C(data[2 * k], data[2 * k + 1]); };
  auto put = [data](int k, C v) {
    data[2 * k] = v.real();
    data[2 * k + 1] = v.imag();
  };
  const double theta = sign * std::numbers::pi / M;

  if (sign == 1)
  {
    if (!FFT(data, M, 1))
      return false;
    const C z0 = at(0);
    for (int k = 1; k <= M / 2; ++k)
    {
      const C zk = at(k), zmk = at(M - k);
      const C e = 0.5 * (zk + std::conj(zmk));
      const C o = C(0.0, -0.5) * (zk - std::conj(zmk));
      const C w = std::polar(1.0, theta * k);
      put(k, e + w * o);
      put(M - k, std::conj(e - w * o));
    }
    data[0] = z0.real() + z0.imag();
    data[1] = 0.0;
    data[n] = z0.real() - z0.imag();
    data[n + 1] = 0.0;
    return true;
  }

  // Inverse: E[k] = (X[k] + conj X[M-k]) / 2, O[k] = (X[k] - conj X[M-k]) / (2 w^k), Z[k] = E[k] + i O[k], where w
  // is the forward twiddle; theta already carries the sign, so w^-k = e^{i theta k}.
  const double x0 = data[0], xm = data[n];
  for (int k = 1; k <= M / 2; ++k)
  {
    const C xk = at(k), xmk = at(M - k);
    const C winv = std::polar(1.0, theta * k);
    const C e = 0.5 * (xk + std::conj(xmk));
    const C o = 0.5 * (xk - std::conj(xmk)) * winv;
    put(k, e + C(0.0, 1.0) * o);
    put(M - k, std::conj(e) + C(0.0, 1.0) * std::conj(o));
  }
  data[0] = 0.5 * (x0 + xm);
  data[1] = 0.5 * (x0 - xm);
  return FFT(data, M, -1);
}

namespace {

template <typename F>
void ConvertPairs(const double* src, int srcOffset, double* dst, int dstOffset, int count, F convert)
{
  if (!src || !dst || srcOffset < 0 || dstOffset < 0 || count < 2)
    return;
  const int pairs = count / 2;
  const double* s = src + srcOffset;
  double* d = dst + dstOffset;
  // Destination after an overlapping source: walk from the end so no pair is overwritten before it is read.
  const bool backwards = d > s;
  for (int p = 0; p < pairs; ++p)
  {
    const int i = backwards ? pairs - 1 - p : p;
    const double a = s[2 * i], b = s[2 * i + 1];
    convert(a, b, d[2 * i], d[2 * i + 1]);
  }
}

} // namespace

void ToPolar(const double* src, int srcOffset, double* dst, int dstOffset, int count)
{
  ConvertPairs(src, srcOffset, dst, dstOffset, count, [](double re, double im, double& mag, double& phase) {
    mag = std::sqrt(re * re + im * im);
    phase = std::atan2(im, re);
  });
}

void ToRectangular(const double* src, int srcOffset, double* dst, int dstOffset, int count)
{
  ConvertPairs(src, srcOffset, dst, dstOffset, count, [](double mag, double phase, double& re, double& im) {
    re = mag * std::cos(phase);
    im = mag * std::sin(phase);
  });
}

// ---------------------------------------------------------------------------------------------------------------
// ProcessingChain
// ---------------------------------------------------------------------------------------------------------------

ProcessingChain::ProcessingChain()
{
  SetOwnership(kCallDeleter);
}

ProcessingChain::~ProcessingChain()
{
  for (ProcessingStage* s : mStages)
    Release(s);
}

void ProcessingChain::SetOwnership(int mode, Deleter deleter)
{
  mOwnership = mode == kDeletePlain ? kDeletePlain : kCallDeleter;
  mDeleter = deleter ? std::move(deleter) : Deleter([](ProcessingStage* s) { delete s; });
}

void ProcessingChain::Release(ProcessingStage* stage)
{
  if (mOwnership == kDeletePlain)
    delete stage;
  else
    mDeleter(stage);
}

int ProcessingChain::Append(ProcessingStage* stage)
{
  if (stage)
    mStages.push_back(stage);
  return Count();
}

ProcessingStage* ProcessingChain::Get(int index) const
{
  if (mStages.empty())
    return nullptr;
  return mStages[size_t(std::clamp(index, 0, Count() - 1))];
}

bool ProcessingChain::Prepare(int channels, int maxFrames, double sampleRate)
{
  if (channels < 0 || maxFrames < 0)
    return false;
  mChannels = channels;
  mMaxFrames = maxFrames;
  mScratchData.assign(size_t(channels) * size_t(maxFrames), 0.0);
  mScratch.resize(size_t(channels));
  mInSlices.resize(size_t(channels));
  mOutSlices.resize(size_t(channels));
  for (int c = 0; c < channels; ++c)
    mScratch[size_t(c)] = mScratchData.data() + size_t(c) * size_t(maxFrames);
  for (ProcessingStage* s : mStages)
    s->Prepare(sampleRate);
  return true;
}

void ProcessingChain::Process(double** inputs, double** outputs, int frames)
{
  if (!inputs || !outputs || frames < 1 || mChannels < 1 || mMaxFrames < 1)
    return;

  const int channels = mChannels;
  for (int done = 0; done < frames; done += mMaxFrames)
  {
    const int n = std::min(mMaxFrames, frames - done);
    for (int c = 0; c < channels; ++c)
    {
      mInSlices[size_t(c)] = inputs[c] ? inputs[c] + done : nullptr;
      mOutSlices[size_t(c)] = outputs[c] ? outputs[c] + done : nullptr;
    }
    CopyChannelBuffers(mInSlices.data(), mScratch.data(), n, channels, 0);
    for (ProcessingStage* s : mStages)
    {
      if (!s->IsEnabled())
        continue;
      s->Process(mScratch.data(), mOutSlices.data(), n);
      CopyChannelBuffers(mOutSlices.data(), mScratch.data(), n, channels, 0);
    }
    // With no stage enabled the outputs would keep stale data: pass the input through.
    CopyChannelBuffers(mScratch.data(), mOutSlices.data(), n, channels, 0);
  }
}
