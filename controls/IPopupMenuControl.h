#pragma once

// IPopupMenuControl — a menu drawn by the editor itself instead of the platform: one panel for the menu and one
// more for each submenu the user opens, each with a drop shadow, an optional callout arrow towards the anchor,
// fading in and out, scrolling when a menu is taller than the editor. The graphics context keeps at most one (see
// IGraphics::AttachPopupMenuControl) and routes every popup request through it while it exists.
//
// A derived class restyles the menu by overriding the Draw... operations; each receives the graphics context, the
// rectangle to draw in and, where it applies, the row's item, whether the row is selected and the panel's blend.
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"
#include "graphics/IPopupMenu.h"

namespace plugin::igraphics
{

class IPopupMenuControl : public IControl
{
public:
  enum EPopupState : int
  {
    kCollapsed = 0,        // nothing shown; hidden, no panels
    kExpanding = 1,        // the root panel fades in
    kExpanded = 2,         // panels shown, input accepted
    kCollapsing = 3,       // all panels fade out
    kFlickering = 4,       // a row was chosen; its highlight is withheld for one animation
    kSubMenuAppearing = 5, // a submenu panel is about to appear
    kFadedOut = 6,         // panels invisible, waiting for clean-up
  };

  // Where the root panel lies relative to its anchor.
  enum ECalloutDirection : int
  {
    kAbove = 0,
    kRight = 1,
    kBelow = 2,
    kLeft = 3,
  };

  // One shown menu: its rows (cells) and where it lies. Owned by the control.
  class MenuPanel
  {
  public:
    // Lays out the rows of menu at (x, y) with the control's sizes; parentIdx is the index of the parent panel in
    // the control's panel list, -1 for the root.
    MenuPanel(IPopupMenuControl& control, IPopupMenu& menu, float x, float y, int parentIdx);
    ~MenuPanel() { mCellBounds.Empty(true); }
    MenuPanel(const MenuPanel&) = delete;
    MenuPanel& operator=(const MenuPanel&) = delete;

    // The first cell that contains (x, y) and whose item is enabled; null when none.
    IRECT* HitTestCells(float x, float y) const;

    int NCells() const { return mCellBounds.GetSize(); }
    IRECT* GetCell(int idx) const { return mCellBounds.Get(idx); }
    int GetCellIdx(const IRECT* cell) const { return cell ? mCellBounds.Find(cell) : -1; }

    IPopupMenu* mMenu;
    Util_PtrList<IRECT> mCellBounds{4096};
    IRECT mRECT;       // panel area plus the drop-shadow margin
    IRECT mTargetRECT; // background and hit area
    int mScrollMaxRows = 0;
    bool mShouldDraw = true;
    IBlend mBlend{kBlendDefault, 0.f};
    IRECT mSingleCellBounds;           // (x, y) of the panel and the size of one row
    IRECT* mHighlightedCell = nullptr; // the row whose submenu is open
    IRECT* mClickedCell = nullptr;     // the row that was chosen
    int mParentIdx;
    bool mScroller = false;
    int mScrollItemOffset = 0; // row j shows item j + offset

  private:
    // Row j from (x, top) downwards, sized by item j + offset of the menu.
    void BuildRows(const IPopupMenuControl& control, float x, float top, int firstItem, int count);
  };

  // Hidden, over collapsedBounds; expandedBounds with a non-zero width replace every panel's cell block.
  IPopupMenuControl(int paramIdx = -1, const IText& text = DEFAULT_TEXT, const IRECT& collapsedBounds = IRECT(),
                    const IRECT& expandedBounds = IRECT());
  ~IPopupMenuControl() override;

  // Mouse input while a menu is shown. A click in kExpanded chooses the enabled row under it (or nothing) and
  // closes; in other states the base behaviour applies. The wheel never scrolls a menu.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(IGraphics& g) override;
  // Moves the state machine on at the end of each fade (see EPopupState).
  void OnEndAnimation() override;

  virtual void DrawCalloutArrow(IGraphics& g, const IRECT& bounds, IBlend* blend);
  virtual void DrawSubMenuCalloutArrow(IGraphics& g, const IRECT& bounds, IBlend* blend);
  virtual void DrawPanelBackground(IGraphics& g, MenuPanel* panel);
  virtual void DrawPanelShadow(IGraphics& g, MenuPanel* panel);
  // item is null for a scroll-arrow row.
  virtual void DrawCellBackground(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                  IBlend* blend);
  // Leaves the control's text style with the last colour used and near alignment.
  virtual void DrawCellText(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel, IBlend* blend);
  virtual void DrawTick(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel, IBlend* blend);
  virtual void DrawSubMenuArrow(IGraphics& g, const IRECT& bounds, const IPopupMenu::Item* item, bool sel,
                                IBlend* blend);
  virtual void DrawUpArrow(IGraphics& g, const IRECT& bounds, bool sel, IBlend* blend);
  virtual void DrawDownArrow(IGraphics& g, const IRECT& bounds, bool sel, IBlend* blend);
  // Only while the panel's weight is above 0.9, and then at weight 0.25.
  virtual void DrawSeparator(IGraphics& g, const IRECT& bounds, IBlend* blend);
  // Takes the hovered row of the active panel as the choice (a scroll arrow, a disabled, title or separator row,
  // a row with a submenu or no row: nothing chosen), runs the menu's function, hands the menu back through the
  // graphics context and starts the fade-out.
  virtual void CloseMenu();

  // Shows menu next to anchor; ignored unless the state is kCollapsed. The menu must outlive the showing (the
  // graphics context drops it when its caller goes away, see ForgetMenu).
  void CreatePopupMenu(IPopupMenu& menu, const IRECT& anchor);

