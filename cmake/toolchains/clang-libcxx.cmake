# Native build with clang and LLVM's C++ library, libc++ (Debian's clang,
# libc++-dev and libc++abi-dev): the compiler and standard library of macOS,
# so that code only GCC and libstdc++ accept is caught here first.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-stdlib=libc++")
endforeach()
