#pragma once

// IGraphicsMac — the editor's graphics context on macOS: the drawing interface on the vector renderer
// (IGraphicsVR) with the platform operations answered through AppKit.
//
// It owns the Cocoa view (IGraphicsView_vZANIQ_au) while the editor is open; the view owns the Metal layer the
// renderer draws into and the render timer that drives the frames. Cursor hiding and locking, tooltips, the
// clipboard, message boxes, file, folder and colour prompts, URLs, native menus and text fields, resource lookup
// and CoreText fonts are answered here.
//
// Lifecycle: the editor delegate's make-graphics function constructs it, OpenWindow creates the view and the
// renderer context and lays the controls out, CloseWindow (or the host removing the view) tears both down; the
// delegate deletes the context. Closing is safe from inside any of these steps: whichever runs first detaches the
// view, and nothing keeps a pointer to a view or context that is gone.
//
// Threads: [main thread] for everything.

#include "renderer/vr/IGraphicsVR.h"

#include <CoreGraphics/CGGeometry.h>

#include <memory>

class IGraphicsView_vZANIQ_au;

namespace plugin::igraphics
{

class IGraphicsMac : public IGraphicsVR
{
public:
  // fps of 0 or less means 60. Retains the CoreText descriptor cache (the font-data cache is retained by the base).
  IGraphicsMac(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f);
  // Tears an open view down as CloseWindow does; the last context to go empties the descriptor cache.
  ~IGraphicsMac() override;

  // The plug-in's bundle identifier, used to find resources; null counts as empty.
  void SetBundleID(const char* bundleID) { mBundleID.Set(bundleID ? bundleID : ""); }
  const char* GetBundleID() const override { return mBundleID.Get(); }

  // ---- Window ----
  // Closes a view that is open, creates a new one (its layer, the renderer context, its render timer), copies the
  // draw-context-ready flag to the delegate, applies the main screen's scale, lays the controls out, refreshes the
  // tooltips, calls OnUIOpen and adds the view to parent (an NSView, may be null). Returns the view. Closed from
  // inside (by a control or the host), it stops laying out, calls no OnUIOpen and returns null.
  void* OpenWindow(void* parent) override;
  // With a view: tooltips removed, timer stopped, view detached from this context and from its superview and
  // released, then the controls, bitmaps and renderer context go (OnViewDestroyed). Inside a call of this context
  // (a scope of it open on this thread) only the view goes: the rest stays for the call and goes with the context.
  // Nothing without a view.
  void CloseWindow() override;
  void* GetWindow() override;
  bool WindowIsOpen() override { return mView != nullptr; }
  IGraphicsView_vZANIQ_au* GetView() const { return mView; }
  // Resizes the view to the editor size (points) and refreshes the tooltips. The host hears of the new frame
  // inside (its frame-change notification); once it has closed the editor there, nothing more is done.
  void PlatformResize(bool parentHasResized) override;
  // 1 dark, 0 light, from the view's effective appearance.
  int GetUIAppearance() const override;

  // ---- Mouse and cursor ----
  // The current mouse position in graphics units (the screen position without a view).
  void GetMouseLocation(float& x, float& y) const override;
  // Nothing when the hidden state does not change. Hiding stores the cursor position and pins the cursor there
  // with lock; showing moves it back to the stored position.
  void HideMouseCursor(bool hide = true, bool lock = true) override;
  // Warps the cursor to (x, y) in graphics units; nothing for tablet input.
  void MoveMouseCursor(float x, float y) override;
  // Sets the system cursor through the view (when open); returns the previous type.
  ECursor SetMouseCursor(ECursor cursorType = kCursorArrow) override;
  void ForceEndUserEdit() override;

  // ---- Screen points (AppKit's: points from the bottom left of the main screen, y up) ----
  // The screen point of the graphics point (x, y): × draw scale into view points (y down), then through the
  // window to the screen. Without a view the scaled point.
  CGPoint PointToScreen(float x, float y) const;
  // The graphics point of a screen point: through the window into view points, ÷ draw scale. Without a view the
  // screen point as it is.
  void ScreenToPoint(CGPoint screen, float& x, float& y) const;
  // Moves the cursor to a screen point without a mouse event; the point becomes the stored cursor position (so a
  // locked cursor stays there).
  void MoveCursorToScreenPoint(CGPoint screen);

  // ---- Values the view keeps in step ----
  bool GetCursorLocked() const { return mCursorLocked; }
  bool GetTabletInput() const { return mTabletInput; }
  void SetTabletInput(bool tablet) { mTabletInput = tablet; }
  float GetLastMouseX() const { return mLastMouseX; }
  float GetLastMouseY() const { return mLastMouseY; }
  // A new mouse position from the view (graphics units). Normally it becomes the last position and the new
  // previous position; while the cursor is hidden and locked (mouse, not tablet) the cursor goes back to its
  // stored point and the previous position stays the last one.
  void TrackMousePosition(float x, float y, float& prevX, float& prevY);
  // The view went away under us (its dealloc): forget it without touching it.
  void ForgetView(IGraphicsView_vZANIQ_au* view);
  // Inside a modal loop of the platform (native menu, alert, file or folder panel) that this context opened:
  // the context is on the stack below it. Closing the editor waits for the loop; a context deleted inside it
  // (the host disposing of the plug-in) makes the loop's caller return without touching anything of it.
  bool InPlatformModal() const { return mModalDepth > 0; }

