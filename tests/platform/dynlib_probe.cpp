// A tiny shared library for the dynamic loading tests.
extern "C" __attribute__((visibility("default"))) int ProbeAnswer() { return 42; }
