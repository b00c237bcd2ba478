// Sanitizer settings built into every test program, so that a test program started by hand
// checks exactly what it checks under CTest. Without sanitizers nothing reads them.
//
// The leak checker follows the dynamic thread-local blocks of loaded libraries; it guesses a
// block's bounds from the bytes before it when the block's address happens to lie 16 bytes
// past a page boundary. The GL driver's blocks live on our heap, where those bytes are an
// allocator header, and the checker then crashes at exit on a bogus range. The blocks hold
// only driver data (suppressed anyway), so that following is switched off.

#define MORVA_SANITIZER_DEFAULTS extern "C" __attribute__((visibility("default"), used)) const char*

MORVA_SANITIZER_DEFAULTS __asan_default_options() { return "intercept_tls_get_addr=0"; }

MORVA_SANITIZER_DEFAULTS __lsan_default_options() { return "suppressions=" MORVA_LSAN_SUPPRESSIONS; }

MORVA_SANITIZER_DEFAULTS __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
