// Linked into the tests of the ThreadSanitizer build: the sanitizer reads its
// suppressions from the file beside this one.
extern "C" const char* __tsan_default_options() {
  return "suppressions=" TESSALY_TSAN_SUPPRESSIONS;
}
