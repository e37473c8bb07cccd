// Compiles only if _FORTIFY_SOURCE reaches the compiler, through the program's own options, at
// the level that cmake/Hardening.cmake chose (TOLVENIX_FORTIFY_LEVEL) where the compiler
// optimises and not at all where it does not, and glibc's headers then check at that level.
#include <cstring>

#if defined(__OPTIMIZE__)
#define TOLVENIX_EXPECTED_FORTIFY_LEVEL TOLVENIX_FORTIFY_LEVEL
#else
#define TOLVENIX_EXPECTED_FORTIFY_LEVEL 0
#endif

#if (defined(_FORTIFY_SOURCE) ? _FORTIFY_SOURCE : 0) != TOLVENIX_EXPECTED_FORTIFY_LEVEL
#error "_FORTIFY_SOURCE does not reach the compiler at the level the build chose"
#elif (defined(__USE_FORTIFY_LEVEL) ? __USE_FORTIFY_LEVEL : 0) != TOLVENIX_EXPECTED_FORTIFY_LEVEL
#error "glibc's headers do not check at the level the build chose"
#endif
