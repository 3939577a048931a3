// ZANIQ — editor hooks while the product has no editor: nothing is installed and nothing is shown. The product
// user interface replaces this file.

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
