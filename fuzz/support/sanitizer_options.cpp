// The address sanitizer's settings of every harness, also when a harness is started by hand
// (ASAN_OPTIONS still overrides them).
// Quarantine: freed blocks wait in a 16 MB quarantine before they are reused, which still
// catches a use after free within an input and across many inputs after it. The default 256 MB
// made the harnesses that allocate much per input spend most of their time faulting in and
// clearing fresh pages.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
