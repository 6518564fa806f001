// Built into every program of a sanitizer build (and only there): the
// runtime options it starts with, before any from the environment.
//
// The leak checker stops the world at exit and reads each thread's dynamic
// thread-local blocks; GCC's runtime (up to 13) takes a block that merely
// lies at a certain offset in its page for one with a header of glibc before
// 2.25, reads the words before it as that header, and now and then crashes
// there, reporting no leak ("Tracer caught signal 11"), once GDAL's
// libraries are loaded. Without intercepting __tls_get_addr it keeps no such
// record.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
