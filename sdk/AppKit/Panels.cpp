// AppKit stand-in: alert panels, open and save panels, the workspace, the pasteboard and application-level
// calls. Panels answer from the test kit's script and are recorded.

#include <AppKit/AppKit_p.h>

#include <algorithm>
#include <cstdarg>
#include <sys/stat.h>

using zqak::Assign;
using zqak::S;
using zqak::UTF8;

namespace
{
double gAppKitVersion = zqak::kAppKitVersion;
}

const double& NSAppKitVersionNumber = gAppKitVersion;

void ZQAppKitSetVersionNumber(double version)
{
  gAppKitVersion = version;
}

NSString* const NSPasteboardTypeString = NSString::alloc_initWithUTF8String("public.utf8-plain-text");
NSString* const NSStringPboardType = NSPasteboardTypeString;
NSString* const NSFilenamesPboardType = NSString::alloc_initWithUTF8String("NSFilenamesPboardType");
NSString* const NSPasteboardTypeFileURL = NSString::alloc_initWithUTF8String("public.file-url");

BOOL NSApplicationLoad()
{
  return YES;
}

// ---------------------------------------------------------------------------------------------------------------
// NSAnimationContext
// ---------------------------------------------------------------------------------------------------------------

void NSAnimationContext::beginGrouping() {}
void NSAnimationContext::endGrouping() {}

NSAnimationContext* NSAnimationContext::currentContext()
{
  static NSAnimationContext* context = new NSAnimationContext();
  return context;
}

void NSAnimationContext::runAnimationGroup_completionHandler(std::function<void(NSAnimationContext*)> changes,
                                                             std::function<void()> completion)
{
  beginGrouping();
  if (changes) changes(currentContext());
  endGrouping();
  if (completion) completion();
}

// ---------------------------------------------------------------------------------------------------------------
// Alerts
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The 0-based button the script picks among count buttons (recording a bad answer), 0 when unscripted.
int ScriptedButton(size_t count)
{
  if (S().alertAnswers.empty()) return 0;
  zqak::AlertAnswer answer = std::move(S().alertAnswers.front());
  S().alertAnswers.pop_front();
  // Taken off the queue first: what runs under the open alert may script (and show) alerts of its own.
  if (answer.whileOpen) answer.whileOpen();
  const int n = answer.button;
  if (n < 1 || static_cast<size_t>(n) > count)
  {
    S().errors.push_back("alert has no button " + std::to_string(n));
    return 0;
  }
  return n - 1;
}

} // namespace

NSInteger NSRunAlertPanel(NSString* title, NSString* msgFormat, NSString* defaultButton, NSString* alternateButton,
                          NSString* otherButton, ...)
{
  NSAutoreleasePool pool;
  std::string message;
  const std::string format = UTF8(msgFormat);
  va_list ap;
  va_start(ap, otherButton);
  for (size_t i = 0; i < format.size(); ++i)
  {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@')
    {
      NSObject* arg = va_arg(ap, NSObject*);
      message += arg ? UTF8(arg->description()) : "(null)";
      ++i;
    }
    else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%')
    {
      message += '%';
      ++i;
    }
    else
      message += format[i];
  }
  va_end(ap);

  // Buttons shown, with what each answers.
  std::vector<std::pair<std::string, NSInteger>> buttons;
  buttons.emplace_back(defaultButton ? UTF8(defaultButton) : "OK", NSAlertDefaultReturn);
  if (alternateButton) buttons.emplace_back(UTF8(alternateButton), NSAlertAlternateReturn);
  if (otherButton) buttons.emplace_back(UTF8(otherButton), NSAlertOtherReturn);
  ZQAlertRecord record;
  record.title = UTF8(title);
  record.message = message;
  for (auto& b : buttons) record.buttons.push_back(b.first);
  const int pick = ScriptedButton(buttons.size());
  record.button = pick + 1;
  S().alerts.push_back(record);
  return buttons[static_cast<size_t>(pick)].second;
}

NSAlert::~NSAlert()
{
  if (mMessage) mMessage->release();
  if (mInformative) mInformative->release();
}

void NSAlert::setMessageText(NSString* text)
{
  Assign(mMessage, text);
}

void NSAlert::setInformativeText(NSString* text)
{
  Assign(mInformative, text);
}

void NSAlert::addButtonWithTitle(NSString* title)
{
  mButtons.push_back(UTF8(title));
}

NSModalResponse NSAlert::runModal()
{
  ZQAlertRecord record;
  record.title = UTF8(mMessage);
  record.message = UTF8(mInformative);
  record.buttons = mButtons.empty() ? std::vector<std::string>{"OK"} : mButtons;
  const int pick = ScriptedButton(record.buttons.size());
  record.button = pick + 1;
  S().alerts.push_back(record);
  return NSAlertFirstButtonReturn + pick;
}

