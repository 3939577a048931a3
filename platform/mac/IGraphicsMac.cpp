#include "platform/mac/IGraphicsMac.h"

#include "controls/IControl.h"
#include "controls/IPopupMenuControl.h"
#include "framework/IGEditorDelegate.h"
#include "platform/mac/CoreTextFont.h"
#include "platform/mac/IGraphicsView.h"
#include "platform/mac/MacInput.h"
#include "platform/mac/PlatformPaths.h"

#include <AppKit/NSAlert.h>
#include <AppKit/NSApplication.h>
#include <AppKit/NSEvent.h>
#include <AppKit/NSPasteboard.h>
#include <AppKit/NSSavePanel.h>
#include <AppKit/NSWindow.h>
#include <AppKit/NSWorkspace.h>
#include <CoreGraphics/CGDirectDisplay.h>
#include <CoreServices/CoreServices.h>
#include <Foundation/NSURL.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------------------------------------------

IGraphicsMac::IGraphicsMac(IGEditorDelegate& dlg, int w, int h, int fps, float scale)
    : IGraphicsVR(dlg, w, h, fps, scale)
{
  NSApplicationLoad();
  CoreTextFontDescriptorCache().Retain();
}

IGraphicsMac::~IGraphicsMac()
{
  // A modal call of ours further up the stack must find us gone when its loop returns.
  *mAlive = false;
  {
    // The view is torn down while the descriptor cache is held: a text field may still use a cached font.
    auto lock = CoreTextFontDescriptorCache().Lock();
    CoreTextFontDescriptorCache().Release();
    TearDownView(true);
  }
}

void IGraphicsMac::TearDownView(bool contentsToo)
{
  IGraphicsView_vZANIQ_au* view = mView;
  if (!view)
  {
    // A view closed inside one of our calls left the controls and the renderer behind for that call.
    if (contentsToo && std::exchange(mContentsKept, false)) OnViewDestroyed();
    return;
  }
  // Forget the view first: whatever runs from here on (the view leaving its superview, a host reacting to it)
  // finds the editor closed.
  mView = nullptr;
  NSAutoreleasePool pool;
  // A cursor hidden by a drag must not stay hidden for the host once the editor is gone. Only the cursor: the
  // host gestures are the delegate's to end (here it may be inside its own destructor).
  if (GetCursorHidden())
  {
    CGDisplayShowCursor(CGMainDisplayID());
    SetCursorHidden(false);
    mCursorLocked = false;
  }
  view->removeAllToolTips();
  view->detachGraphics();
  view->removeFromSuperview();
  view->release();
  // The render timer is stopped: the renderer can go, unless a call of ours is still on the stack.
  if (contentsToo)
  {
    mContentsKept = false;
    OnViewDestroyed();
  }
  else
    mContentsKept = true;
}

