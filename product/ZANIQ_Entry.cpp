// The component's two exported entry points, ZANIQ_Factory and ZANIQ_Entry.

#include "au/PluginAU_Entry.h"
#include "engine/ZANIQ.h"

ZANIQ_AU_ENTRY(ZANIQ, ZANIQ_Factory, ZANIQ_Entry)
