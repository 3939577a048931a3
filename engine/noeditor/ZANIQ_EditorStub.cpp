// ZANIQ — editor hooks for builds without the product's editor (engine tests, benchmarks, fuzz targets): nothing
// is installed and nothing is shown. The product links the real ones from ui/.

#include "engine/ZANIQ.h"

void ZANIQ::InitPlugControls() {}

void ZANIQ::EnableModeControls(bool disable)
{
  (void)disable;
}

void ZANIQ::UpdateMeterDisplays() {}

void ZANIQ::UpdateControlLayout() {}

void ZANIQ::SetLinkMenuMode(int mode)
{
  (void)mode;
}

bool ZANIQ::GetControlPress(int tag, EPressControl kind, ControlPress& press) const
{
  (void)tag;
  (void)kind;
  (void)press;
  return false;
}
