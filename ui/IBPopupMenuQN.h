#pragma once

// Popup selectors of the product: IBPopupMenuQN picks a value of an enumerated parameter from the parameter's own
// value menu; IBPopupMenuQNSpecial is the Link-ID selector, which shows the Link ID as text and builds a menu of
// every Link ID with the Sender / Receiver occupancy of each.
//
// Both menus are shown through IGraphics::CreatePopupMenu (natively on this platform); the choice comes back
// through OnPopupMenuSelection. Geometry in points. Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IControl.h"
#include "graphics/IPopupMenu.h"

#include <array>
#include <atomic>

namespace plugin
{
class IParam;
}

namespace plugin::igraphics
{

// A bitmap selector for an enumerated parameter. A click opens the parameter's value menu with the current entry
// checked; the wheel (when enabled) steps through the values, a positive notch moving to the previous entry.
class IBPopupMenuQN : public IControl, public IBitmapBase
{
public:
  // Bounds: one frame of bitmap at (x, y). hidden draws nothing; hoverMode draws frame 2 under the mouse and
  // frame 1 otherwise instead of the frame of the value.
  IBPopupMenuQN(int x, int y, int paramIdx, const IBitmap& bitmap, bool wheelEnabled, IActionFunction actionFunc,
                bool hidden, bool hoverMode);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnRescale() override;
  void Draw(IGraphics& g) override;
  void SetDisabled(bool disable) override;

  bool GetMouseOver() const { return mMouseOver; }

  // The normalised value one wheel step of delta away from normalised value current of param: the real value and
  // delta both truncated to whole numbers, the difference limited to the parameter's range and normalised through
  // its shape. A positive delta moves down.
  static double WheelStep(const plugin::IParam& param, double current, float delta);

private:
  bool mWheelEnabled;
  bool mHidden;
  bool mHoverMode;
  bool mMouseOver = false;
};

// The Link-ID selector. The plug-in owns the two presence arrays (entry i true when Link ID i has at least one
// Sender / Receiver; 257 entries: index 0 and Link IDs 1 to 256), refreshes them when the command is sent before
// a menu opens, and writes the own role (0 Sender, otherwise Receiver).
class IBPopupMenuQNSpecial : public IControl
{
public:
  static constexpr int kNumSubmenus = 12;
  static constexpr int kDirectIDs = 20;   // Link IDs 1 to 20 sit in the main menu
  static constexpr int kIDsPerSubmenu = 20;
  static constexpr int kMaxLinkID = 256;

  // Bounds: one frame of bitmap at (x, y) (the bitmap is not kept). text is copied into the control's IText.
  // The flag arrays may be null (read as all clear); only the first flagCount entries are read. commandIdx is
  // sent to the plug-in before the menu or the wheel acts (-1: none).
  IBPopupMenuQNSpecial(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                       const std::atomic<bool>* senderFlags, const std::atomic<bool>* receiverFlags, int flagCount,
                       int commandIdx);
  ~IBPopupMenuQNSpecial() override;

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx) override;
  void Draw(IGraphics& g) override;
  void SetDisabled(bool disable) override;

  // [main thread] Written by the plug-in: 0 while this instance is a Sender, otherwise Receiver.
  void SetOwnRole(int role) { mOwnRole = role; }
  int GetOwnRole() const { return mOwnRole; }

  // Rebuilds the Link-ID menu from the flag arrays, the parameter's range and its current value (done at every
  // click; public for the layout and tests).
  void BuildMenu();
  IPopupMenu& GetMainMenu() { return mMainMenu; }
  // Submenu k (0..11) of the last build, or null before the first build.
  IPopupMenu* GetSubmenu(int k) const { return (k >= 0 && k < kNumSubmenus) ? mSubmenus[size_t(k)] : nullptr; }

  // The Link ID a menu choice stands for: the chosen index of the main menu, or 21 + 20k + chosen index in
  // submenu k; -1 for any other menu.
  int LinkIDForSelection(const IPopupMenu* menu) const;

private:
  bool HasSender(int id) const;
  bool HasReceiver(int id) const;
  void SendCommand();

  bool mWheelEnabled = true;
  const std::atomic<bool>* mSenderFlags;
  const std::atomic<bool>* mReceiverFlags;
  int mFlagCount;
  int mOwnRole = 0;
  int mCommandIdx;
  IPopupMenu mMainMenu{""};
  std::array<IPopupMenu*, kNumSubmenus> mSubmenus{};
};

} // namespace plugin::igraphics
