// Open and save panels.
//
// Stand-in: nothing is shown; the answer comes from the kit's script (ZQAppKitScriptFilePanel): OK with paths, or
// cancel. An unscripted panel cancels. Every panel run is recorded with its settings.
#pragma once

#include <AppKit/NSApplication.h>

class NSURL;

class NSSavePanel : public NSObject
{
public:
  NSSavePanel() = default;
  // A new panel (autoreleased).
  static NSSavePanel* savePanel();

  // Extensions without dot (NSStrings); nil or empty: any.
  void setAllowedFileTypes(NSArray* types);
  NSArray* allowedFileTypes() const { return mAllowedTypes; }
  void setAllowsOtherFileTypes(BOOL b) { mAllowsOther = b; }
  BOOL allowsOtherFileTypes() const { return mAllowsOther; }
  void setCanCreateDirectories(BOOL b) { mCanCreateDirectories = b; }
  BOOL canCreateDirectories() const { return mCanCreateDirectories; }
  void setTitle(NSString* title);
  NSString* title() const { return mTitle; }
  void setMessage(NSString* message);
  void setDirectoryURL(NSURL* url);
  NSURL* directoryURL() const { return mDirectoryURL; }
  void setNameFieldStringValue(NSString* name);
  NSString* nameFieldStringValue() const { return mName; }
  void setFloatingPanel(BOOL b) { mFloating = b; }
  BOOL isFloatingPanel() const { return mFloating; }

  // NSModalResponseOK or NSModalResponseCancel.
  virtual NSModalResponse runModal();
  // The same, starting in a folder with a file name (either may be nil).
  NSInteger runModalForDirectory_file(NSString* path, NSString* name);
  // The chosen file (nil before OK). A save panel with allowed types adds the first type as extension when the
  // chosen name has none of them and other types are not allowed.
  NSURL* URL() const;
  // The chosen path (autoreleased), nil before OK.
  NSString* filename() const;

protected:
  ~NSSavePanel() override;
  NSModalResponse Run(bool open, NSArray* types);

  NSArray* mAllowedTypes = nullptr; // retained
  BOOL mAllowsOther = NO, mCanCreateDirectories = YES, mFloating = NO;
  NSString* mTitle = nullptr;       // retained
  NSString* mMessage = nullptr;     // retained
  NSURL* mDirectoryURL = nullptr;   // retained
  NSString* mName = nullptr;        // retained
  std::vector<std::string> mChosen; // paths after OK
};

class NSOpenPanel : public NSSavePanel
{
public:
  NSOpenPanel() = default;
  // A new panel (autoreleased).
  static NSOpenPanel* openPanel();

  void setCanChooseFiles(BOOL b) { mCanChooseFiles = b; }
  BOOL canChooseFiles() const { return mCanChooseFiles; }
  void setCanChooseDirectories(BOOL b) { mCanChooseDirectories = b; }
  BOOL canChooseDirectories() const { return mCanChooseDirectories; }
  void setResolvesAliases(BOOL b) { mResolvesAliases = b; }
  BOOL resolvesAliases() const { return mResolvesAliases; }
  void setAllowsMultipleSelection(BOOL b) { mMultiple = b; }
  BOOL allowsMultipleSelection() const { return mMultiple; }

  NSModalResponse runModal() override;
  // Starting in a folder with a file name and allowed types (each may be nil).
  NSInteger runModalForDirectory_file_types(NSString* path, NSString* name, NSArray* types);
  // The chosen files (autoreleased; empty before OK).
  NSArray* URLs() const;
  NSArray* filenames() const;

private:
  friend struct ZQPanelAccess;
  BOOL mCanChooseFiles = YES, mCanChooseDirectories = NO, mResolvesAliases = YES, mMultiple = NO;
};
