// Opening a plug-in's editor as a macOS host does.

#include "tools/auhost/EditorSession.h"

namespace auhost
{

Status EditorSession::Open(Instance&, double, std::unique_ptr<EditorSession>&)
{
  return Status::Error("editors cannot be opened yet");
}

} // namespace auhost
