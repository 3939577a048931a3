// Opening a plug-in's editor as a macOS host does, and playing events into its window.

#include "tools/auhost/EditorSession.h"

#include "au/AUEditorInfo.h"
#include "tools/auhost/CfRef.h"
#include "tools/auhost/Instance.h"
#include "tools/auhost/Text.h"

#include <AppKit/AUCocoaUIView.h>
#include <AppKit/AppKit.h>
#include <AppKit/AppKitTesting.h>
#include <AudioToolbox/AudioToolbox.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace auhost
{

namespace
{

// The headless screen the windows live on.
constexpr CGFloat kScreenWidth = 1920;
constexpr CGFloat kScreenHeight = 1080;
// A drag is the button going down, this many moves and the button going up.
constexpr int kDragSteps = 10;

std::string Utf8(const std::u16string& text)
{
  std::string out;
  for (char16_t c : text)
  {
    if (c < 0x80)
      out += static_cast<char>(c);
    else if (c < 0x800)
    {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

NSEventModifierFlags Flags(unsigned modifiers)
{
  NSEventModifierFlags flags = 0;
  if (modifiers & kEditorShift) flags |= NSEventModifierFlagShift;
  if (modifiers & kEditorCtrl) flags |= NSEventModifierFlagControl;
  if (modifiers & kEditorAlt) flags |= NSEventModifierFlagOption;
  if (modifiers & kEditorCmd) flags |= NSEventModifierFlagCommand;
  return flags;
}

std::string CFText(CFStringRef s)
{
  if (!s) return {};
  char buffer[512];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : std::string();
}

// The view factory's class and bundle, as the CocoaUI property names them.
struct CocoaViewSource
{
  CFRef<CFURLRef> bundleURL;
  std::string className;
};

Status ReadCocoaUI(AudioUnit unit, CocoaViewSource& out)
{
  UInt32 size = 0;
  Boolean writable = false;
  OSStatus st = AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, &writable);
  if (st == kAudioUnitErr_InvalidProperty) return Status::Error("the plug-in has no editor (it offers no Cocoa view)");
  if (st != noErr) return Status::FromOS(st, "CocoaUI");
  if (size < sizeof(AudioUnitCocoaViewInfo)) return Status::Error("CocoaUI: the unit names no view class");
  // One bundle and one or more class names; the first class is the one hosts use.
  std::vector<unsigned char> bytes(size);
  st = AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, bytes.data(), &size);
  if (st != noErr) return Status::FromOS(st, "CocoaUI");
  if (size < sizeof(AudioUnitCocoaViewInfo)) return Status::Error("CocoaUI: the unit names no view class");
  AudioUnitCocoaViewInfo info;
  std::memcpy(&info, bytes.data(), sizeof info);
  out.bundleURL = CFRef<CFURLRef>::Adopt(info.mCocoaAUViewBundleLocation);
  const size_t nClasses = (size - offsetof(AudioUnitCocoaViewInfo, mCocoaAUViewClass)) / sizeof(CFStringRef);
  for (size_t i = 0; i < nClasses; ++i)
  {
    CFStringRef name = nullptr;
    std::memcpy(&name, bytes.data() + offsetof(AudioUnitCocoaViewInfo, mCocoaAUViewClass) + i * sizeof(CFStringRef),
                sizeof name);
    if (i == 0) out.className = CFText(name);
    if (name) CFRelease(name);
  }
  if (!out.bundleURL) return Status::Error("CocoaUI: the unit names no bundle");
  if (out.className.empty()) return Status::Error("CocoaUI: the unit names no view class");
  return Status::Ok();
}

class AppKitEditorSession final : public EditorSession
{
public:
  AppKitEditorSession(Instance& unit, double screenScale) : mUnit(unit), mScreenScale(screenScale) {}

  ~AppKitEditorSession() override
  {
    NSAutoreleasePool pool;
    if (mView) (void)CloseEditor();
    if (mWindow)
    {
      mWindow->close();
      mWindow->release();
    }
  }

  // The host path: CocoaUI → bundle → class → factory → view → window.
  Status OpenEditor()
  {
    NSAutoreleasePool pool;
    CocoaViewSource source;
    Status s = ReadCocoaUI(mUnit.Unit(), source);
    if (!s) return s;
    auto bundle = CFRef<CFBundleRef>::Adopt(CFBundleCreate(nullptr, source.bundleURL.Get()));
    if (!bundle || !CFBundleLoadExecutable(bundle.Get()))
      return Status::Error("CocoaUI: the view's bundle cannot be loaded");
    NSString* name = NSString::stringWithUTF8String(source.className.c_str());
    Class cls = name ? NSClassFromString(name) : nullptr;
    if (!cls) return Status::Error("CocoaUI: no class \"" + source.className + "\" in the view's bundle");
    NSObject* object = cls->alloc_init();
    auto* factory = dynamic_cast<AUCocoaUIBase*>(object);
    if (!factory)
    {
      if (object) object->release();
      return Status::Error("CocoaUI: \"" + source.className + "\" is not an Audio Unit view factory");
    }
    // The plug-in reads the main screen's scale as its editor opens.
    ZQAppKitSetMainScreen(kScreenWidth, kScreenHeight, mScreenScale);
    NSView* view = factory->uiViewForAudioUnit_withSize(mUnit.Unit(), NSMakeSize(0, 0));
    if (!view)
    {
      object->release();
      return Status::Error("the plug-in has no editor (its view factory gave no view)");
    }
    view->retain();
    mFactory = object;
    mView = view;

    const NSSize size = view->frame().size;
    if (!mWindow)
      mWindow = ZQAppKitMakeWindow(size.width, size.height, mScreenScale);
    else
      mWindow->setContentSize(size);
    if (!mWindow) return Status::Error("no window for the editor");
    view->setFrameOrigin(NSMakePoint(0, 0));
    mWindow->contentView()->addSubview(view);
    return Status::Ok();
  }

  // The host closes the editor by taking its view out of the window and letting it go.
  Status CloseEditor()
  {
    NSAutoreleasePool pool;
    if (!mView) return Status::Error("the editor is closed already");
    AUEditorInfo info;
    (void)ReadEditorInfo(info); // frames still on the GPU count as presented
    if (CAMetalLayer* layer = ZQAppKitMetalLayer(mWindow)) mPresentedBefore += layer->presentedCount();
    mView->removeFromSuperview();
    mView->release();
    mView = nullptr;
    if (mFactory) mFactory->release();
    mFactory = nullptr;
    return Status::Ok();
  }

  Status Play(const EditorEvent& e) override
  {
    using Kind = EditorEvent::Kind;
    NSAutoreleasePool pool;
    Status s = SettleAlerts();
    if (!s) return s;
    switch (e.kind)
    {
      case Kind::Open:
        if (mView) return Status::Error("the editor is open already");
        return OpenEditor();
      case Kind::Close:
        return CloseEditor();
      case Kind::Menu:
        if (e.menuNone) ZQAppKitScriptMenuDismiss();
        else
        {
          std::string path;
          for (const std::string& item : e.menuPath) path += (path.empty() ? "" : "/") + item;
          ZQAppKitScriptMenuPath(path);
        }
        return Status::Ok();
      case Kind::Alert:
        if (mPendingAlerts == 0) mAlertBase = ZQAppKitAlertRecords().size();
        ++mPendingAlerts;
        ZQAppKitScriptAlert(e.button);
        return Status::Ok();
      default:
        break;
    }

    if (!mView) return Status::Error("the editor is closed: nothing to act on");
    FollowViewSize();
    const double scale = DrawScale();
    const NSSize size = mView->frame().size;
    const double width = size.width / scale, height = size.height / scale;
    auto inside = [&](double x, double y) { return x >= 0 && y >= 0 && x < width && y < height; };
    const bool isMouse = e.kind == Kind::Click || e.kind == Kind::RightClick || e.kind == Kind::DoubleClick ||
                         e.kind == Kind::Move || e.kind == Kind::Drag || e.kind == Kind::Wheel;
    if (isMouse && !inside(e.x, e.y))
      return Status::Error(FormatNumber(e.x) + "," + FormatNumber(e.y) + " is outside the editor (" +
                           FormatNumber(width) + " x " + FormatNumber(height) + ")");

    const NSEventModifierFlags flags = Flags(e.modifiers);
    const NSPoint p = ToWindowView(e.x, e.y, scale);
    switch (e.kind)
    {
      case Kind::Click: ZQAppKitClick(mWindow, p, flags, 1, false); break;
      case Kind::RightClick: ZQAppKitClick(mWindow, p, flags, 1, true); break;
      case Kind::DoubleClick:
        ZQAppKitClick(mWindow, p, flags, 1, false);
        ZQAppKitClick(mWindow, p, flags, 2, false);
        break;
      case Kind::Move: ZQAppKitMouseEvent(mWindow, NSEventTypeMouseMoved, p, flags); break;
      case Kind::Drag:
      {
        ZQAppKitMouseEvent(mWindow, NSEventTypeLeftMouseDown, p, flags);
        // Real motion: each step moves from wherever the cursor is now, so a locked cursor sees hand deltas.
        const CGFloat dx = (e.x2 - e.x) * scale / kDragSteps, dy = (e.y2 - e.y) * scale / kDragSteps;
        for (int i = 0; i < kDragSteps && mView; ++i) ZQAppKitMouseMotion(mWindow, NSEventTypeLeftMouseDragged, dx, dy, flags);
        if (mView) ZQAppKitMouseEvent(mWindow, NSEventTypeLeftMouseUp, ToWindowView(e.x2, e.y2, scale), flags);
        break;
      }
      case Kind::Wheel: ZQAppKitScroll(mWindow, p, e.delta, flags); break;
      case Kind::Key:
      case Kind::Text:
        for (const EditorKey& k : e.keys)
        {
          NSEventModifierFlags keyFlags = Flags(k.modifiers);
          if (k.numericPad) keyFlags |= NSEventModifierFlagNumericPad;
          if (k.function) keyFlags |= NSEventModifierFlagFunction;
          const std::string chars = Utf8(k.characters), plain = Utf8(k.charactersIgnoringModifiers);
          ZQAppKitKeyEvent(mWindow, NSEventTypeKeyDown, k.keyCode, chars.c_str(), plain.c_str(), keyFlags);
          ZQAppKitKeyEvent(mWindow, NSEventTypeKeyUp, k.keyCode, chars.c_str(), plain.c_str(), keyFlags);
        }
        break;
      case Kind::Resize:
      {
        const NSSize newSize = NSMakeSize(std::trunc(e.x * scale), std::trunc(e.y * scale));
        mWindow->setContentSize(newSize);
        mView->setFrameSize(newSize);
        break;
      }
      default: break;
    }
    return CheckScript();
  }

  Status Snapshot(const std::string& file) override
  {
    NSAutoreleasePool pool;
    if (!mView) return Status::Error("the editor is closed: no frame to save");
    // Reading the editor information lets the frames still on the GPU reach the window.
    AUEditorInfo info;
    (void)ReadEditorInfo(info);
    CAMetalLayer* layer = ZQAppKitMetalLayer(mWindow);
    if (!layer || layer->presentedCount() == 0) return Status::Error("the editor has presented no frame yet");
    if (!ZQAppKitSaveFrame(mWindow, file.c_str())) return Status::Error("cannot write \"" + file + "\"");
    return Status::Ok();
  }

  Status CheckScript() override
  {
    const auto& errors = ZQAppKitScriptErrors();
    if (errors.size() <= mErrorsSeen) return Status::Ok();
    mErrorsSeen = errors.size();
    return Status::Error(errors.back());
  }

  Status CheckAnswersUsed() override
  {
    Status s = CheckScript();
    if (!s) return s;
    const size_t menus = ZQAppKitPendingMenuAnswers();
    if (menus > 0)
      return Status::Error(std::to_string(menus) + " menu answer" + (menus == 1 ? " was" : "s were") +
                           " never used: no native menu opened for " + (menus == 1 ? "it" : "them"));
    s = SettleAlerts();
    if (!s) return s;
    // Answers are used in order: those past the alerts that came are the unused ones.
    const size_t unused = mPendingAlerts - std::min(mPendingAlerts, ZQAppKitAlertRecords().size() - mAlertBase);
    if (unused > 0)
      return Status::Error(std::to_string(unused) + " alert answer" + (unused == 1 ? " was" : "s were") +
                           " never used: no alert came for " + (unused == 1 ? "it" : "them"));
    return Status::Ok();
  }

  EditorReport Report() override
  {
    EditorReport r;
    r.screenScale = mScreenScale;
    r.framesPresented = mPresentedBefore;
    AUEditorInfo info = {};
    if (ReadEditorInfo(info) && info.open)
    {
      r.drawScale = info.drawScale;
      r.screenScale = info.screenScale;
      r.controls = info.nControls;
      r.width = info.width;
      r.height = info.height;
    }
    if (mView)
    {
      r.open = true;
      const double scale = r.drawScale > 0 ? r.drawScale : 1.0;
      r.width = mView->frame().size.width / scale;
      r.height = mView->frame().size.height / scale;
      if (CAMetalLayer* layer = ZQAppKitMetalLayer(mWindow)) r.framesPresented += layer->presentedCount();
    }
    return r;
  }

private:
  bool ReadEditorInfo(AUEditorInfo& info) const
  {
    UInt32 size = sizeof info;
    return AudioUnitGetProperty(mUnit.Unit(), kAUProperty_EditorInfo, kAudioUnitScope_Global, 0, &info, &size) ==
             noErr &&
           size == sizeof info;
  }

  // The editor's zoom, from the plug-in when it says; else 1.
  double DrawScale() const
  {
    AUEditorInfo info = {};
    if (ReadEditorInfo(info) && info.open && std::isfinite(info.drawScale) && info.drawScale > 0.f)
      return info.drawScale;
    return 1.0;
  }

  // A plug-in that resized its view has the window follow, as a host watching the view's frame does.
  void FollowViewSize()
  {
    const NSSize size = mView->frame().size;
    const NSSize content = mWindow->contentView()->frame().size;
    if (size.width != content.width || size.height != content.height)
    {
      mWindow->setContentSize(size);
      mView->setFrameOrigin(NSMakePoint(0, 0));
    }
  }

  // Editor units to the window content view's coordinates.
  NSPoint ToWindowView(double x, double y, double scale) const
  {
    return mWindow->contentView()->convertPoint_fromView(NSMakePoint(x * scale, y * scale), mView);
  }

  // Alert answers are used in order as alerts come; once every one set is used none is pending.
  Status SettleAlerts()
  {
    if (mPendingAlerts == 0) return Status::Ok();
    const size_t shown = ZQAppKitAlertRecords().size() - mAlertBase;
    if (shown >= mPendingAlerts) mPendingAlerts = 0;
    return Status::Ok();
  }

  Instance& mUnit;
  double mScreenScale;
  NSWindow* mWindow = nullptr;
  NSObject* mFactory = nullptr; // the view factory instance, owned
  NSView* mView = nullptr;      // retained while open
  uint64_t mPresentedBefore = 0; // frames of views already closed
  size_t mPendingAlerts = 0;
  size_t mAlertBase = 0;
  size_t mErrorsSeen = 0; // script errors already reported
};

} // namespace

Status EditorSession::Open(Instance& unit, double screenScale, std::unique_ptr<EditorSession>& out)
{
  ZQAppKitReset();
  auto session = std::make_unique<AppKitEditorSession>(unit, screenScale);
  Status s = session->OpenEditor();
  if (!s) return s;
  out = std::move(session);
  return Status::Ok();
}

} // namespace auhost
