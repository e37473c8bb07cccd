// Forced into every source of the Linux programs (-include, see cmake/Hardening.cmake), before
// anything else: fortifies glibc's string and memory functions at TOLVENIX_FORTIFY_LEVEL when,
// and only when, the compiler optimises, which is when glibc's headers check at all. Decided
// here, by __OPTIMIZE__, rather than by the build type's name: an -O2 may come in CXXFLAGS,
// which CMake does not read, and a build may have no type at all. Any level the compiler or
// the command line defined before (Ubuntu's gcc defines 3 when optimising, dpkg-buildflags
// passes 2) is replaced, so that redefining it is no warning.
#undef _FORTIFY_SOURCE
#if defined(__OPTIMIZE__)
// glibc's own switch, reserved to the implementation, is what a program sets to ask for it.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
#define _FORTIFY_SOURCE TOLVENIX_FORTIFY_LEVEL
#endif
