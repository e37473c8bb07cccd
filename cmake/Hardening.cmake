# The hardening and the linking of every program, in one place. Linux programs are hardened as
# Debian hardens its own (dpkg-buildflags with hardening=+all): a strong stack protector,
# _FORTIFY_SOURCE's checked string and memory functions, stack clash protection and, on x86_64,
# control-flow protection; the relocations read-only from the start (full RELRO) and a stack
# that is never executable. A static x86_64 or arm64 program is position-independent
# (-static-pie), so that its addresses are randomised at every start; TOLVENIX_STATIC_PIE then
# tells the packaging.
#
# Linux only: MinGW's stack protector imports ADVAPI32.dll (the Windows program imports
# KERNEL32 and the C runtime alone) and its headers do not link with _FORTIFY_SOURCE, and zig
# refuses stack clash protection for both Mac targets. The Windows program keeps the linker's
# ASLR, NX and high-entropy addresses, the Mac programs zig's defaults.
function(tolvenix_set_hardening target static_link)
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    if(static_link)
      target_link_options(${target} INTERFACE -static)
    endif()
    return()
  endif()
  target_compile_options(${target} INTERFACE -fstack-protector-strong -fstack-clash-protection)
  # The checked functions need the optimiser, so src/fortify_source.h, forced into every
  # source, sets the level only where the compiler optimises (__OPTIMIZE__, whatever flags or
  # build type asked for it). Level 2, the one bookworm's dpkg-buildflags gives, which builds
  # these releases: they are checked as Debian's own programs of that release are, and at the
  # same level wherever they are built. (Level 3 would add the checks whose sizes are known only
  # at run time; gcc 12 and glibc 2.36 support both.)
  set(level 2)
  target_compile_definitions(${target} INTERFACE TOLVENIX_FORTIFY_LEVEL=${level})
  target_compile_options(${target} INTERFACE
                         "SHELL:-include \"${PROJECT_SOURCE_DIR}/src/fortify_source.h\"")
  set(TOLVENIX_FORTIFY_LEVEL ${level} PARENT_SCOPE)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
    target_compile_options(${target} INTERFACE -fcf-protection)
  endif()
  target_link_options(${target} INTERFACE -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
  if(static_link AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|aarch64|arm64)$")
    target_compile_options(${target} INTERFACE -fPIE)
    target_link_options(${target} INTERFACE -static-pie -Wl,-z,pack-relative-relocs)
    set(TOLVENIX_STATIC_PIE ON PARENT_SCOPE)
  elseif(static_link)
    # armel's C library has no rcrt1.o, the start of a static position-independent program:
    # the 32-bit ARM program stays at fixed addresses, with RELRO and a stack never executable.
    target_link_options(${target} INTERFACE -static)
  endif()
endfunction()
