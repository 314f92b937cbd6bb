// What ships is built without exceptions (the program catches none: any exception ends it). The C++
// library still reports its failures (a string or vector longer than its maximum, memory
// exhausted) through these functions, whose own definitions throw and so bring in the library's
// exception classes, its copy-on-write strings and its random device: about 40 KB. These end the
// program as the uncaught exception would, through abort.

#include <cstdlib>

namespace std {

[[noreturn]] void __throw_bad_alloc() {
    abort();
}
[[noreturn]] void __throw_bad_array_new_length() {
    abort();
}
[[noreturn]] void __throw_length_error(const char*) {
    abort();
}
[[noreturn]] void __throw_logic_error(const char*) {
    abort();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
    abort();
}

} // namespace std

namespace __gnu_cxx {

// The library's handler writes the exception's demangled name to stderr, which a program without
// a console does not have, and brings in the demangler (46 KB).
[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
