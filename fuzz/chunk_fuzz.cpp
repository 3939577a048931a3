// libFuzzer target: the host state chunk reader (ZANIQ::UnserializeState) and the document parser behind it.
//
// Promises checked: the result is one of the positions the reader defines (the start, -1, start + 12, 16 or 28,
// or a frame end inside the chunk); a refused chunk changes no parameter; whatever was read leaves every
// parameter finite and in range; the state written afterwards reads back whole.

#include "fuzz/fuzz_env.h"

using fuzzenv::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  ZANIQ& plug = fuzzenv::Plug();

  plugin::IByteChunk chunk;
  (void)chunk.PutBytes(data, static_cast<int>(size));
  // The first byte also picks a start position inside the chunk, as when the state follows other data.
  const int start = size > 0 ? data[0] % 8 : 0;
  for (int pos : {0, start})
  {
    const std::vector<double> before = fuzzenv::Values(plug);
    const int result = plug.UnserializeState(chunk, pos);
    const bool framed = result > pos + 28 && result <= chunk.Size();
    Check(result == pos || result == -1 || result == pos + 12 || result == pos + 16 || result == pos + 28 || framed);
    if (!framed) Check(fuzzenv::Values(plug) == before);
    Check(fuzzenv::ValuesSound(plug));
  }

  plugin::IByteChunk again;
  Check(plug.SerializeState(again));
  Check(plug.UnserializeState(again, 0) == again.Size());
  return 0;
}
