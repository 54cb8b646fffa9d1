// Sanitizer defaults of the view tests. The OpenGL driver these tests load keeps dynamic
// thread-local storage, and the leak checker of our compiler's runtime misreads the dynamic TLS
// table of this C library at exit (it crashes while suspending the threads, after every test
// passed, depending on the process's memory layout). Not tracking __tls_get_addr keeps the leak
// check itself; only blocks referenced from the driver's dynamic TLS go unscanned.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
