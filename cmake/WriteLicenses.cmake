# Writes the licences of the libraries that a release program carries inside it, asking the
# toolchain that built it, so that they stay true when the toolchain changes:
#   cmake -DCOMPILER=<c++> -DCOMPILER_FLAGS=<flags> -DKIND=<gnu|mingw|zig|none> -DLICENSE=<file>
#         -DCONTACT=<contact> -DDEBIAN=<ON|OFF> -DOUTPUT_DIR=<dir> -P WriteLicenses.cmake
#   gnu    a static Linux program: the GNU C Library, libstdc++ and libgcc, from Debian's packages
#   mingw  a static Windows program: the mingw-w64 runtime, winpthreads, libstdc++ and libgcc
#   zig    a macOS program linked by zig: libc++, libc++abi and zig's compiler_rt
#   none   a program linked against shared libraries only
# OUTPUT_DIR gets THIRD-PARTY-LICENSES.txt (not for none): which libraries, their versions, the
# packages they come from and the source packages that hold their code (with, for a cross or
# repackaged build, the source package that built it), then every licence text and copyright
# file they refer to, each after a line "==== <file>: <what it is>", named as on any Debian
# system or in the library's published source, never by a path of the machine that built it.
# With DEBIAN, also `copyright` (Debian's machine-readable form, whose stanzas refer to
# /usr/share/common-licenses) and `built-using`, the Built-Using value: every source package
# whose code is inside (empty where none is). A file is rewritten only when its content changes.
cmake_policy(VERSION 3.25)

