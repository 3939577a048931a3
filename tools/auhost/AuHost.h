#pragma once

// The host harness: everything a test or tool needs to load, configure, render and chain Audio Unit bundles.

#include "tools/auhost/AudioData.h"
#include "tools/auhost/Bundle.h"
#include "tools/auhost/CfRef.h"
#include "tools/auhost/Info.h"
#include "tools/auhost/Instance.h"
#include "tools/auhost/Render.h"
#include "tools/auhost/RunLoop.h"
#include "tools/auhost/Status.h"
