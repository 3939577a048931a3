// fontconfig (behind the CoreText stand-in's family lookups) loses a few bytes while it parses its configuration
// files, once per process. That is not ours to fix; LeakSanitizer is told to look away from it alone.
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libfontconfig.so\n";
}