// ---------------------------------------------------------------------------------------------------------------
// Open and save panels
// ---------------------------------------------------------------------------------------------------------------

namespace
{

std::vector<std::string> Strings(NSArray* array)
{
  std::vector<std::string> out;
  for (NSUInteger i = 0; array && i < array->count(); ++i)
    if (auto* s = dynamic_cast<NSString*>(array->objectAtIndex(i))) out.push_back(s->UTF8String());
  return out;
}

std::string Extension(const std::string& path)
{
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) return {};
  return path.substr(dot + 1);
}

} // namespace

NSSavePanel* NSSavePanel::savePanel()
{
  return static_cast<NSSavePanel*>((new NSSavePanel())->autorelease());
}

NSSavePanel::~NSSavePanel()
{
  if (mAllowedTypes) mAllowedTypes->release();
  if (mTitle) mTitle->release();
  if (mMessage) mMessage->release();
  if (mDirectoryURL) mDirectoryURL->release();
  if (mName) mName->release();
}

void NSSavePanel::setAllowedFileTypes(NSArray* types) { Assign(mAllowedTypes, types); }
void NSSavePanel::setTitle(NSString* title) { Assign(mTitle, title); }
void NSSavePanel::setMessage(NSString* message) { Assign(mMessage, message); }
void NSSavePanel::setDirectoryURL(NSURL* url) { Assign(mDirectoryURL, url); }
void NSSavePanel::setNameFieldStringValue(NSString* name) { Assign(mName, name); }

NSModalResponse NSSavePanel::Run(bool open, NSArray* types)
{
  ZQFilePanelRecord r;
  r.open = open;
  r.title = UTF8(mTitle);
  r.directory = mDirectoryURL ? UTF8(mDirectoryURL->path()) : "";
  r.file = UTF8(mName);
  r.allowedTypes = Strings(types ? types : mAllowedTypes);
  r.canCreateDirectories = mCanCreateDirectories;
  r.allowsOtherFileTypes = mAllowsOther;
  r.floating = mFloating;
  if (auto* o = dynamic_cast<NSOpenPanel*>(this))
  {
    r.canChooseFiles = o->canChooseFiles();
    r.canChooseDirectories = o->canChooseDirectories();
    r.resolvesAliases = o->resolvesAliases();
  }
  mChosen.clear();
  if (!S().panelAnswers.empty())
  {
    zqak::FilePanelAnswer a = std::move(S().panelAnswers.front());
    S().panelAnswers.pop_front();
    // Taken off the queue first: what runs under the open panel may script (and show) panels of its own.
    if (a.whileOpen) a.whileOpen();
    if (a.ok && a.paths.empty()) S().errors.push_back("file panel answered OK without a path");
    else if (a.ok)
    {
      r.ok = true;
      mChosen = open ? a.paths : std::vector<std::string>{a.paths.front()};
      if (!open && !r.allowedTypes.empty() && !mAllowsOther)
      {
        const std::string ext = Extension(mChosen[0]);
        if (std::find(r.allowedTypes.begin(), r.allowedTypes.end(), ext) == r.allowedTypes.end())
          mChosen[0] += "." + r.allowedTypes.front();
      }
      r.paths = mChosen;
    }
  }
  S().panels.push_back(r);
  return r.ok ? NSModalResponseOK : NSModalResponseCancel;
}

NSModalResponse NSSavePanel::runModal()
{
  return Run(false, nullptr);
}

NSInteger NSSavePanel::runModalForDirectory_file(NSString* path, NSString* name)
{
  if (path) setDirectoryURL(NSURL::fileURLWithPath(path));
  if (name) setNameFieldStringValue(name);
  return runModal();
}

NSURL* NSSavePanel::URL() const
{
  if (mChosen.empty()) return nullptr;
  return NSURL::fileURLWithPath(NSString::stringWithUTF8String(mChosen.front().c_str()));
}

NSString* NSSavePanel::filename() const
{
  return mChosen.empty() ? nullptr : NSString::stringWithUTF8String(mChosen.front().c_str());
}

NSOpenPanel* NSOpenPanel::openPanel()
{
  return static_cast<NSOpenPanel*>((new NSOpenPanel())->autorelease());
}

NSModalResponse NSOpenPanel::runModal()
{
  return Run(true, nullptr);
}

NSInteger NSOpenPanel::runModalForDirectory_file_types(NSString* path, NSString* name, NSArray* types)
{
  if (path) setDirectoryURL(NSURL::fileURLWithPath(path));
  if (name) setNameFieldStringValue(name);
  return Run(true, types);
}

