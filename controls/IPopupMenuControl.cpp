#include "controls/IPopupMenuControl.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{

// Into [lo, hi]; when the range is empty (a menu larger than the editor) the low edge wins, so the panel's top-left
// stays on screen.
float ClampLowWins(float v, float lo, float hi)
{
  return std::max(lo, std::min(v, hi));
}

IRECT Grown(const IRECT& r, float by)
{
  return r.GetPadded(-by);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Panels
// ---------------------------------------------------------------------------------------------------------------

IPopupMenuControl::MenuPanel::MenuPanel(IPopupMenuControl& c, IPopupMenu& menu, float x, float y, int parentIdx)
    : mMenu(&menu), mParentIdx(parentIdx)
{
  const IRECT largest = c.GetLargestCellRectForMenu(menu);
  const float rowH = largest.H();
  float width = 0.f, height = 0.f;
  c.CalculatePanelSize(menu, width, height);
  mSingleCellBounds = IRECT(x, y, x + width, y + rowH);

  const int n = menu.NItems();
  float cx = x + c.mPadding, cy = y + c.mPadding;
  float emptyTop = cy; // where a panel without rows lies
  for (int i = 0; i < n; ++i)
  {
    const IPopupMenu::Item* item = menu.GetItem(i);
    const float h = (item && item->GetIsSeparator()) ? c.mSeparatorSize : rowH;
    const bool newColumn = i >= 2 && c.mMaxColumnItems > 0 && i % c.mMaxColumnItems == 0;
    const bool overflows = cy + h + c.mPadding > c.mMaxBounds.B;
    if (newColumn || overflows)
    {
      if (!c.mScrollIfTooBig)
      {
        cx += width + c.mCellGap;
        cy = y + c.mPadding;
      }
      else
      {
        const float top = c.mPadding + c.mMaxBounds.T + c.mDropShadowSize;
        // Rows without height and gap would fit without end: none fit, rather than a division by zero.
        const float pitch = rowH + c.mCellGap;
        const double fit = pitch > 0.f ? std::floor((c.mMaxBounds.B - c.mPadding - top) / pitch) : 0.0;
        const int visible = std::isfinite(fit) ? static_cast<int>(std::clamp(fit, 0.0, double(n) + 1.0)) : 0;
        mCellBounds.Empty(true);
        if (visible <= n)
        {
          mScroller = true;
          mScrollMaxRows = visible;
          emptyTop = top;
          BuildRows(c, cx, top, 0, visible);
        }
        else
        {
          emptyTop = y + c.mPadding + rowH - static_cast<float>(n) * rowH;
          BuildRows(c, cx, emptyTop, 0, n);
        }
        break;
      }
    }
    mCellBounds.Add(new IRECT(cx, cy, cx + width, cy + h));
    cy += h + c.mCellGap;
  }

  IRECT rows;
  for (int i = 0; i < mCellBounds.GetSize(); ++i)
    rows = rows.Union(*mCellBounds.Get(i));
  // A panel without rows still gets a defined place: a strip of the cell width where its rows would start.
  if (mCellBounds.GetSize() == 0) rows = IRECT(cx, emptyTop, cx + width, emptyTop);
  if (c.mSpecifiedExpandedBounds.W() != 0.f) rows = c.mSpecifiedExpandedBounds;
  mTargetRECT = Grown(rows, c.mPadding);
  mRECT = Grown(rows, c.mPadding + c.mDropShadowSize);
}

void IPopupMenuControl::MenuPanel::BuildRows(const IPopupMenuControl& c, float x, float top, int firstItem, int count)
{
  const float rowH = c.GetLargestCellRectForMenu(*mMenu).H();
  float width = 0.f, height = 0.f;
  c.CalculatePanelSize(*mMenu, width, height);
  float cy = top;
  for (int j = 0; j < count; ++j)
  {
    const IPopupMenu::Item* item = mMenu->GetItem(firstItem + j);
    const float h = (item && item->GetIsSeparator()) ? c.mSeparatorSize : rowH;
    if (!mCellBounds.Add(new IRECT(x, cy, x + width, cy + h))) return;
    cy += h + c.mCellGap;
  }
}

IRECT* IPopupMenuControl::MenuPanel::HitTestCells(float x, float y) const
{
  for (int i = 0; i < mCellBounds.GetSize(); ++i)
  {
    IRECT* cell = mCellBounds.Get(i);
    const IPopupMenu::Item* item = ItemAt(*this, i);
    if (cell && cell->Contains(x, y) && !(item && !item->GetEnabled())) return cell;
  }
  return nullptr;
}

bool IPopupMenuControl::IsUpArrowRow(const MenuPanel& panel, int idx)
{
  const int n = panel.mMenu ? panel.mMenu->NItems() : 0, c = panel.NCells();
  return c < n && idx == 0 && panel.mScrollItemOffset > 0;
}

bool IPopupMenuControl::IsDownArrowRow(const MenuPanel& panel, int idx)
{
  const int n = panel.mMenu ? panel.mMenu->NItems() : 0, c = panel.NCells();
  // A single row that already shows the up arrow cannot show the down arrow too.
  return c < n && idx == c - 1 && n - c > panel.mScrollItemOffset && !IsUpArrowRow(panel, idx);
}

// ---------------------------------------------------------------------------------------------------------------
// Construction and measuring
// ---------------------------------------------------------------------------------------------------------------

IPopupMenuControl::IPopupMenuControl(int paramIdx, const IText& text, const IRECT& collapsedBounds,
                                     const IRECT& expandedBounds)
    : IControl(collapsedBounds, paramIdx), mSpecifiedCollapsedBounds(collapsedBounds),
      mSpecifiedExpandedBounds(expandedBounds)
{
  mText = text;
  mHide = true;
  // Every trigger starts one fade step: 200 ms while a submenu appears, else 100 ms.
  SetActionFunction(
      [this](IControl*)
      {
        SetAnimation([this](IControl*) { AnimationStep(); });
        StartAnimation(mState == kSubMenuAppearing ? 200.0 : 100.0, true);
      });
}

IPopupMenuControl::~IPopupMenuControl()
{
  DeletePanels();
}

IRECT IPopupMenuControl::GetLargestCellRectForMenu(const IPopupMenu& menu) const
{
  IRECT u;
  IGraphics* g = GetUI();
  if (!g) return u;
  for (int i = 0; i < menu.NItems(); ++i)
  {
    const IPopupMenu::Item* item = menu.GetItem(i);
    const char* str = item && item->GetText() ? item->GetText() : "";
    IRECT r(0.f, 0.f, 0.f, mText.mSize);
    if (g->MeasureText(mText, str, r) > 0.f || str[0]) u = u.Union(r);
  }
  return u;
}

void IPopupMenuControl::CalculatePanelSize(const IPopupMenu& menu, float& width, float& height) const
{
  const IRECT u = GetLargestCellRectForMenu(menu);
  width = u.W() + 2.f * mTextXPad + mTickWidth + mArrowWidth;
  const int n = menu.NItems();
  int separators = 0;
  for (int i = 0; i < n; ++i)
    if (const IPopupMenu::Item* item = menu.GetItem(i); item && item->GetIsSeparator()) ++separators;
  // No rows, no gaps: an empty menu is 0 high rather than one negative gap.
  height = n > 0 ? u.H() * static_cast<float>(n - separators) + mSeparatorSize * static_cast<float>(separators) +
                       mCellGap * static_cast<float>(n - 1)
                 : 0.f;
}

// ---------------------------------------------------------------------------------------------------------------
// Opening and placing
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::CreatePopupMenu(IPopupMenu& menu, const IRECT& anchor)
{
  // Checked first: a refused menu must not replace the one still showing.
  if (mState != kCollapsed) return;
  IGraphics* g = GetUI();
  mMenu = &menu;
  mMenuHasSubMenu = false;
  for (int i = 0; i < menu.NItems(); ++i)
    if (const IPopupMenu::Item* item = menu.GetItem(i); item && item->GetSubmenu()) mMenuHasSubMenu = true;
  mMaxBounds = g ? g->GetBounds() : IRECT();

  Hide(false);
  mState = kExpanding;
  if (g) g->UpdateTooltips();
  DeletePanels();
  mAnchorArea = anchor;
  mSubMenuOpened = false;

  const IRECT& A = anchor;
  const IRECT& M = mMaxBounds;
  float w = 0.f, h = 0.f;
  CalculatePanelSize(menu, w, h);
  const float s = mDropShadowSize;
  const float a = mCallOut ? mCalloutArrowSize : 0.f;
  const float t = mText.mSize;
  const float mx = A.MW(), my = A.MH(), Mx = M.MW(), My = M.MH();
  const float minX = M.L + s, maxX = M.R - w - 2.f * s, minY = M.T + s, maxY = M.B - h - 2.f * s;

  float x = 0.f;
  float y = my <= My ? my - (t + a) : my - h + t + a;
  auto sidePlacement = [&]
  {
    if (mx <= Mx)
    {
      x = A.R + a;
      mCalloutArrowDir = kRight;
      mCalloutArrowBounds = IRECT(A.R, my - a / 2.f, A.R + a, my + a / 2.f);
    }
    else
    {
      x = A.L - a - w - s;
      mCalloutArrowDir = kLeft;
      mCalloutArrowBounds = IRECT(A.L - a, my - a / 2.f, A.L, my + a / 2.f);
    }
  };
  auto below = [&]
  {
    mCalloutArrowDir = kBelow;
    mCalloutArrowBounds = IRECT(mx - a / 2.f, A.B, mx + a / 2.f, A.B + a);
  };
  sidePlacement();

  const bool fits = minX < x && x <= maxX && minY < y && y <= maxY;
  if (!fits)
  {
    if ((x > maxX || y <= minY || x <= minX) && my <= My)
    {
      below();
      y = A.B + a;
      if (y <= maxY)
        x = mx - w / 2.f;
      else
      {
        y = maxY;
        sidePlacement();
      }
    }
    if ((x > maxX || y > maxY || x <= minX) && my > My)
    {
      mCalloutArrowDir = kAbove;
      mCalloutArrowBounds = IRECT(mx - a / 2.f, A.T - a, mx + a / 2.f, A.T);
      y = A.T - a - h - s;
      if (y > minY)
        x = mx - w / 2.f;
      else
      {
        y = minY;
        sidePlacement();
      }
    }
    x = ClampLowWins(x, minX, maxX);
    y = ClampLowWins(y, minY, maxY);
    if (y < 0.f) y = 0.f;
  }

  if (mPreferBelow && A.B + a <= maxY)
  {
    below();
    y = A.B + a;
    x = mx - w / 2.f;
  }
  x = ClampLowWins(x, minX, maxX);

  if (mMenuHasSubMenu)
  {
    mSubMenuOpensToRight = mx <= Mx;
    x = mx - w / 2.f + (mx > Mx ? mHorizontalOffset : -mHorizontalOffset);
    x = ClampLowWins(x, minX, maxX);
    if (M.B - A.B >= A.T - M.T)
    {
      below();
      y = std::max(std::min(A.B + a, maxY), minY);
    }
    else
    {
      mCalloutArrowDir = kAbove;
      mCalloutArrowBounds = IRECT(mx - a / 2.f, A.T - a, mx + a / 2.f, A.T);
      y = std::min(std::max(A.T - a - h - s, minY), maxY);
    }
  }

  auto* root = new MenuPanel(*this, menu, x, y, -1);
  if (!mMenuPanels.Add(root))
  {
    delete root;
    ForgetMenu();
    return;
  }
  mActiveMenuPanel = mAppearingMenuPanel = root;

  SetRECT(root->mRECT);
  SetTargetRECT(root->mTargetRECT);
  OnResize();
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Submenus
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::UpdateSubMenus()
{
  MenuPanel* active = mActiveMenuPanel;
  if (!active) return;
  const int activeIdx = mMenuPanels.Find(active);

  for (int j = 0; j < active->NCells(); ++j)
  {
    IRECT* row = active->GetCell(j);
    if (!row || row != mMouseCellBounds) continue;
    const IPopupMenu::Item* item = ItemAt(*active, j);
    if (!item) continue;

    IPopupMenu* sub = item->GetSubmenu();
    if (!sub)
    {
      // Every panel opened from the active one, however deep, goes.
      for (int p = 0; p < mMenuPanels.GetSize(); ++p)
      {
        MenuPanel* panel = mMenuPanels.Get(p);
        for (int parent = panel->mParentIdx; parent >= 0; parent = mMenuPanels.Get(parent)->mParentIdx)
        {
          if (parent == activeIdx)
          {
            panel->mShouldDraw = false;
            break;
          }
          if (parent >= p) break; // parents come first; guards against a loop
        }
      }
      active->mHighlightedCell = nullptr;
      mSubMenuOpened = false;
      continue;
    }

    MenuPanel* subPanel = nullptr;
    for (int p = 0; p < mMenuPanels.GetSize(); ++p)
    {
      MenuPanel* panel = mMenuPanels.Get(p);
      panel->mShouldDraw = panel->mMenu == sub;
      if (panel->mMenu == sub) subPanel = panel;
    }
    active->mHighlightedCell = item->GetEnabled() ? row : nullptr;

    if (!subPanel)
    {
      float w = 0.f, h = 0.f;
      CalculatePanelSize(*sub, w, h);
      const float a = mCallOut ? mCalloutArrowSize : 0.f, s = mDropShadowSize;
      const float minX = mMaxBounds.L + s, maxX = mMaxBounds.R - w - 2.f * s;
      const float minY = mMaxBounds.T + s, maxY = mMaxBounds.B - h - 2.f * s;
      float x = mSubMenuOpensToRight ? row->R + mPadding + a : row->L - mPadding - a - w - s;
      x = ClampLowWins(x, minX, maxX);
      float y = 0.f;
      if (mCalloutArrowDir == kBelow)
        y = std::max(std::min(row->T - mPadding, maxY), minY);
      else if (mCalloutArrowDir == kAbove)
        y = ClampLowWins(row->T - 0.5f * mPadding - h + 2.f * mCellGap + s, minY, maxY);
      subPanel = new MenuPanel(*this, *sub, x, y, activeIdx);
      if (!mMenuPanels.Add(subPanel))
      {
        delete subPanel;
        return;
      }
    }

    IRECT target = GetTargetRECT().Union(subPanel->mTargetRECT);
    IRECT draw = GetRECT().Union(subPanel->mRECT);
    subPanel->mShouldDraw = true;
    for (int parent = subPanel->mParentIdx, guard = 0; parent >= 0 && guard <= mMenuPanels.GetSize(); ++guard)
    {
      MenuPanel* p = mMenuPanels.Get(parent);
      if (!p) break;
      p->mShouldDraw = true;
      target = target.Union(p->mRECT);
      draw = draw.Union(p->mTargetRECT);
      parent = p->mParentIdx;
    }
    SetTargetRECT(target);
    SetRECT(draw);

    mSubMenuOpened = true;
    const float a = mCalloutArrowSize;
    if (mSubMenuOpensToRight)
      mSubMenuCalloutArrowBounds =
          IRECT(row->R + mPadding, row->MH() - a / 2.f, row->R + mPadding + a, row->MH() + a / 2.f);
    else
      mSubMenuCalloutArrowBounds =
          IRECT(row->L - mPadding - a, row->MH() - a / 2.f, row->L - mPadding, row->MH() + a / 2.f);
    OnResize();

    if (subPanel != mAppearingMenuPanel)
    {
      mState = kSubMenuAppearing;
      mAppearingMenuPanel = subPanel;
      SetDirty(true);
    }
  }
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// Choosing and closing
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::CloseMenu()
{
  MenuPanel* active = mActiveMenuPanel;
  IPopupMenu* menu = active ? active->mMenu : mMenu;

  if (menu)
  {
    menu->SetChosenItemIdx(-1);
    if (active)
    {
      const int j = active->GetCellIdx(mMouseCellBounds);
      // A scroll arrow stands in for no item: the one under it is hidden, so it is not chosen.
      if (j >= 0 && !IsUpArrowRow(*active, j) && !IsDownArrowRow(*active, j))
      {
        const int idx = j + active->mScrollItemOffset;
        const IPopupMenu::Item* item = menu->GetItem(idx);
        if (item && !item->GetIsTitle() && !item->GetIsSeparator() && item->GetEnabled() && !item->GetSubmenu())
        {
          menu->SetChosenItemIdx(idx);
          active->mClickedCell = mMouseCellBounds;
        }
      }
    }

    IPopupMenu* const shown = mMenu;
    if (menu->GetFunction()) menu->ExecFunction();
    // The function may have removed the caller, and with it the menu (ForgetMenu): nothing more reaches it.
    if (mMenu == shown && mMenu)
      if (IGraphics* g = GetUI()) g->SetControlValueAfterPopupMenu(menu);
  }

  mSubMenuOpened = false;
  mActiveMenuPanel = nullptr;
  mState = kFlickering;
  Hide(true);
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Animation
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::AnimationStep()
{
  const double p = GetAnimationProgress();
  if (p > 1.0)
  {
    OnEndAnimation();
    return;
  }
  const float w = static_cast<float>(p);
  switch (mState)
  {
  case kExpanding:
    if (mAppearingMenuPanel) mAppearingMenuPanel->mBlend.weight = w * mOpacity;
    break;
  case kCollapsing:
    for (int i = 0; i < mMenuPanels.GetSize(); ++i)
      mMenuPanels.Get(i)->mBlend.weight = (1.f - w) * mOpacity;
    break;
  case kSubMenuAppearing:
    if (mAppearingMenuPanel) mAppearingMenuPanel->mBlend.weight = p > 0.9 ? mOpacity : 0.f;
    break;
  case kFadedOut:
    for (int i = 0; i < mMenuPanels.GetSize(); ++i)
      mMenuPanels.Get(i)->mBlend.weight = 0.f;
    break;
  default:
    break;
  }
}

void IPopupMenuControl::OnEndAnimation()
{
  auto allWeights = [this](float weight)
  {
    for (int i = 0; i < mMenuPanels.GetSize(); ++i)
      mMenuPanels.Get(i)->mBlend.weight = weight;
  };

  switch (mState)
  {
  case kExpanding:
  case kSubMenuAppearing:
    allWeights(mOpacity);
    mState = kExpanded;
    break;
  case kFlickering:
    mState = kCollapsing;
    SetDirty(true);
    return;
  case kCollapsing:
    SetTargetRECT(mSpecifiedCollapsedBounds);
    allWeights(0.f);
    mMouseCellBounds = nullptr;
    mAnchorArea = IRECT();
    mState = kFadedOut;
    SetDirty(true);
    return;
  case kFadedOut:
    DeletePanels();
    mMenu = nullptr;
    SetRECT(mSpecifiedCollapsedBounds);
    mState = kCollapsed;
    // Refreshed once idle: the platform registers no tooltips while a menu is out, and this is the last refresh.
    if (IGraphics* g = GetUI()) g->UpdateTooltips();
    break;
  default:
    break;
  }
  IControl::OnEndAnimation();
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::Draw(IGraphics& g)
{
  for (int i = 0; i < mMenuPanels.GetSize(); ++i)
  {
    MenuPanel* panel = mMenuPanels.Get(i);
    if (!panel || !panel->mShouldDraw) continue;
    DrawPanelShadow(g, panel);
    DrawPanelBackground(g, panel);

    const int n = panel->mMenu ? panel->mMenu->NItems() : 0;
    const int c = panel->NCells();
    const int o = panel->mScrollItemOffset;
    int first = 0, last = c - 1;
    auto selected = [&](const IRECT* cell) { return cell == mMouseCellBounds || cell == panel->mHighlightedCell; };
    if (IsUpArrowRow(*panel, 0))
    {
      IRECT* row = panel->GetCell(0);
      DrawCellBackground(g, *row, nullptr, selected(row), &panel->mBlend);
      DrawUpArrow(g, *row, selected(row), &panel->mBlend);
      first = 1;
    }
    if (c > 0 && IsDownArrowRow(*panel, c - 1))
    {
      IRECT* row = panel->GetCell(c - 1);
      DrawCellBackground(g, *row, nullptr, selected(row), &panel->mBlend);
      DrawDownArrow(g, *row, selected(row), &panel->mBlend);
      last = c - 2;
    }
    for (int j = first; j <= last; ++j)
    {
      IRECT* row = panel->GetCell(j);
      const IPopupMenu::Item* item = j + o < n ? panel->mMenu->GetItem(j + o) : nullptr;
      if (!row || !item) break;
      if (item->GetIsSeparator())
      {
        DrawSeparator(g, *row, &panel->mBlend);
        continue;
      }
      const bool sel = selected(row);
      if (!(mState == kFlickering && panel->mClickedCell)) DrawCellBackground(g, *row, item, sel, &panel->mBlend);
      DrawCellText(g, *row, item, sel, &panel->mBlend);
      if (item->GetChecked()) DrawTick(g, *row, item, sel, &panel->mBlend);
      if (item->GetSubmenu()) DrawSubMenuArrow(g, *row, item, sel, &panel->mBlend);
    }
  }

  if (mCallOut && mMenuPanels.GetSize() > 0)
  {
    IBlend* rootBlend = &mMenuPanels.Get(0)->mBlend;
    DrawCalloutArrow(g, mCalloutArrowBounds, rootBlend);
    if (mMenuHasSubMenu && mSubMenuOpened) DrawSubMenuCalloutArrow(g, mSubMenuCalloutArrowBounds, rootBlend);
  }
}

void IPopupMenuControl::DrawCalloutArrow(IGraphics& g, const IRECT& bounds, IBlend* blend)
{
  const float h = bounds.H(), cx = bounds.MW(), cy = bounds.MH();
  const float l = cx - h / 2.f, r = cx + h / 2.f, t = cy - h / 2.f, b = cy + h / 2.f;
  switch (mCalloutArrowDir)
  {
  case kAbove: // tip down to the anchor
    g.FillTriangle(mPanelBackgroundColor, l, t, r, t, cx, b, blend);
    break;
  case kRight: // tip left
    g.FillTriangle(mPanelBackgroundColor, r, t, r, b, l, cy, blend);
    break;
  case kBelow: // tip up
    g.FillTriangle(mPanelBackgroundColor, l, b, r, b, cx, t, blend);
    break;
  case kLeft: // tip right
    g.FillTriangle(mPanelBackgroundColor, l, t, l, b, r, cy, blend);
    break;
  default:
    break;
  }
}

void IPopupMenuControl::DrawSubMenuCalloutArrow(IGraphics& g, const IRECT& bounds, IBlend* blend)
{
  const float h = bounds.H(), cx = bounds.MW(), cy = bounds.MH();
  const float base = mSubMenuOpensToRight ? cx + h / 2.f : cx - h / 2.f;
  const float tip = mSubMenuOpensToRight ? cx - h / 2.f : cx + h / 2.f;
  g.FillTriangle(mPanelBackgroundColor, base, cy - h / 2.f, base, cy + h / 2.f, tip, cy, blend);
}

void IPopupMenuControl::DrawPanelBackground(IGraphics& g, MenuPanel* panel)
{
  g.FillRoundRect(mPanelBackgroundColor, panel->mTargetRECT, mRoundness, &panel->mBlend);
}

void IPopupMenuControl::DrawPanelShadow(IGraphics& g, MenuPanel* panel)
{
  const IRECT inner = panel->mRECT.GetPadded(mDropShadowSize);
  g.DrawFastDropShadow(inner, panel->mRECT, 2.f, mRoundness, 10.f, &panel->mBlend);
}

void IPopupMenuControl::DrawCellBackground(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel,
                                           IBlend* blend)
{
  if (sel) g.FillRect(mCellBackGroundColor, bounds.GetPadded(-mPadding, 0.f, mPadding, 0.f), blend);
}

void IPopupMenuControl::DrawCellText(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                     IBlend* blend)
{
  const IRECT textRect(bounds.L + mTickWidth + mTextXPad, bounds.T, bounds.R - mTextXPad, bounds.B);
  if (sel)
    mText.mFGColor = mItemMouseoverColor;
  else if (item && !item->GetEnabled())
    mText.mFGColor = mDisabledItemColor;
  else
    mText.mFGColor = mItemColor;
  mText.mAlign = kAlignNear;
  g.DrawText(mText, item && item->GetText() ? item->GetText() : "", textRect, blend);
}

void IPopupMenuControl::DrawTick(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel, IBlend* blend)
{
  const float box = std::max(1.f, mTickWidth);
  const IRECT square(bounds.L, bounds.MH() - box / 2.f, bounds.L + box, bounds.MH() + box / 2.f);
  const float side = std::max(1.f, mTickWidth / 2.f);
  g.FillRoundRect(sel ? mItemMouseoverColor : mItemColor, square.GetCentredInside(side), 2.f, blend);
}

void IPopupMenuControl::DrawSubMenuArrow(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item*, bool sel,
                                         IBlend* blend)
{
  const float d = bounds.H() / 2.f, cy = bounds.MH();
  const float tip = mSubMenuOpensToRight ? bounds.R + mPadding / 2.f : bounds.L - mPadding / 2.f;
  const float base = mSubMenuOpensToRight ? tip - d : tip + d;
  g.FillTriangle(sel ? mItemMouseoverColor : mItemColor, base, cy - d / 2.f, base, cy + d / 2.f, tip, cy, blend);
}

void IPopupMenuControl::DrawUpArrow(IGraphics& g, const IRECT& bounds, bool sel, IBlend* blend)
{
  const float t = 0.6f * bounds.H(), cx = bounds.MW(), cy = bounds.MH();
  g.FillTriangle(sel ? mItemMouseoverColor : mItemColor, cx - t / 2.f, cy + t / 2.f, cx + t / 2.f, cy + t / 2.f, cx,
                 cy - t / 2.f, blend);
}

void IPopupMenuControl::DrawDownArrow(IGraphics& g, const IRECT& bounds, bool sel, IBlend* blend)
{
  const float t = 0.6f * bounds.H(), cx = bounds.MW(), cy = bounds.MH();
  g.FillTriangle(sel ? mItemMouseoverColor : mItemColor, cx - t / 2.f, cy - t / 2.f, cx + t / 2.f, cy - t / 2.f, cx,
                 cy + t / 2.f, blend);
}

void IPopupMenuControl::DrawSeparator(IGraphics& g, const IRECT& bounds, IBlend* blend)
{
  if (!blend || blend->weight <= 0.9f) return;
  const IBlend faint(kBlendDefault, 0.25f);
  g.FillRect(mSeparatorColor, bounds, &faint);
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------------------------

void IPopupMenuControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mState != kExpanded)
  {
    IControl::OnMouseDown(x, y, mod);
    return;
  }
  mMouseCellBounds = mActiveMenuPanel ? mActiveMenuPanel->HitTestCells(x, y) : nullptr;
  CloseMenu();
}

void IPopupMenuControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  if (!mActiveMenuPanel) return;
  mMouseCellBounds = mActiveMenuPanel->HitTestCells(x, y);
  SetDirty(false);
}

void IPopupMenuControl::OnMouseWheel(float, float, const IMouseMod&, float) {}

void IPopupMenuControl::OnMouseOver(float x, float y, const IMouseMod&)
{
  if (!mActiveMenuPanel) return;
  mMouseCellBounds = mActiveMenuPanel->HitTestCells(x, y);
  if (!mMouseCellBounds)
  {
    for (int i = mMenuPanels.GetSize() - 1; i >= 0; --i)
    {
      MenuPanel* panel = mMenuPanels.Get(i);
      if (panel->mShouldDraw && panel->mRECT.Contains(x, y))
      {
        mActiveMenuPanel = panel;
        mMouseCellBounds = panel->HitTestCells(x, y);
        break;
      }
    }
  }

  UpdateSubMenus();

  MenuPanel* active = mActiveMenuPanel;
  if (active && active->mScroller && mMouseCellBounds)
  {
    const int n = active->mMenu ? active->mMenu->NItems() : 0, c = active->NCells();
    const int o = active->mScrollItemOffset;
    const int j = active->GetCellIdx(mMouseCellBounds);
    if (j == 0)
      active->mScrollItemOffset = std::max(0, std::min(o > 0 ? o - 1 : 0, c - 1));
    else if (j == c - 1)
      active->mScrollItemOffset = std::max(0, std::min(o >= 0 ? o + 1 : 0, n - c));
  }
  SetDirty(false);
}

void IPopupMenuControl::OnMouseOut()
{
  mMouseCellBounds = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// The graphics context's popup-menu control
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::AttachPopupMenuControl(const IText& text, const IRECT& bounds)
{
  if (mPopupControl) return;
  auto* popup = new IPopupMenuControl(-1, text, IRECT(), bounds);
  GiveContext(popup);
  popup->OnInit();
  popup->OnResize();
  popup->OnRescale();
  mPopupControl = popup;
  mPopupMenuOpener = [popup](IPopupMenu& menu, const IRECT& anchor) { popup->CreatePopupMenu(menu, anchor); };
}

void IGraphics::RemovePopupMenuControl()
{
  IControl* popup = mPopupControl;
  if (!popup) return;
  ForgetControl(popup);
  // A menu on show goes with the control: its caller waits for nothing.
  if (static_cast<IPopupMenuControl*>(popup)->IsBusy()) mInPopupMenu = nullptr;
  mPopupControl = nullptr;
  mPopupMenuOpener = nullptr;
  delete popup;
}

} // namespace plugin::igraphics
