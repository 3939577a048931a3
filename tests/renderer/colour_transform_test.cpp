// Colours and transforms of the renderer against numbers worked out by hand: HSL through the textbook conversion
// (chroma, hue sector, lightness offset), byte colours, interpolation, skews and the order transforms compose in.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

void expectColour(const VRcolor& c, float r, float g, float b, float a, float tol = 1e-6f)
{
  EXPECT_NEAR(c.r, r, tol);
  EXPECT_NEAR(c.g, g, tol);
  EXPECT_NEAR(c.b, b, tol);
  EXPECT_NEAR(c.a, a, tol);
}

void expectPoint(const float* t, float x, float y, float wx, float wy, float tol = 1e-5f)
{
  float ox, oy;
  vrTransformPoint(&ox, &oy, t, x, y);
  EXPECT_NEAR(ox, wx, tol) << "(" << x << ", " << y << ")";
  EXPECT_NEAR(oy, wy, tol) << "(" << x << ", " << y << ")";
}

// Expected values from C = (1 − |2L − 1|)·S, X = C·(1 − |H′ mod 2 − 1|), m = L − C/2 with H′ = hue in sixths.
TEST(RendererColour, HslMatchesTheTextbookConversion)
{
  struct Case
  {
    float h, s, l, r, g, b;
  };
  const Case cases[] = {
      {0.f, 1.f, 0.5f, 1.f, 0.f, 0.f},               // red
      {1.f / 3, 1.f, 0.5f, 0.f, 1.f, 0.f},           // green
      {2.f / 3, 1.f, 0.5f, 0.f, 0.f, 1.f},           // blue
      {210.f / 360, 0.5f, 0.25f, 0.125f, 0.25f, 0.375f},
      {30.f / 360, 1.f, 0.75f, 1.f, 0.75f, 0.5f},
      {300.f / 360, 0.6f, 0.4f, 0.64f, 0.16f, 0.64f},
      {0.25f, 1.f, 0.5f, 0.5f, 1.f, 0.f},            // 90 degrees
      {1.25f, 1.f, 0.5f, 0.5f, 1.f, 0.f},            // hues wrap around ...
      {-0.75f, 1.f, 0.5f, 0.5f, 1.f, 0.f},           // ... in both directions
      {0.5f, 0.f, 0.25f, 0.25f, 0.25f, 0.25f},       // no saturation: grey
      {0.f, 2.f, 0.5f, 1.f, 0.f, 0.f},               // saturation and lightness are clamped
      {0.4f, 0.7f, -1.f, 0.f, 0.f, 0.f},
      {0.4f, 0.7f, 1.5f, 1.f, 1.f, 1.f},
  };
  for (const Case& k : cases)
  {
    SCOPED_TRACE(testing::Message() << "hsl " << k.h << " " << k.s << " " << k.l);
    expectColour(vrHSL(k.h, k.s, k.l), k.r, k.g, k.b, 1.f, 1e-5f);
    expectColour(vrHSLA(k.h, k.s, k.l, 51), k.r, k.g, k.b, 0.2f, 1e-5f);
  }
}

TEST(RendererColour, BytesTransparencyAndInterpolation)
{
  expectColour(vrRGB(51, 102, 255), 0.2f, 0.4f, 1.f, 1.f);
  const VRcolor a = vrRGBA(0, 51, 102, 255), b = vrRGBAf(1.f, 0.6f, 0.f, 0.5f);
  expectColour(vrTransRGBA(a, 51), 0.f, 0.2f, 0.4f, 0.2f);
  expectColour(vrTransRGBAf(a, 0.3f), 0.f, 0.2f, 0.4f, 0.3f);
  struct Lerp
  {
    float u, r, g, b, a;
  };
  for (const Lerp& k : {Lerp{0.25f, 0.25f, 0.3f, 0.3f, 0.875f}, Lerp{1.5f, 1.f, 0.6f, 0.f, 0.5f},
                        Lerp{-2.f, 0.f, 0.2f, 0.4f, 1.f}})
  {
    SCOPED_TRACE(k.u);
    expectColour(vrLerpRGBA(a, b, k.u), k.r, k.g, k.b, k.a, 1e-6f);
  }
}

TEST(RendererTransform, SkewsAnglesAndComposition)
{
  float t[6];
  vrTransformSkewX(t, kPi / 4); // x gains tan(45°) = 1 per unit of y
  expectPoint(t, 0, 1, 1, 1);
  expectPoint(t, 3, 0, 3, 0);
  vrTransformSkewY(t, kPi / 4);
  expectPoint(t, 1, 0, 1, 1);
  expectPoint(t, 0, 3, 0, 3);

  // Translate first, then the other transform.
  const float m[6] = {2, 1, -1, 3, 4, 5};
  float p[6] = {m[0], m[1], m[2], m[3], m[4], m[5]};
  vrTransformTranslate(t, 1, 2);
  vrTransformPremultiply(p, t);
  expectPoint(p, 0, 0, 2 * 1 - 1 * 2 + 4, 1 * 1 + 3 * 2 + 5);

  EXPECT_NEAR(vrDegToRad(180), kPi, 1e-6);
  EXPECT_NEAR(vrDegToRad(-45), -kPi / 4, 1e-6);
  EXPECT_NEAR(vrRadToDeg(kPi / 2), 90, 1e-4);
  EXPECT_NEAR(vrRadToDeg(vrDegToRad(37)), 37, 1e-4);

  // The context applies the newest transform to points first: skew y by tan = 2, then skew x by tan = 0.5, then
  // the translation. (1, 1) → (1, 3) → (2.5, 3) → (12.5, 23).
  RecordedContext c;
  vrTranslate(c.ctx, 10, 20);
  vrSkewX(c.ctx, std::atan(0.5f));
  vrSkewY(c.ctx, std::atan(2.f));
  vrCurrentTransform(c.ctx, t);
  expectPoint(t, 1, 1, 12.5f, 23.f);
  expectPoint(t, 0, 0, 10.f, 20.f);
}

} // namespace
