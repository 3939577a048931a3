#pragma once

// Two doubles side by side, for the audio loops that work on two samples (or two channels, or two meters) at once.
// Arithmetic, comparisons and ?: on them work lane by lane (the compiler's vector extension, one SSE2 instruction
// each on x86-64); every lane is rounded as the scalar operation would be, so a loop over lanes gives the scalar
// loop's results bit for bit. The templates below take double or Lanes, so that one formula serves both.

#include <cmath>
#include <cstring>

typedef double Lanes __attribute__((vector_size(16)));

template <class T>
T Splat(double x);
template <>
inline double Splat<double>(double x)
{
  return x;
}
template <>
inline Lanes Splat<Lanes>(double x)
{
  return Lanes{x, x};
}

template <class T>
inline T Load(const double* p)
{
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
inline void Store(double* p, T v)
{
  std::memcpy(p, &v, sizeof v);
}

inline double Magnitude(double x)
{
  return std::fabs(x);
}

inline Lanes Magnitude(Lanes x)
{
  typedef long long Bits __attribute__((vector_size(16)));
  return (Lanes)((Bits)x & Bits{0x7fffffffffffffffLL, 0x7fffffffffffffffLL});
}

// step.template operator()<Lanes>(i) for i = 0, 2, 4, ... while two samples remain, then
// step.template operator()<double>(n - 1) for an odd last one.
template <class Step>
inline void ForLanes(int n, Step&& step)
{
  int i = 0;
  for (; i + 2 <= n; i += 2)
    step.template operator()<Lanes>(i);
  if (i < n)
    step.template operator()<double>(i);
}
