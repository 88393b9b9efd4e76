// What each program of the project built with mingw-w64 carries in its image
// besides its own code; orvanta_windows_program adds this file to it.
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
// The library's default terminate handler writes the uncaught exception's
// demangled type to stderr, which a GUI program has not: this one keeps the
// demangler and stdio out of the image (about 70 KB). The failure region
// catches every exception, so only a broken invariant ends up here.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }
#endif