void IGraphicsMac::ForgetView(IGraphicsView_vZANIQ_au* view)
{
  if (mView == view) mView = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------------------------------------------

void* IGraphicsMac::OpenWindow(void* parent)
{
  TearDownView(true);
  CallScope scope(*this);

  auto* view = new IGraphicsView_vZANIQ_au();
  view->initWithIGraphics(this);
  mView = view;

  OnViewInitialized(view->metalLayer());
  if (IGEditorDelegate* dlg = GetDelegate()) dlg->SetGraphicsReady(GetDrawContextReady());
  SetScreenScale(static_cast<float>(NSScreen::mainScreen()->backingScaleFactor()));

  // The rescale and the layout run the plug-in's and the controls' code, which may close the editor (or have the
  // host open it again): an editor gone meanwhile is neither laid out further nor told it is open.
  IGEditorDelegate* dlg = GetDelegate();
  auto stillOpen = [&] { return dlg && mView == view && !IsWindingDown(); };
  if (stillOpen()) dlg->LayoutUI(this);
  UpdateTooltips();
  if (stillOpen()) dlg->OnUIOpen();

  if (parent && mView == view) static_cast<NSView*>(parent)->addSubview(view);
  return mView;
}

void IGraphicsMac::CloseWindow()
{
  // Closed from inside one of our calls (a control's handler, a menu's answer, a value handed to a control): the
  // control on the stack may touch itself until its handler returns, so only the view goes now; the controls and
  // the renderer go with this context.
  TearDownView(!GetLifetime().InScope());
}

void* IGraphicsMac::GetWindow()
{
  return mView;
}

void IGraphicsMac::PlatformResize(bool parentHasResized)
{
  (void)parentHasResized;
  if (IGraphicsView_vZANIQ_au* view = mView)
  {
    NSAnimationContext::beginGrouping();
    NSAnimationContext::currentContext()->setDuration(0.0);
    // The host hears of the new frame here, and may close the editor, open it again or dispose of the plug-in in
    // its answer: the view may be gone when this returns.
    view->setFrameSize(NSMakeSize(std::trunc(static_cast<float>(Width()) * GetDrawScale()),
                                  std::trunc(static_cast<float>(Height()) * GetDrawScale())));
    NSAnimationContext::endGrouping();
    if (mView != view || IsWindingDown()) return;
    // Outside a window the view hears no frame notifications yet: its drawable follows here.
    if (!view->window()) view->frameDidChange(nullptr);
  }
  UpdateTooltips();
}

int IGraphicsMac::GetUIAppearance() const
{
  if (!mView || NSAppKitVersionNumber < NSAppKitVersionNumber10_14) return 0;
  NSAppearance* appearance = mView->effectiveAppearance();
  return appearance && appearance->name() && appearance->name()->isEqualToString(NSAppearanceNameDarkAqua) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse and cursor
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Display coordinates run down from the top of the main display; screen points run up. Without the mouse
// association the move makes no mouse event.
void WarpCursor(CGPoint screen)
{
  const CGDirectDisplayID display = CGMainDisplayID();
  CGAssociateMouseAndMouseCursorPosition(false);
  const double height = static_cast<double>(CGDisplayPixelsHigh(display));
  CGDisplayMoveCursorToPoint(display, CGPointMake(screen.x, height - screen.y));
  CGAssociateMouseAndMouseCursorPosition(true);
}

} // namespace

CGPoint IGraphicsMac::PointToScreen(float x, float y) const
{
  NSPoint p = NSMakePoint(static_cast<double>(x) * GetDrawScale(), static_cast<double>(y) * GetDrawScale());
  if (mView)
  {
    p = mView->convertPoint_toView(p, nullptr);
    if (NSWindow* win = mView->window()) p = win->convertRectToScreen(NSMakeRect(p.x, p.y, 0, 0)).origin;
  }
  return p;
}

void IGraphicsMac::ScreenToPoint(CGPoint screen, float& x, float& y) const
{
  if (!mView)
  {
    x = static_cast<float>(screen.x);
    y = static_cast<float>(screen.y);
    return;
  }
  NSPoint inWindow = screen;
  if (NSWindow* win = mView->window())
    inWindow = win->convertRectFromScreen(NSMakeRect(screen.x, screen.y, 0, 0)).origin;
  const NSPoint p = mView->convertPoint_fromView(inWindow, nullptr);
  x = static_cast<float>(p.x) / GetDrawScale();
  y = static_cast<float>(p.y) / GetDrawScale();
}

void IGraphicsMac::MoveCursorToScreenPoint(CGPoint screen)
{
  WarpCursor(screen);
  StoreCursorPosition();
}

void IGraphicsMac::GetMouseLocation(float& x, float& y) const
{
  ScreenToPoint(NSEvent::mouseLocation(), x, y);
}

void IGraphicsMac::StoreCursorPosition()
{
  const NSPoint screen = NSEvent::mouseLocation();
  mCursorLockPosition = CGPointMake(std::round(screen.x), std::round(screen.y));
  ScreenToPoint(mCursorLockPosition, mLastMouseX, mLastMouseY);
}

void IGraphicsMac::RepositionCursor(float& prevX, float& prevY)
{
  WarpCursor(mCursorLockPosition);
  prevX = mLastMouseX;
  prevY = mLastMouseY;
}

void IGraphicsMac::TrackMousePosition(float x, float y, float& prevX, float& prevY)
{
  if (GetCursorHidden() && mCursorLocked && !mTabletInput)
  {
    RepositionCursor(prevX, prevY);
    return;
  }
  prevX = mLastMouseX = x;
  prevY = mLastMouseY = y;
}

void IGraphicsMac::HideMouseCursor(bool hide, bool lock)
{
  if (hide == GetCursorHidden()) return;
  if (hide)
  {
    StoreCursorPosition();
    CGDisplayHideCursor(CGMainDisplayID());
    mCursorLocked = lock;
  }
  else
  {
    float x = 0.f, y = 0.f;
    RepositionCursor(x, y);
    CGDisplayShowCursor(CGMainDisplayID());
    mCursorLocked = false;
  }
  SetCursorHidden(hide);
}

void IGraphicsMac::MoveMouseCursor(float x, float y)
{
  if (mTabletInput) return;
  MoveCursorToScreenPoint(PointToScreen(x, y));
}

ECursor IGraphicsMac::SetMouseCursor(ECursor cursorType)
{
  if (mView) mView->setMouseCursor(cursorType);
  return IGraphicsVR::SetMouseCursor(cursorType);
}

void IGraphicsMac::ForceEndUserEdit()
{
  if (mView) mView->endUserInput();
}

// ---------------------------------------------------------------------------------------------------------------
// Clipboard and tooltips
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsMac::GetTextFromClipboard(Util_String& str)
{
  NSAutoreleasePool pool;
  NSString* text = NSPasteboard::generalPasteboard()->stringForType(NSStringPboardType);
  if (!text)
  {
    str.Set("");
    return false;
  }
  str.Set(text->UTF8String());
  return true;
}

bool IGraphicsMac::SetTextInClipboard(const char* str)
{
  NSAutoreleasePool pool;
  NSString* text = NSString::stringWithUTF8String(str ? str : "");
  // A text that cannot be copied must not cost the user what the clipboard holds.
  if (!text) return false;
  NSPasteboard* pb = NSPasteboard::generalPasteboard();
  pb->clearContents();
  return pb->setString_forType(text, NSStringPboardType);
}

void IGraphicsMac::UpdateTooltips()
{
  if (!mView) return;
  NSAutoreleasePool pool;
  mView->removeAllToolTips();
  // Switched off, the controls keep their texts but show none.
  if (!TooltipsEnabled()) return;
  // An open in-editor menu covers the controls: their tooltips would show through it.
  if (IControl* popup = GetPopupMenuControl())
    if (static_cast<IPopupMenuControl*>(popup)->GetState() != IPopupMenuControl::kCollapsed) return;
  for (int i = 0; i < NControls(); ++i)
  {
    IControl* c = GetControl(i);
    if (!c || c->IsHidden()) continue;
    const IRECT& r = c->GetRECT();
    if (r.L == 0.f && r.T == 0.f && r.R == 0.f && r.B == 0.f) continue;
    mView->registerToolTip(r);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// UTF-8 where it is valid, else byte by byte; null is empty.
NSString* MakeString(const char* text)
{
  if (!text) text = "";
  NSString* s = NSString::stringWithUTF8String(text);
  return s ? s : NSString::stringWithCString_encoding(text, NSASCIIStringEncoding);
}

} // namespace

EMsgBoxResult IGraphicsMac::ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                           IMsgBoxCompletionHandlerFunc completionHandler)
{
  // An editor or plug-in on its way out opens no new modal loop; the completion belongs to it too.
  if (IsWindingDown()) return kCANCEL;
  ReleaseMouseCapture();
  const MacMsgBox box = GetMacMsgBox(type);
  EMsgBoxResult result = kCANCEL;
  if (box.shown)
  {
    NSAutoreleasePool pool;
    ModalScope modal(*this);
    auto button = [](const char* t) { return t ? NSString::stringWithUTF8String(t) : nullptr; };
    const NSInteger answer =
      NSRunAlertPanel(MakeString(caption), NSString::stringWithUTF8String("%@"), button(box.defaultButton),
                      button(box.alternateButton), button(box.otherButton), MakeString(str));
    // The plug-in went while the alert was up: its completion would reach into what is gone.
    if (!modal.ContextAlive()) return kCANCEL;
    result = answer == NSAlertDefaultReturn     ? box.defaultResult
             : answer == NSAlertAlternateReturn ? box.alternateResult
                                                : box.otherResult;
  }
  if (completionHandler) completionHandler(result);
  return result;
}

void IGraphicsMac::PromptForFile(Util_String& fileName, Util_String& path, EFileAction action, const char* ext)
{
  if (!mView || IsWindingDown())
  {
    fileName.Set("");
    return;
  }
  NSAutoreleasePool pool;
  NSString* directory = path.Get()[0] ? NSString::stringWithUTF8String(path.Get()) : nullptr;
  NSString* file = fileName.Get()[0] ? NSString::stringWithUTF8String(fileName.Get()) : nullptr;
  fileName.Set("");

  NSArray* types = nullptr;
  if (ext && *ext)
  {
    std::vector<NSObject*> list;
    const std::string all = ext;
    size_t start = 0;
    while (start <= all.size())
    {
      const size_t space = all.find(' ', start);
      const std::string one = all.substr(start, space == std::string::npos ? std::string::npos : space - start);
      if (!one.empty())
        if (NSString* s = NSString::stringWithUTF8String(one.c_str())) list.push_back(s);
      if (space == std::string::npos) break;
      start = space + 1;
    }
    types = NSArray::arrayWithObjects_count(list.data(), list.size());
  }

  NSString* chosen = nullptr;
  ModalScope modal(*this);
  if (action == EFileAction::Save)
  {
    NSSavePanel* panel = NSSavePanel::savePanel();
    panel->setAllowedFileTypes(types);
    panel->setAllowsOtherFileTypes(NO);
    panel->setFloatingPanel(YES);
    if (panel->runModalForDirectory_file(directory, file) != NSModalResponseOK || !modal.ContextAlive()) return;
    chosen = panel->URL() ? panel->URL()->path() : nullptr;
  }
  else
  {
    NSOpenPanel* panel = NSOpenPanel::openPanel();
    panel->setCanChooseFiles(YES);
    panel->setCanChooseDirectories(NO);
    panel->setResolvesAliases(YES);
    panel->setFloatingPanel(YES);
    if (panel->runModalForDirectory_file_types(directory, file, types) != NSModalResponseOK || !modal.ContextAlive())
      return;
    NSArray* urls = panel->URLs();
    auto* url = urls ? dynamic_cast<NSURL*>(urls->firstObject()) : nullptr;
    chosen = url ? url->path() : nullptr;
  }
  if (!chosen) return;
  const std::string full = chosen->UTF8String();
  fileName.Set(full.c_str());
  const size_t slash = full.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : full.substr(0, slash);
  path.Set((folder + "/").c_str());
}

void IGraphicsMac::PromptForDirectory(Util_String& dir)
{
  if (IsWindingDown())
  {
    dir.Set("");
    return;
  }
  NSAutoreleasePool pool;
  if (!dir.Get()[0]) dir.Set("~/Desktop");
  NSString* start = NSString::stringWithUTF8String(dir.Get());
  NSOpenPanel* panel = NSOpenPanel::openPanel();
  panel->setTitle(NSString::stringWithUTF8String("Choose a Directory"));
  panel->setCanChooseFiles(NO);
  panel->setCanChooseDirectories(YES);
  panel->setResolvesAliases(YES);
  panel->setCanCreateDirectories(YES);
  if (start) panel->setDirectoryURL(NSURL::fileURLWithPath(start->stringByExpandingTildeInPath()));
  NSString* chosen = nullptr;
  ModalScope modal(*this);
  const bool ok = panel->runModal() == NSModalResponseOK;
  // The strings belong to whoever asked, which may have gone with the context.
  if (!modal.ContextAlive()) return;
  if (ok)
  {
    NSArray* urls = panel->URLs();
    auto* url = urls ? dynamic_cast<NSURL*>(urls->firstObject()) : nullptr;
    chosen = url ? url->path() : nullptr;
  }
  if (chosen)
    dir.Set((std::string(chosen->UTF8String()) + "/").c_str());
  else
    dir.Set("");
}

bool IGraphicsMac::PromptForColor(IColor& color, const char* str, IColorPickerHandlerFunc func)
{
  (void)str;
  if (!mView || IsWindingDown()) return false;
  return mView->promptForColor(color, func);
}

bool IGraphicsMac::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                           const char* errMsgOnFailure)
{
  (void)msgWindowTitle;
  (void)confirmMsg;
  (void)errMsgOnFailure;
  if (!url || IsWindingDown()) return false;
  NSAutoreleasePool pool;
  NSString* text = NSString::stringWithUTF8String(url);
  if (!text) return false;
  NSURL* nsURL = std::strstr(url, "http") ? NSURL::URLWithString(text) : NSURL::fileURLWithPath(text);
  // Nothing was opened: saying so lets the caller tell the user.
  if (!nsURL) return false;
  return NSWorkspace::sharedWorkspace()->openURL(nsURL) == YES;
}