NSArray* NSOpenPanel::URLs() const
{
  std::vector<NSObject*> urls;
  for (const std::string& p : mChosen)
    if (NSURL* u = NSURL::fileURLWithPath(NSString::stringWithUTF8String(p.c_str()))) urls.push_back(u);
  return NSArray::arrayWithObjects_count(urls.data(), urls.size());
}

NSArray* NSOpenPanel::filenames() const
{
  std::vector<NSObject*> names;
  for (const std::string& p : mChosen)
    if (NSString* s = NSString::stringWithUTF8String(p.c_str())) names.push_back(s);
  return NSArray::arrayWithObjects_count(names.data(), names.size());
}

// ---------------------------------------------------------------------------------------------------------------
// NSWorkspace
// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool Exists(const std::string& path)
{
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

BOOL Answer(ZQWorkspaceRequest r, bool byDefault)
{
  r.answer = S().workspaceAnswer < 0 ? byDefault : S().workspaceAnswer > 0;
  S().workspace.push_back(r);
  return r.answer ? YES : NO;
}

} // namespace

NSWorkspace* NSWorkspace::sharedWorkspace()
{
  static NSWorkspace* workspace = new NSWorkspace();
  return workspace;
}

BOOL NSWorkspace::openURL(NSURL* url)
{
  if (!url) return NO;
  ZQWorkspaceRequest r{"openURL", UTF8(url->absoluteString()), "", false};
  const bool ok = url->isFileURL() ? Exists(UTF8(url->path())) : !UTF8(url->scheme()).empty();
  return Answer(r, ok);
}

BOOL NSWorkspace::openFile(NSString* path)
{
  if (!path) return NO;
  return Answer(ZQWorkspaceRequest{"openFile", UTF8(path), "", false}, Exists(UTF8(path)));
}

BOOL NSWorkspace::selectFile_inFileViewerRootedAtPath(NSString* fullPath, NSString* rootFullPath)
{
  return Answer(ZQWorkspaceRequest{"selectFile", UTF8(fullPath), UTF8(rootFullPath), false}, Exists(UTF8(fullPath)));
}

// ---------------------------------------------------------------------------------------------------------------
// NSPasteboard
// ---------------------------------------------------------------------------------------------------------------

NSPasteboard* NSPasteboard::generalPasteboard()
{
  static NSPasteboard* board = new NSPasteboard();
  return board;
}

NSPasteboard* NSPasteboard::pasteboardWithUniqueName()
{
  return static_cast<NSPasteboard*>((new NSPasteboard())->autorelease());
}

NSPasteboard::~NSPasteboard()
{
  clearContents();
}

NSInteger NSPasteboard::clearContents()
{
  std::vector<Entry> old;
  old.swap(mEntries);
  for (Entry& e : old)
    if (e.value) e.value->release();
  return ++mChangeCount;
}

NSInteger NSPasteboard::declareTypes_owner(NSArray* newTypes, NSObject*)
{
  clearContents();
  for (const std::string& t : Strings(newTypes)) mEntries.push_back(Entry{t, nullptr});
  return mChangeCount;
}

NSArray* NSPasteboard::types() const
{
  std::vector<NSObject*> names;
  for (const Entry& e : mEntries) names.push_back(NSString::stringWithUTF8String(e.type.c_str()));
  return NSArray::arrayWithObjects_count(names.data(), names.size());
}

BOOL NSPasteboard::setString_forType(NSString* string, NSString* type)
{
  if (!string) return NO;
  return setPropertyList_forType(NSString::stringWithString(string), type);
}

NSString* NSPasteboard::stringForType(NSString* type) const
{
  return dynamic_cast<NSString*>(propertyListForType(type));
}

BOOL NSPasteboard::setPropertyList_forType(NSObject* plist, NSString* type)
{
  if (!plist || !type) return NO;
  const std::string name = type->UTF8String();
  plist->retain();
  for (Entry& e : mEntries)
    if (e.type == name)
    {
      if (e.value) e.value->release();
      e.value = plist;
      return YES;
    }
  mEntries.push_back(Entry{name, plist});
  return YES;
}

NSObject* NSPasteboard::propertyListForType(NSString* type) const
{
  if (!type) return nullptr;
  for (const Entry& e : mEntries)
    if (e.type == type->UTF8String()) return e.value;
  return nullptr;
}

NSString* NSPasteboard::availableTypeFromArray(NSArray* types) const
{
  for (NSUInteger i = 0; types && i < types->count(); ++i)
    if (auto* s = dynamic_cast<NSString*>(types->objectAtIndex(i)))
      for (const Entry& e : mEntries)
        if (e.type == s->UTF8String()) return s;
  return nullptr;
}