foreach(variable COMPILER KIND LICENSE CONTACT OUTPUT_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()
separate_arguments(compiler UNIX_COMMAND "${COMPILER} ${COMPILER_FLAGS}")

# The compiler's predefined macros once `header` is included.
function(read_macros header out)
  file(WRITE ${OUTPUT_DIR}/licenses-probe.cpp "#include <${header}>\n")
  execute_process(COMMAND ${compiler} -dM -E -x c++ ${OUTPUT_DIR}/licenses-probe.cpp
                  OUTPUT_VARIABLE macros COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${OUTPUT_DIR}/licenses-probe.cpp)
  set(${out} "${macros}" PARENT_SCOPE)
endfunction()

# The value of macro `name` in `macros`.
function(macro_value macros name out)
  if(NOT macros MATCHES "#define ${name} ([^\n]+)")
    message(FATAL_ERROR "the compiler does not define ${name}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

set(summary "")
set(texts "")
set(deb_licenses "")
set(deb_comment "")
set(built_using "")

# A text to append once: a file, the name it goes under (no path of the machine that built the
# program) and what it is.
macro(add_text file title what)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} (${what}) is missing")
  endif()
  if(NOT "${file}" IN_LIST texts)
    list(APPEND texts "${file}")
    set(text_name_${file} "${title}")
    set(text_title_${file} "${what}")
  endif()
endmacro()

# The Debian package that holds `path`.
function(owning_package path out)
  file(REAL_PATH "${path}" path)
  execute_process(COMMAND dpkg-query --search ${path} OUTPUT_VARIABLE owner
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCH "^[^ ,]+" package "${owner}")
  string(REGEX REPLACE ":$" "" package "${package}")
  set(${out} "${package}" PARENT_SCOPE)
endfunction()

# The `apt-get source` and snapshot.debian.org lines of source package `source` `version`,
# under `label`; the snapshot address escapes the version's "+" and ":".
function(source_lines label source version out)
  string(REPLACE "%" "%25" snapshot "${version}")
  string(REPLACE "+" "%2B" snapshot "${snapshot}")
  string(REPLACE ":" "%3A" snapshot "${snapshot}")
  string(CONCAT lines "${label} ${source} ${version}:\n"
         "           `apt-get source ${source}=${version}`, or\n"
         "           https://snapshot.debian.org/package/${source}/${snapshot}/\n")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# A library the compiler links from a Debian package: `archive` names its file as the compiler
# finds it (-print-file-name), PARTS the other files of it that a static link takes from the
# same package; LICENSE is its SPDX expression, COMMON the texts in /usr/share/common-licenses
# it refers to, DEB_LICENSE its name in Debian's copyright format (empty for a program that no
# .deb holds). CODE matches the name of the source package that holds the library's code: the
# package's own source, or, for a cross or repackaged build, the source its Built-Using names;
# the package's own source then stays named beside it, as the packaging that built it.
# With C_LIBRARY, the library's licence requires its source to be offered with the program.
function(debian_library name archive)
  cmake_parse_arguments(PARSE_ARGV 2 arg "C_LIBRARY" "LICENSE;DEB_LICENSE;CODE;PARTS_TEXT"
                        "COMMON;PARTS")
  execute_process(COMMAND ${compiler} -print-file-name=${archive} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${path}")
    message(FATAL_ERROR "${COMPILER} links no ${archive}")
  endif()
  file(REAL_PATH "${path}" path)
  owning_package(${path} package)
  foreach(part IN LISTS arg_PARTS)
    execute_process(COMMAND ${compiler} -print-file-name=${part} OUTPUT_VARIABLE part_path
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${part_path}")
      message(FATAL_ERROR "${COMPILER} links no ${part}")
    endif()
    owning_package(${part_path} part_package)
    if(NOT part_package STREQUAL package)
      message(FATAL_ERROR "${part} comes from ${part_package}, not from ${package} as ${archive}")
    endif()
  endforeach()
  execute_process(
    COMMAND dpkg-query --show
            "--showformat=\${Package}|\${Version}|\${source:Package}|\${source:Version}|\${Built-Using}"
            ${package}
    OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "|" ";" fields "${fields}")
  list(GET fields 0 binary)
  list(GET fields 1 binary_version)
  list(GET fields 2 builder)
  list(GET fields 3 builder_version)
  list(GET fields 4 package_built_using)
  # The source package that holds the code: the package's own, or the one its Built-Using names.
  if(builder MATCHES "^(${arg_CODE})$")
    set(source ${builder})
    set(source_version ${builder_version})
  elseif(package_built_using MATCHES "(^|, )(${arg_CODE}) \\(= ([^)]+)\\)")
    set(source ${CMAKE_MATCH_2})
    set(source_version ${CMAKE_MATCH_3})
  else()
    message(FATAL_ERROR "${binary} names no source matching ${arg_CODE}, built from ${builder}"
                        " (Built-Using: ${package_built_using})")
  endif()
  # Every compiler whose code the archive holds, as its objects name it.
  file(STRINGS ${path} idents REGEX "^GCC: \\([^)]*\\) .")
  list(TRANSFORM idents REPLACE "^GCC: \\([^)]*\\) " "GCC ")
  list(REMOVE_DUPLICATES idents)
  list(SORT idents)
  list(JOIN idents ", " compiled_by)
  if(compiled_by)
    set(compiled_by ", compiled by ${compiled_by}")
  endif()
  set(source_label "")
  if(arg_C_LIBRARY)
    # The library's licence asks that its source be offered with the program.
    set(source_label "its corresponding source: ")
  endif()
  set(files "${archive}")
  if(arg_PARTS_TEXT)
    set(files "${arg_PARTS_TEXT}")
  endif()
  source_lines("${source_label}Debian's source package" ${source} ${source_version} sources)
  string(CONCAT deb_sources "\n its code from Debian's source package ${source} ${source_version}\n"
         " (`apt-get source ${source}=${source_version}`)")
  if(NOT builder STREQUAL source)
    source_lines("           and the packaging that built the package above from it,"
                 ${builder} ${builder_version} builder_lines)
    string(APPEND sources "${builder_lines}")
    string(APPEND deb_sources ",\n built by its packaging, the source package ${builder} ${builder_version}\n"
           " (`apt-get source ${builder}=${builder_version}`)")
  endif()
  string(APPEND summary "\n${name}\n  Licence: ${arg_LICENSE}\n"
         "  From:    Debian's ${binary} ${binary_version} (${files})${compiled_by}\n"
         "  Source:  ${sources}")
  string(APPEND deb_comment " .\n ${name} (${arg_DEB_LICENSE}), from Debian's ${binary}"
         " ${binary_version}\n (${files}):${deb_sources}.\n")
  foreach(common_text IN LISTS arg_COMMON)
    add_text(/usr/share/common-licenses/${common_text} /usr/share/common-licenses/${common_text}
             "a licence named above")
  endforeach()
  file(REAL_PATH /usr/share/doc/${binary}/copyright copyright_file)
  add_text(${copyright_file} ${copyright_file}
           "Debian's copyright file of a package above: notices and licences")
  if(arg_DEB_LICENSE AND NOT arg_DEB_LICENSE IN_LIST deb_licenses)
    list(APPEND deb_licenses "${arg_DEB_LICENSE}")
  endif()
  # Built-Using: every source package whose code is inside, once.
  set(source_entry "${source} (= ${source_version})")
  if(NOT source_entry IN_LIST built_using)
    list(APPEND built_using "${source_entry}")
  endif()
  foreach(variable summary deb_comment deb_licenses texts copyright_file built_using)
    set(${variable} "${${variable}}" PARENT_SCOPE)
  endforeach()
  foreach(text IN LISTS texts)
    set(text_name_${text} "${text_name_${text}}" PARENT_SCOPE)
    set(text_title_${text} "${text_title_${text}}" PARENT_SCOPE)
  endforeach()
endfunction()

set(gcc_license "GPL-3.0-or-later WITH GCC-exception-3.1")
set(gcc_deb_license "GPL-3+ with GCC-exception-3.1 exception")
if(KIND STREQUAL "gnu")
  read_macros(features.h macros)
  macro_value("${macros}" __GLIBC__ glibc_major)
  macro_value("${macros}" __GLIBC_MINOR__ glibc_minor)
  set(libc_name "GNU C Library ${glibc_major}.${glibc_minor}")
  debian_library("${libc_name}" libc.a LICENSE "LGPL-2.1-or-later" COMMON LGPL-2.1
                 DEB_LICENSE "LGPL-2.1+" CODE glibc C_LIBRARY)
elseif(KIND STREQUAL "mingw")
  read_macros(_mingw_mac.h macros)
  macro_value("${macros}" __MINGW64_VERSION_MAJOR major)
  macro_value("${macros}" __MINGW64_VERSION_MINOR minor)
  macro_value("${macros}" __MINGW64_VERSION_BUGFIX bugfix)
  set(mingw_version ${major}.${minor}.${bugfix})
  debian_library("mingw-w64 runtime ${mingw_version}" libmingwex.a
                 LICENSE "ZPL-2.1 and public domain, with parts under other permissive licences"
                 CODE mingw-w64)
  debian_library("winpthreads of mingw-w64 ${mingw_version}" libwinpthread.a
                 LICENSE "MIT (expat)" CODE mingw-w64)
endif()
if(KIND MATCHES "^(gnu|mingw)$")
  # The version as the compiler names itself: Debian's MinGW-w64 GCC 12.2 says "12-posix" (and
  # 12.0.0 in its version macros); the package's own version, in the entry, is the exact one.
  macro_value("${macros}" __VERSION__ gcc_version)
  string(REPLACE "\"" "" gcc_version "${gcc_version}")
  debian_library("libstdc++ of GCC ${gcc_version}" libstdc++.a LICENSE "${gcc_license}"
                 COMMON GPL-3 DEB_LICENSE "${gcc_deb_license}" CODE "gcc-[0-9]+")
  # A static link takes from libgcc's package also the unwinder and the objects that run the
  # constructors and destructors of the program's static objects.
  debian_library("libgcc of GCC ${gcc_version}" libgcc.a PARTS libgcc_eh.a crtbegin.o crtend.o
                 PARTS_TEXT "libgcc.a, libgcc_eh.a and the crtbegin and crtend objects"
                 LICENSE "${gcc_license}" COMMON GPL-3 DEB_LICENSE "${gcc_deb_license}"
                 CODE "gcc-[0-9]+")
elseif(KIND STREQUAL "zig")
  # zig's own lib directory, where the compiler finds libc++'s headers.
  execute_process(COMMAND ${compiler} -E -v -x c++ /dev/null OUTPUT_QUIET ERROR_VARIABLE search
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT search MATCHES "\n *([^\n]+)/libcxx/include\n")
    message(FATAL_ERROR "${COMPILER} does not search zig's libc++ headers:\n${search}")
  endif()
  file(REAL_PATH "${CMAKE_MATCH_1}" zig_lib)
  get_filename_component(zig_home ${zig_lib} DIRECTORY)
  execute_process(COMMAND ${zig_home}/zig version OUTPUT_VARIABLE zig_version
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  read_macros(version macros)
  macro_value("${macros}" _LIBCPP_VERSION libcxx)
  math(EXPR major "${libcxx} / 10000")
  math(EXPR minor "${libcxx} / 100 % 100")
  math(EXPR patch "${libcxx} % 100")
  set(llvm "${major}.${minor}.${patch}")
  set(llvm_license "Apache-2.0 WITH LLVM-exception")
  # Named by zig's version and its published source, whose tree holds these directories, not by
  # where zig was unpacked on the machine that built the program.
  set(zig_tree zig-${zig_version})
  set(zig_source "https://ziglang.org/download/${zig_version}/${zig_tree}.tar.xz")
  string(APPEND summary
         "\nlibc++ ${llvm}\n  Licence: ${llvm_license}\n"
         "  From:    zig ${zig_version}, ${zig_tree}/lib/libcxx, which zig compiles for the target\n"
         "  Source:  ${zig_source}\n"
         "\nlibc++abi of LLVM ${llvm}, the release of the libc++ above\n"
         "  Licence: ${llvm_license}\n"
         "  From:    zig ${zig_version}, ${zig_tree}/lib/libcxxabi, which zig compiles for the target\n"
         "  Source:  ${zig_source}\n"
         "\ncompiler_rt of zig ${zig_version}\n  Licence: MIT (expat)\n"
         "  From:    zig ${zig_version}, ${zig_tree}/lib/compiler_rt\n"
         "  Source:  ${zig_source}\n")
  add_text(${zig_lib}/libcxx/LICENSE.TXT ${zig_tree}/lib/libcxx/LICENSE.TXT
           "the licence of libc++")
  add_text(${zig_lib}/libcxxabi/LICENSE.TXT ${zig_tree}/lib/libcxxabi/LICENSE.TXT
           "the licence of libc++abi")
  add_text(${zig_home}/LICENSE ${zig_tree}/LICENSE "the licence of zig, whose compiler_rt it is")
elseif(NOT KIND STREQUAL "none")
  message(FATAL_ERROR "KIND ${KIND}: not one of gnu, mingw, zig, none")
endif()

# Writes `content` into OUTPUT_DIR/`name`, leaving the file as it is when it holds that already.
function(write_if_changed name content)
  file(WRITE ${OUTPUT_DIR}/${name}.new "${content}")
  file(COPY_FILE ${OUTPUT_DIR}/${name}.new ${OUTPUT_DIR}/${name} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUTPUT_DIR}/${name}.new)
endfunction()

if(NOT KIND STREQUAL "none")
  string(CONCAT licenses
               "The libraries inside this tolvenix-setup program\n"
               "=================================================\n\n"
               "tolvenix-setup's own code is under the MIT licence, in LICENSE; its source builds\n"
               "this program again, also with any of the libraries below changed. The program is\n"
               "a single file that also holds these libraries, each under its own licence; the\n"
               "texts that those licences name follow the list.\n${summary}")
  foreach(text IN LISTS texts)
    file(READ ${text} content)
    string(APPEND licenses "\n==== ${text_name_${text}}: ${text_title_${text}}\n\n${content}")
  endforeach()
  write_if_changed(THIRD-PARTY-LICENSES.txt "${licenses}")
endif()

if(DEBIAN)
  # Our own licence, as a copyright file's licence text: LICENSE without its title and copyright
  # line, each line indented by one space and each empty line a lone dot.
  file(READ ${LICENSE} own)
  string(REGEX REPLACE "^.*Copyright[^\n]*\n\n" "" own "${own}")
  string(STRIP "${own}" own)
  string(REPLACE "\n\n" "\n.\n" own "${own}")
  string(REPLACE "\n" "\n " own " ${own}")
  string(CONCAT copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                "Upstream-Name: tolvenix-setup\nUpstream-Contact: ${CONTACT}\n\n"
                "Files: *\nCopyright: 2026 The tolvenix-setup developers\nLicense: Expat\n")
  if(deb_licenses)
    list(JOIN deb_licenses " and " combined)
    string(APPEND copyright
           "\nFiles: usr/bin/tolvenix-setup\n"
           "Copyright: 2026 The tolvenix-setup developers\n"
           " Free Software Foundation, Inc. and the other authors of the libraries below\n"
           "License: Expat and ${combined}\n"
           "Comment: A static program: besides its own code it holds these libraries.\n"
           "${deb_comment}"
           " .\n Their copyright notices and licences, as Debian's packages of them give them,\n"
           " are in /usr/share/doc/tolvenix-setup/THIRD-PARTY-LICENSES.txt.\n")
  endif()
  # Each licence that more than one Files paragraph names: a paragraph of its own.
  string(APPEND copyright "\nLicense: Expat\n${own}\n")
  if("LGPL-2.1+" IN_LIST deb_licenses)
    string(APPEND copyright
           "\nLicense: LGPL-2.1+\n"
           " On Debian systems, the complete text of the GNU Lesser General Public License\n"
           " version 2.1 is in /usr/share/common-licenses/LGPL-2.1.\n")
  endif()
  if(gcc_deb_license IN_LIST deb_licenses)
    # The exception's own text, from libgcc's copyright file (the last one read above).
    file(READ ${copyright_file} gcc_copyright)
    if(NOT gcc_copyright MATCHES "\n(GCC RUNTIME LIBRARY EXCEPTION\n.*requirements of the license of GCC\\.)\n")
      message(FATAL_ERROR "${copyright_file} does not hold the GCC Runtime Library Exception")
    endif()
    string(REPLACE "\n\n" "\n.\n" exception "${CMAKE_MATCH_1}")
    string(REPLACE "\n" "\n " exception "${exception}")
    string(APPEND copyright
           "\nLicense: ${gcc_deb_license}\n"
           " On Debian systems, the complete text of the GNU General Public License\n"
           " version 3 is in /usr/share/common-licenses/GPL-3.\n .\n ${exception}\n")
  endif()
  write_if_changed(copyright "${copyright}")
  list(JOIN built_using ", " built_using)
  write_if_changed(built-using "${built_using}")
endif()