  // ---- Clipboard, dialogs, URLs ----
  // Once the context winds down (IsWindingDown: the editor closing or the plug-in being disposed of under a call
  // still on the stack) the dialogs, menus, text fields, URLs and file-viewer requests below start nothing and
  // answer as if cancelled.
  bool GetTextFromClipboard(Util_String& str) override;
  bool SetTextInClipboard(const char* str) override;
  void UpdateTooltips() override;
  // Releases the mouse capture, then shows the alert of type (see GetMacMsgBox); types without a panel answer
  // kCANCEL. The completion, when given, gets the result too. A context deleted while the alert is up, or winding
  // down when asked, answers kCANCEL and drops the completion.
  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               IMsgBoxCompletionHandlerFunc completionHandler = nullptr) override;
  // Save (action Save) or open panel. On OK fileName is the chosen file and path its folder with a trailing "/";
  // otherwise fileName is empty and path as given. Without a view (or winding down) fileName is emptied.
  void PromptForFile(Util_String& fileName, Util_String& path, EFileAction action = EFileAction::Open,
                     const char* ext = "") override;
  // Folder panel starting at dir ("~/Desktop" when empty); dir becomes the chosen folder with "/" or, when
  // cancelled, empty.
  void PromptForDirectory(Util_String& dir) override;
  // The shared colour panel; the completion runs with every colour the panel reports. False without a view or
  // winding down.
  bool PromptForColor(IColor& color, const char* str = "", IColorPickerHandlerFunc func = nullptr) override;
  // A web address (text containing "http") or a file path, opened by the workspace. False when nothing could be
  // opened, also when the text makes no URL.
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  const char* GetPlatformAPIStr() override { return "Cocoa"; }
  bool RevealPathInExplorerOrFinder(Util_String& path, bool select = false) override;

  // ---- Platform views, text entry, menus ----
  void AttachPlatformView(const IRECT& bounds, void* view) override;
  void RemovePlatformView(void* view) override;
  void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                               const char* str) override;
  // The native menu below bounds; the chosen menu (its completion run) or null. A context deleted while the menu
  // is up answers null with isAsync set: no completion follows, and the caller, gone with it, reads nothing more.
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) override;

  // ---- Resources and fonts ----
  EResourceLocation LocateResource(const char* name, const char* type, Util_String& result, const char* bundleID,
                                   void* pHInstance, const char* sharedResourcesSubPath) override;
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) override;
  PlatformFontPtr LoadPlatformFont(const char* fontID, void* pData, int dataSize) override;
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) override;
  void CachePlatformFont(const char* fontID, const PlatformFontPtr& font) override;

  // The system version as BCD 0xMMmb: what Gestalt says before 10.10 (0x1040 when it cannot say), 0x10A0 for
  // 10.10, 0x10B0 for 10.11 and later. Computed once. [main thread]
  static int GetSystemVersion();

private:
  // Reads the mouse position, keeps it as the stored cursor point and as the last mouse position.
  void StoreCursorPosition();
  // Warps the cursor back to the stored point; the previous position becomes the last mouse position.
  void RepositionCursor(float& prevX, float& prevY);
  // Detaches and releases the view; with contentsToo the controls and the renderer go as well (also ones a view
  // closed inside a call left behind).
  void TearDownView(bool contentsToo);

  // Counts one modal loop of the platform for its lifetime. The context may be deleted inside the loop: the
  // scope then leaves it alone, and ContextAlive tells the caller to return at once.
  class ModalScope
  {
  public:
    explicit ModalScope(IGraphicsMac& g) : mG(g), mAlive(g.mAlive) { ++mG.mModalDepth; }
    ~ModalScope()
    {
      if (*mAlive) --mG.mModalDepth;
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    // False also once the editor closed or the plug-in was disposed of under the loop: the answer is dropped.
    bool ContextAlive() const { return *mAlive && !mG.IsWindingDown(); }

  private:
    IGraphicsMac& mG;
    std::shared_ptr<const bool> mAlive;
  };

  // True while this context lives; each modal scope holds a share, so it can still read it once the context is
  // gone.
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
  IGraphicsView_vZANIQ_au* mView = nullptr;
  int mModalDepth = 0;
  bool mContentsKept = false; // the view went inside a call: controls and renderer wait for OnViewDestroyed
  CGPoint mCursorLockPosition{0.0, 0.0}; // screen point, y upwards
  Util_String mBundleID;
  float mLastMouseX = 0.f;
  float mLastMouseY = 0.f;
  bool mCursorLocked = false;
  bool mTabletInput = false;
};

} // namespace plugin::igraphics
