// Run-loop pumping for the harness.

#include "tools/auhost/RunLoop.h"

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cmath>

namespace auhost
{

RunLoopPump::RunLoopPump(ClockMode mode) : mMode(mode), mWasVirtual(ZQCFIsVirtualClock())
{
  ZQCFUseVirtualClock(mode == ClockMode::Virtual);
}

RunLoopPump::~RunLoopPump()
{
  ZQCFUseVirtualClock(mWasVirtual);
}

int RunLoopPump::Pump(double seconds)
{
  if (!std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
  if (mMode == ClockMode::Virtual) return ZQCFAdvanceClock(seconds);
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, seconds, false);
  return 0;
}

} // namespace auhost
