// Preloaded into the program (LD_PRELOAD) to make system calls fail, wait or race the way a
// failing card, a slow card or another process on the machine does. Every call goes to the C
// library unless these variables say otherwise:
//   TOLVENIX_FAIL_CALL   calls to fail, separated by commas: "write", "close" or
//                        "ftruncate" (on regular files only, so that the console keeps
//                        working), "fsync", "rename", "unlink", "directory" (opening a
//                        directory to read it), or "proc" (opening /proc/self/fd, as if /proc
//                        were absent)
//   TOLVENIX_FAIL_PATH   fail fsync or close only on this file or directory
//   TOLVENIX_FAIL_ERRNO  the error (a number) instead of each call's own
//   TOLVENIX_FAIL_ONLY   fail only the Nth matching call, counting from 1
//   TOLVENIX_SLOW_FSYNC_MS, TOLVENIX_SLOW_PATH, TOLVENIX_SLOWED_FD_REPORT
//                        the first fsync (of that file or directory) takes N milliseconds first;
//                        its descriptor is written to the report file, and "synced" once done
//   TOLVENIX_RACE, TOLVENIX_RACE_OTHER
//                        right after the program's look at a file named ssh (the O_PATH open, or
//                        the lstat that follows it when "proc" fails), the other file becomes ssh:
//                        "hard link",
//                        "symbolic link", "FIFO", "renamed over", or becomes a second name of ssh
//                        ("second link"); "none" does nothing
//   TOLVENIX_RACE_AT     "reopen": the swap waits until the file looked at is opened again
//                        through /proc/self/fd (openat)
//
// Each definition matches the C library's declaration, noexcept included; the checked
// (_FORTIFY_SOURCE) inline open would stand in the way of defining open itself.
#undef _FORTIFY_SOURCE
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const char* setting(const char* name) {
    const char* const value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool listed(std::string_view list, std::string_view name) {
    while (!list.empty()) {
        const auto comma = list.find(',');
        if (list.substr(0, comma) == name) {
            return true;
        }
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return false;
}

template <typename function>
function* next_definition(const char* name) {
    return reinterpret_cast<function*>(dlsym(RTLD_NEXT, name));
}

// Whether the descriptor is the file or directory the variable names (any when it is unset).
bool is_path_of(int descriptor, const char* variable) {
    struct stat named {};
    struct stat opened {};
    return *setting(variable) == '\0' ||
           (stat(setting(variable), &named) == 0 && fstat(descriptor, &opened) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino);
}

// Whether this call fails: it is listed, and it is the chosen one of its kind, if one is.
bool failing(std::string_view call, int own_error) {
    static int matching_calls = 0;
    if (!listed(setting("TOLVENIX_FAIL_CALL"), call)) {
        return false;
    }
    ++matching_calls;
    const int only = std::atoi(setting("TOLVENIX_FAIL_ONLY"));
    if (only != 0 && matching_calls != only) {
        return false;
    }
    errno = *setting("TOLVENIX_FAIL_ERRNO") != '\0' ? std::atoi(setting("TOLVENIX_FAIL_ERRNO"))
                                                    : own_error;
    return true;
}

bool is_regular_file(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

void report_slowed_sync(const char* text) {
    if (std::FILE* const report = std::fopen(setting("TOLVENIX_SLOWED_FD_REPORT"), "a")) {
        std::fputs(text, report);
        std::fclose(report);
    }
}

// After the program's look at ssh (or, with TOLVENIX_RACE_AT, right before it opens the file
// again), puts the other file in its place as TOLVENIX_RACE says.
void race_for(const char* looked_at, bool reopening) {
    static bool raced = false;
    static std::string path;
    if (looked_at != nullptr && std::string_view{looked_at}.ends_with("/ssh")) {
        path = looked_at;
    }
    const std::string_view action = setting("TOLVENIX_RACE");
    if (raced || action.empty() || path.empty() ||
        reopening != (std::string_view{setting("TOLVENIX_RACE_AT")} == "reopen")) {
        return;
    }
    raced = true;
    const char* const other = setting("TOLVENIX_RACE_OTHER");
    const char* const ssh = path.c_str();
    if (action == "renamed over") {
        rename(other, ssh);
    } else if (action == "second link") {
        link(ssh, other);
    } else if (action != "none") {
        unlink(ssh);
        static_cast<void>(action == "hard link"       ? link(other, ssh)
                          : action == "symbolic link" ? symlink(other, ssh)
                                                      : mkfifo(ssh, 0666));
    }
}

}  // namespace

extern "C" {

ssize_t write(int descriptor, const void* bytes, std::size_t count) {
    if (is_regular_file(descriptor) && failing("write", ENOSPC)) {
        return -1;
    }
    static auto* const real = next_definition<ssize_t(int, const void*, std::size_t)>("write");
    return real(descriptor, bytes, count);
}

int ftruncate(int descriptor, off_t length) noexcept {
    if (is_regular_file(descriptor) && failing("ftruncate", EIO)) {
        return -1;
    }
    static auto* const real = next_definition<int(int, off_t)>("ftruncate");
    return real(descriptor, length);
}

int fsync(int descriptor) {
    if (is_path_of(descriptor, "TOLVENIX_FAIL_PATH") && failing("fsync", EIO)) {
        return -1;
    }
    static bool slowed = false;
    const bool slow = !slowed && *setting("TOLVENIX_SLOW_FSYNC_MS") != '\0' &&
                      is_path_of(descriptor, "TOLVENIX_SLOW_PATH");
    if (slow) {
        slowed = true;
        char descriptor_line[16];
        std::snprintf(descriptor_line, sizeof descriptor_line, "%d\n", descriptor);
        report_slowed_sync(descriptor_line);
        const long milliseconds = std::atol(setting("TOLVENIX_SLOW_FSYNC_MS"));
        // The whole time, even where a signal's handler interrupts the sleep (Wine turns
        // SIGINT into a console interrupt on another thread that way).
        timespec left{milliseconds / 1000, milliseconds % 1000 * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
    static auto* const real = next_definition<int(int)>("fsync");
    const int result = real(descriptor);
    if (slow) {
        report_slowed_sync("synced\n");
    }
    return result;
}

int close(int descriptor) {
    static auto* const real = next_definition<int(int)>("close");
    const bool fail = is_regular_file(descriptor) && is_path_of(descriptor, "TOLVENIX_FAIL_PATH") &&
                      failing("close", EIO);
    const int result = real(descriptor);
    return fail ? -1 : result;
}

int rename(const char* from, const char* to) noexcept {
    static auto* const real = next_definition<int(const char*, const char*)>("rename");
    return failing("rename", EIO) ? -1 : real(from, to);
}

int unlink(const char* path) noexcept {
    static auto* const real = next_definition<int(const char*)>("unlink");
    return failing("unlink", EPERM) ? -1 : real(path);
}

int open(const char* path, int flags, ...) {
    std::va_list arguments;
    va_start(arguments, flags);
    const auto mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    if (std::string_view{path}.starts_with("/proc/self/fd") && failing("proc", ENOENT)) {
        return -1;
    }
    if ((flags & (O_DIRECTORY | O_PATH)) == O_DIRECTORY && failing("directory", EACCES)) {
        return -1;
    }
    static auto* const real = next_definition<int(const char*, int, ...)>("open");
    const int result = real(path, flags, mode);
    if ((flags & O_PATH) != 0) {
        race_for(path, false);
    }
    return result;
}

int openat(int directory, const char* path, int flags, ...) {
    std::va_list arguments;
    va_start(arguments, flags);
    const auto mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    race_for(nullptr, true);
    static auto* const real = next_definition<int(int, const char*, int, ...)>("openat");
    return real(directory, path, flags, mode);
}

int lstat(const char* path, struct stat* status) noexcept {
    static auto* const real = next_definition<int(const char*, struct stat*)>("lstat");
    const int result = real(path, status);
    race_for(path, false);
    return result;
}

}  // extern "C"
