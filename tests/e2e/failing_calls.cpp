// Preloaded into the program (LD_PRELOAD) to make system calls fail the
// way a full, failing or removed card makes them fail. TOLVENIX_FAIL_CALL names
// the calls, separated by commas: "write" or "close" (on regular files only, so
// that the console keeps working), "fsync" (of every file, or of the one file or
// directory that TOLVENIX_FAIL_PATH names when it is set), "rename" or "unlink".
// TOLVENIX_SLOW_FSYNC_MS=N makes the first fsync take N milliseconds first,
// as a slow card does, so that a test can act in the middle of writing; when
// TOLVENIX_SLOWED_FD_REPORT names a file, the descriptor of that fsync is
// written into it. Every other call, and every call when the variables are
// unset, goes to the C library.
//
// The C library's headers are left out on purpose: they declare some of
// these functions noexcept, which the plain definitions here cannot match.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

bool failing(std::string_view call) {
    const char* const chosen = std::getenv("TOLVENIX_FAIL_CALL");
    for (std::string_view calls = chosen != nullptr ? chosen : ""; !calls.empty();) {
        const auto comma = calls.find(',');
        if (calls.substr(0, comma) == call) {
            return true;
        }
        calls.remove_prefix(comma == std::string_view::npos ? calls.size() : comma + 1);
    }
    return false;
}

// Slows the first fsync as a slow card does, and tells which descriptor it received.
void slow_down_first_fsync(int descriptor) {
    static bool slowed = false;
    const char* const slow_ms = std::getenv("TOLVENIX_SLOW_FSYNC_MS");
    if (slowed || slow_ms == nullptr) {
        return;
    }
    slowed = true;
    if (const char* const report = std::getenv("TOLVENIX_SLOWED_FD_REPORT")) {
        if (std::FILE* const file = std::fopen(report, "w")) {
            std::fprintf(file, "%d\n", descriptor);
            std::fclose(file);
        }
    }
    const long milliseconds = std::atol(slow_ms);
    const timespec slow_card{milliseconds / 1000, milliseconds % 1000 * 1000000L};
    nanosleep(&slow_card, nullptr);
}

bool is_regular_file(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

// Whether the descriptor is the file or directory TOLVENIX_FAIL_PATH names,
// or any when it is unset.
bool is_chosen_path(int descriptor) {
    const char* const chosen = std::getenv("TOLVENIX_FAIL_PATH");
    struct stat named {};
    struct stat opened {};
    return chosen == nullptr || (stat(chosen, &named) == 0 && fstat(descriptor, &opened) == 0 &&
                                 named.st_dev == opened.st_dev && named.st_ino == opened.st_ino);
}

template <typename function>
function* next_definition(const char* name) {
    return reinterpret_cast<function*>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int descriptor, const void* bytes, std::size_t count) {
    if (failing("write") && is_regular_file(descriptor)) {
        errno = ENOSPC;
        return -1;
    }
    static auto* const real = next_definition<ssize_t(int, const void*, std::size_t)>("write");
    return real(descriptor, bytes, count);
}

int fsync(int descriptor) {
    if (failing("fsync") && is_chosen_path(descriptor)) {
        errno = EIO;
        return -1;
    }
    slow_down_first_fsync(descriptor);
    static auto* const real = next_definition<int(int)>("fsync");
    return real(descriptor);
}

int close(int descriptor) {
    static auto* const real = next_definition<int(int)>("close");
    const bool fail = failing("close") && is_regular_file(descriptor);
    const int result = real(descriptor);
    if (fail) {
        errno = EIO;
        return -1;
    }
    return result;
}

int rename(const char* from, const char* to) {
    if (failing("rename")) {
        errno = EIO;
        return -1;
    }
    static auto* const real = next_definition<int(const char*, const char*)>("rename");
    return real(from, to);
}

int unlink(const char* path) {
    if (failing("unlink")) {
        errno = EPERM;
        return -1;
    }
    static auto* const real = next_definition<int(const char*)>("unlink");
    return real(path);
}

}  // extern "C"
