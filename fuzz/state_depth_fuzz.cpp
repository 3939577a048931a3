// libFuzzer target: the nesting scan that keeps deep documents from TinyXML, checked against TinyXML itself, and
// the state restore behind it where a host runs it: on a thread with a small stack.
//
// The input is the document text. Promises checked: for either reading (state chunks detect the encoding,
// preset files are read byte by byte), a text the scan lets through never nests deeper in the tree TinyXML
// builds than the scan said; the text framed as the product frames its state, restored on a thread with a
// 128 KB stack and read there as a preset document, returns the frame's end and leaves every parameter sound.
// (A restore on the 8 MB main thread survives documents nested thousands of levels deep: only a small stack
// shows a scan that counts too low, and only the comparison shows it before the stack runs out.)

#include "fuzz/fuzz_env.h"

#include "engine/XMLNesting.h"
#include "tests/engine/support/tinyxml_depth.h"

#include <tinyxml.h>

#include <pthread.h>

#include <algorithm>
#include <utility>

using fuzzenv::Check;

namespace
{

using xmldepth::TinyXMLDepth;

constexpr size_t kHostStackBytes = 128 * 1024;
constexpr int kLimit = 64;

// text in the state chunk's frame: "RIFF", size A, 1, "QVCM", "QVCS", size B, 1, L, the text, a pad when odd.
plugin::IByteChunk Framed(const std::string& text)
{
  const uint32_t length = uint32_t(text.size()), pad = length & 1;
  std::string bytes;
  const auto word = [&bytes](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += char(v >> (8 * i));
  };
  bytes += "RIFF";
  word(length + 24 + pad);
  word(1);
  bytes += "QVCMQVCS";
  word(length + 8);
  word(1);
  word(length);
  bytes += text;
  if (pad) bytes += '\0';
  plugin::IByteChunk chunk;
  (void)chunk.PutBytes(bytes.data(), int(bytes.size()));
  return chunk;
}

// Runs body on a new thread with a stack of kHostStackBytes and waits for it.
template <typename Body>
void OnHostStack(Body& body)
{
  pthread_attr_t attr;
  Check(pthread_attr_init(&attr) == 0);
  Check(pthread_attr_setstacksize(&attr, kHostStackBytes) == 0);
  pthread_t thread;
  const auto run = [](void* p) -> void* {
    (*static_cast<Body*>(p))();
    return nullptr;
  };
  Check(pthread_create(&thread, &attr, run, &body) == 0);
  pthread_attr_destroy(&attr);
  Check(pthread_join(thread, nullptr) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  // Both readers end the text at its first zero byte.
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (bool detect : {false, true})
  {
    const int scanned = MeasureXMLNesting(text.c_str(), kLimit, detect);
    if (scanned >= 0 && scanned <= kLimit) Check(TinyXMLDepth(text, detect) <= scanned);
  }

  ZANIQ& plug = fuzzenv::Plug();
  const plugin::IByteChunk chunk = Framed(text);
  int result = 0;
  auto restore = [&] {
    result = plug.UnserializeState(chunk, 0);
    PresetXMLTree tree;
    (void)tree.Parse(text.c_str(), true);
  };
  OnHostStack(restore);
  Check(result == chunk.Size());
  Check(fuzzenv::ValuesSound(plug));
  return 0;
}
