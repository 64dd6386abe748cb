// In ThreadSanitizer builds a data race ends the process that saw it, so
// that the validator reports it as that check's failure (TSAN_OPTIONS
// still overrides this).
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options() {
  return "halt_on_error=1";
}
