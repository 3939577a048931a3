// libFuzzer target: fxp program and fxb bank files, read by both readers.
//
// Promises checked: nothing crashes or reads outside the file; whatever was loaded leaves every parameter finite
// and in range; a program saved afterwards loads again.

#include "fuzz/fuzz_env.h"

using fuzzenv::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  ZANIQ& plug = fuzzenv::Plug();
  static const std::string path = fuzzenv::Home() + "/fuzz.fxp";
  static const std::string saved = fuzzenv::Home() + "/saved.fxp";
  if (!fuzzenv::WriteFile(path, data, size)) return 0;

  (void)plug.LoadProgramFromFXP(path.c_str());
  Check(fuzzenv::ValuesSound(plug));
  (void)plug.LoadBankFromFXB(path.c_str());
  Check(fuzzenv::ValuesSound(plug));

  Check(plug.SaveProgramAsFXP(saved.c_str()));
  Check(plug.LoadProgramFromFXP(saved.c_str()));
  return 0;
}
