#include "graphics/IGraphicsStructs.h"

#include <cmath>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// IRECTList — alignment and reduction of the dirty rectangles
// ---------------------------------------------------------------------------------------------------------------

IRECT IRECTList::Bounds() const
{
  IRECT u;
  for (int i = 0; i < Size(); ++i)
    u = u.Union(Get(i));
  return u;
}

void IRECTList::PixelAlign(float scale)
{
  if (!(scale > 0.f) || !std::isfinite(scale)) return;
  for (int i = 0; i < Size(); ++i)
    Set(i, Get(i).GetPixelAligned(scale));
}

namespace
{

bool Contains(const IRECT& a, const IRECT& b)
{
  return !a.Empty() && !b.Empty() && a.L <= b.L && b.R <= a.R && a.T <= b.T && b.B <= a.B;
}

bool Intersects(const IRECT& a, const IRECT& b)
{
  return !a.Empty() && !b.Empty() && b.L <= a.R && a.L < b.R && b.T <= a.B && a.T < b.B;
}

IRECT Intersection(const IRECT& a, const IRECT& b)
{
  return IRECT(std::max(a.L, b.L), std::max(a.T, b.T), std::min(a.R, b.R), std::min(a.B, b.B));
}

bool HasArea(const IRECT& r)
{
  return r.W() > 0.f && r.H() > 0.f;
}

// Only a band of a that lies on one of its edges may be cut off by moving that edge: a band through the middle
// would take the far side of a with it.
bool CanShrink(const IRECT& a, const IRECT& x)
{
  const bool fullWidth = x.L == a.L && x.R == a.R && (x.T == a.T || x.B == a.B);
  const bool fullHeight = x.T == a.T && x.B == a.B && (x.L == a.L || x.R == a.R);
  return fullWidth || fullHeight;
}

IRECT Shrunk(IRECT a, const IRECT& x)
{
  if (a.L != x.L)
    a.R = x.L;
  else if (a.T != x.T)
    a.B = x.T;
  else if (a.R == x.R)
    a.T = x.B;
  else
    a.L = x.R;
  return a;
}

bool CanMerge(const IRECT& a, const IRECT& b)
{
  if (a.Empty() || b.Empty()) return true;
  if (a.L == b.L && a.R == b.R && ((b.T <= a.T && a.T <= b.B) || (a.T <= b.T && b.T <= a.B))) return true;
  if (a.T == b.T && a.B == b.B && ((b.L <= a.L && a.L <= b.R) || (a.L <= b.L && b.L <= a.R))) return true;
  return false;
}

} // namespace

// Splits a around x (x inside a): a keeps one piece and the others are appended. The first two pieces are the
// usual corner cases; the remaining ones cover what those two leave of a when x does not sit in a corner.
static void SplitInto(IRECTList& list, int idx, const IRECT& a, const IRECT& x)
{
  IRECT appended, becomes, extra1, extra2;
  if (x.L == a.L && x.T == a.T)
  {
    appended = IRECT(x.R, a.T, a.R, x.B);
    becomes = IRECT(a.L, x.B, a.R, a.B);
  }
  else if (x.L == a.L)
  {
    appended = IRECT(a.L, a.T, a.R, x.T);
    becomes = IRECT(x.R, x.T, a.R, a.B);
    extra1 = IRECT(a.L, x.B, x.R, a.B);
  }
  else if (x.T == a.T)
  {
    appended = IRECT(a.L, a.T, x.L, x.B);
    becomes = IRECT(a.L, x.B, a.R, a.B);
    extra1 = IRECT(x.R, a.T, a.R, x.B);
  }
  else
  {
    appended = IRECT(a.L, a.T, a.R, x.T);
    becomes = IRECT(a.L, x.T, x.L, a.B);
    extra1 = IRECT(x.R, x.T, a.R, a.B);
    extra2 = IRECT(x.L, x.B, x.R, a.B);
  }

  const IRECT pieces[] = {becomes, appended, extra1, extra2};
  bool placed = false;
  for (const IRECT& p : pieces)
  {
    if (!HasArea(p)) continue;
    if (!placed)
    {
      list.Set(idx, p);
      placed = true;
    }
    else
      list.Add(p);
  }
  // Nothing of a lies outside x: x is a itself, and the other rectangle covers it.
  if (!placed) list.Delete(idx);
}

void IRECTList::Optimize()
{
  // Pass 1: containment, shrinking, splitting.
  for (int i = 0; i < Size(); ++i)
  {
    for (int j = i + 1; j < Size();)
    {
      const IRECT ri = Get(i), rj = Get(j);
      if (Contains(ri, rj))
      {
        Delete(j);
        continue;
      }
      if (Contains(rj, ri))
      {
        Delete(i);
        j = i + 1;
        if (i >= Size()) break;
        continue;
      }
      if (Intersects(ri, rj))
      {
        const IRECT x = Intersection(ri, rj);
        // A touch along an edge overlaps nothing: there is nothing to take away.
        if (HasArea(x))
        {
          if (CanShrink(ri, x))
            Set(i, Shrunk(ri, x));
          else if (CanShrink(rj, x))
            Set(j, Shrunk(rj, x));
          else if (rj.W() * rj.H() <= ri.W() * ri.H())
            SplitInto(*this, j, rj, x);
          else
          {
            SplitInto(*this, i, ri, x);
            // Splitting may have removed entry i; the loop then goes on with what moved into its place.
            if (i >= Size()) break;
          }
        }
      }
      ++j;
    }
  }

  // Pass 2: merging, from the start again after every merge.
  for (bool merged = true; merged;)
  {
    merged = false;
    for (int i = 0; i < Size() && !merged; ++i)
    {
      for (int j = i + 1; j < Size(); ++j)
      {
        if (CanMerge(Get(i), Get(j)))
        {
          Set(j, Get(i).Union(Get(j)));
          Delete(i);
          merged = true;
          break;
        }
      }
    }
  }
}

} // namespace plugin::igraphics