  // The cell block of a panel for menu: width = widest text + margins, height of all rows with their gaps.
  void CalculatePanelSize(const IPopupMenu& menu, float& width, float& height) const;
  // The union of the measured texts of all items; empty when no item has text or no graphics context.
  IRECT GetLargestCellRectForMenu(const IPopupMenu& menu) const;
  // Opens, closes and highlights submenu panels for the hovered row of the active panel.
  void UpdateSubMenus();

  // The menu's caller went away: collapse at once without animation, completion or any further use of the menu.
  void ForgetMenu()
  {
    if (mState == kCollapsed && !mMenu) return;
    SetAnimation(nullptr);
    DeletePanels();
    mMenu = nullptr;
    mAnchorArea = IRECT();
    mSubMenuOpened = false;
    mState = kCollapsed;
    SetTargetAndDrawRECTs(mSpecifiedCollapsedBounds);
    Hide(true);
  }
  // Closes the menu with nothing chosen (focus lost); only while expanded.
  void DismissMenu()
  {
    if (mState != kExpanded) return;
    mMouseCellBounds = nullptr;
    CloseMenu();
  }

  int GetState() const { return mState; }
  bool GetExpanded() const { return mState == kExpanded; }
  // Whether a menu is showing or still fading (a new menu is then refused).
  bool IsBusy() const { return mState != kCollapsed; }

  int NPanels() const { return mMenuPanels.GetSize(); }
  MenuPanel* GetPanel(int idx) const { return mMenuPanels.Get(idx); }
  MenuPanel* GetActivePanel() const { return mActiveMenuPanel; }
  IRECT* GetHoveredCell() const { return mMouseCellBounds; }
  int GetCalloutDirection() const { return mCalloutArrowDir; }
  const IRECT& GetCalloutArrowBounds() const { return mCalloutArrowBounds; }
  const IRECT& GetSubMenuCalloutArrowBounds() const { return mSubMenuCalloutArrowBounds; }
  bool GetSubMenusToTheRight() const { return mSubMenuOpensToRight; }

  void SetMaxItemsPerColumn(int n) { mMaxColumnItems = n; }
  void SetScrollIfTooBig(bool scroll) { mScrollIfTooBig = scroll; }
  void SetCallout(bool callout) { mCallOut = callout; }
  void SetPreferBelow(bool below) { mPreferBelow = below; }
  void SetMenuShadowSize(float size) { mDropShadowSize = size; }
  void SetOpacity(float opacity) { mOpacity = opacity; }
  void SetHorizontalOffset(float offset) { mHorizontalOffset = offset; }
  void SetPanelColor(const IColor& c) { mPanelBackgroundColor = c; }
  void SetCellBackgroundColor(const IColor& c) { mCellBackGroundColor = c; }
  void SetItemColor(const IColor& c) { mItemColor = c; }
  void SetSelectedItemColor(const IColor& c) { mItemMouseoverColor = c; }
  void SetDisabledItemColor(const IColor& c) { mDisabledItemColor = c; }
  void SetSeparatorColor(const IColor& c) { mSeparatorColor = c; }

protected:
  // One frame of the fade.
  void AnimationStep();
  void DeletePanels()
  {
    mMenuPanels.Empty(true);
    mActiveMenuPanel = nullptr;
    mAppearingMenuPanel = nullptr;
    mMouseCellBounds = nullptr;
  }
  // The item shown by cell idx of panel (null for none).
  static IPopupMenu::Item* ItemAt(const MenuPanel& panel, int idx)
  {
    return panel.mMenu ? panel.mMenu->GetItem(idx + panel.mScrollItemOffset) : nullptr;
  }
  // Whether cell idx of panel shows a scroll arrow instead of an item.
  static bool IsUpArrowRow(const MenuPanel& panel, int idx);
  static bool IsDownArrowRow(const MenuPanel& panel, int idx);

  Util_PtrList<MenuPanel> mMenuPanels{4096};
  MenuPanel* mActiveMenuPanel = nullptr;
  MenuPanel* mAppearingMenuPanel = nullptr;
  int mState = kCollapsed;
  IRECT* mMouseCellBounds = nullptr; // the enabled cell under the mouse
  IPopupMenu* mMenu = nullptr;       // not owned
  int mMaxColumnItems = 0;
  bool mScrollIfTooBig = true;
  bool mCallOut = false;
  bool mMenuHasSubMenu = false;
  bool mPreferBelow = true;
  bool mSubMenuOpensToRight = true;
  bool mSubMenuOpened = false;
  float mCellGap = 2.f;
  float mSeparatorSize = 2.f;
  float mRoundness = 5.f;
  float mDropShadowSize = 10.f;
  float mOpacity = 0.95f;
  float mHorizontalOffset = 0.f;
  float mTextXPad = 5.f;
  float mTickWidth = 10.f;
  float mArrowWidth = 8.f;
  float mPadding = 5.f;
  float mCalloutArrowSize = 8.f;
  IRECT mAnchorArea;
  int mCalloutArrowDir = kRight;
  IRECT mCalloutArrowBounds;
  IRECT mSubMenuCalloutArrowBounds;
  IRECT mMaxBounds;
  IColor mPanelBackgroundColor = COLOR_WHITE;
  IColor mCellBackGroundColor = COLOR_BLUE;
  IColor mItemMouseoverColor = COLOR_WHITE;
  IColor mItemColor = COLOR_BLACK;
  IColor mDisabledItemColor = COLOR_GRAY;
  IColor mSeparatorColor = COLOR_MID_GRAY;
  IRECT mSpecifiedCollapsedBounds;
  IRECT mSpecifiedExpandedBounds;
};

} // namespace plugin::igraphics
