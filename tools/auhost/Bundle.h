#pragma once

// Loading an Audio Unit bundle folder the way a host does: Contents/Info.plist through CFBundle, its
// AudioComponents entries (type, subtype, manufacturer, name, version, factoryFunction), the executable
// Contents/MacOS/<CFBundleExecutable> loaded into the process, and each entry's factory registered with
// AudioComponentRegister so that AudioComponentInstanceNew can open it.

#include "tools/auhost/Status.h"

#include <AudioToolbox/AudioToolbox.h>

#include <memory>
#include <string>
#include <vector>

namespace auhost
{

// One AudioComponents entry, registered with the platform.
struct ComponentEntry
{
  AudioComponentDescription desc = {};
  std::string name;            // "name"; may be empty
  std::string description;     // "description"; may be empty
  std::string factoryFunction; // "factoryFunction"
  UInt32 version = 0;          // "version"; 0 when absent
  AudioComponentFactoryFunction factory = nullptr;
  AudioComponent component = nullptr;
};

class Bundle
{
public:
  // [main thread] Loads the folder (e.g. "build/tests/TestGain.component"). Every entry must have a four-character
  // type, subtype and manufacturer and a factory the executable exports. Loading the same folder again returns
  // the same object: executables stay loaded and registrations last for the process, as on the platform.
  // Failure: one line naming the folder and what is wrong.
  static Status Load(const std::string& folder, std::shared_ptr<const Bundle>& out);

  Bundle(const Bundle&) = delete;
  Bundle& operator=(const Bundle&) = delete;

  // The folder as given to Load.
  const std::string& Path() const { return mPath; }
  // CFBundleIdentifier; "" when absent.
  std::string Identifier() const;
  // The entries in Info.plist order (at least one).
  const std::vector<ComponentEntry>& Components() const { return mComponents; }
  const ComponentEntry& Main() const { return mComponents.front(); }
  // [main thread] An exported function of the executable (e.g. the Component Manager entry), null when it is not
  // exported.
  void* Symbol(const char* name) const;
  CFBundleRef GetCFBundle() const { return mBundle; }

private:
  Bundle() = default;
  Status LoadFolder(const std::string& folder);

  std::string mPath;
  CFBundleRef mBundle = nullptr; // kept for the process, like the loaded executable
  std::vector<ComponentEntry> mComponents;
};

// "aufx 'TGan' 'ZqTs'" for a description.
std::string DescribeComponent(const AudioComponentDescription& desc);

} // namespace auhost