bool IGraphicsMac::RevealPathInExplorerOrFinder(Util_String& path, bool select)
{
  NSAutoreleasePool pool;
  if (!path.Get()[0] || IsWindingDown()) return false;
  NSString* p = NSString::stringWithUTF8String(path.Get());
  if (!p || !NSFileManager::defaultManager()->fileExistsAtPath(p)) return false;
  NSWorkspace* ws = NSWorkspace::sharedWorkspace();
  if (select)
  {
    std::string folder = path.Get();
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : folder.substr(0, slash));
    NSString* f = NSString::stringWithUTF8String(folder.c_str());
    if (!ws->openFile(f)) return false;
    return ws->selectFile_inFileViewerRootedAtPath(p, f) == YES;
  }
  return ws->openFile(p) == YES;
}

// ---------------------------------------------------------------------------------------------------------------
// Platform views, text entry, menus
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsMac::AttachPlatformView(const IRECT& bounds, void* view)
{
  if (!mView || !view) return;
  const IRECT r = ScaleRectOutward(bounds, GetDrawScale());
  auto* nsView = static_cast<NSView*>(view);
  nsView->setFrame(NSMakeRect(r.L, r.T, r.W(), r.H()));
  mView->addSubview(nsView);
}

void IGraphicsMac::RemovePlatformView(void* view)
{
  if (view) static_cast<NSView*>(view)->removeFromSuperview();
}

