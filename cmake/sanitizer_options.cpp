// Linked into every program of a sanitizer build. LeakSanitizer's scan of the thread-local
// storage of libraries loaded at run time misreads this C library's layout and its tracer dies
// with signal 11 at exit, failing a test that passed; the interception that scan relies on is
// turned off. ASAN_OPTIONS set in the environment still override it.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