void IGraphicsMac::CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                           const char* str)
{
  if (!mView || IsWindingDown()) return;
  const IRECT r = ScaleRectOutward(bounds, GetDrawScale());
  mView->createTextEntry(paramIdx, text, str, length, NSMakeRect(r.L, r.T, r.W(), r.H()));
}

IPopupMenu* IGraphicsMac::CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync)
{
  isAsync = false;
  if (!mView || IsWindingDown()) return nullptr;
  const IRECT r = ScaleRectOutward(bounds, GetDrawScale());
  IPopupMenu* chosen = nullptr;
  {
    ModalScope modal(*this);
    chosen = mView->createPopupMenu(menu, NSMakeRect(r.L, r.T, r.W(), r.H()));
    if (!modal.ContextAlive())
    {
      // Deleted under the menu: the caller must not complete the menu through its own members.
      isAsync = true;
      return nullptr;
    }
  }
  if (chosen && chosen->GetFunction()) chosen->ExecFunction();
  return chosen;
}

// ---------------------------------------------------------------------------------------------------------------
// Resources and fonts
// ---------------------------------------------------------------------------------------------------------------

EResourceLocation IGraphicsMac::LocateResource(const char* name, const char* type, Util_String& result,
                                               const char* bundleID, void* pHInstance,
                                               const char* sharedResourcesSubPath)
{
  return plugin::LocateResource(name, type, result, bundleID, pHInstance, sharedResourcesSubPath) ? kAbsolutePath
                                                                                                : kNotFound;
}

PlatformFontPtr IGraphicsMac::LoadPlatformFont(const char* fontID, const char* fileNameOrResID)
{
  return CoreTextFont::FromResource(fontID, fileNameOrResID, GetBundleID(), GetSharedResourcesSubPath());
}

PlatformFontPtr IGraphicsMac::LoadPlatformFont(const char* fontID, void* pData, int dataSize)
{
  return CoreTextFont::FromMemory(fontID, pData, dataSize);
}

PlatformFontPtr IGraphicsMac::LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style)
{
  return CoreTextFont::FromName(fontID, fontName, static_cast<int>(style));
}

void IGraphicsMac::CachePlatformFont(const char* fontID, const PlatformFontPtr& font)
{
  if (font) CacheCoreTextFont(fontID, *font);
}

int IGraphicsMac::GetSystemVersion()
{
  static const int version = [] {
    if (NSAppKitVersionNumber >= NSAppKitVersionNumber10_11) return 0x10B0;
    if (NSAppKitVersionNumber >= 1266) return 0x10A0;
    // Systems before 10.10 say it themselves.
    SInt32 answer = 0;
    return Gestalt(gestaltSystemVersion, &answer) == noErr ? static_cast<int>(answer) : 0x1040;
  }();
  return version;
}

} // namespace plugin::igraphics
