// The POSIX half of safe file writing: mkostemps(3) and open(2) with exactly the flags each file
// needs, write(2) to the end, fsync(2) (F_FULLFSYNC on Apple systems) and rename(2).
#include "safe_files.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace tolvenix {

namespace {

constexpr int no_file = -1;

// Creates a new file beside the target under a fresh name, which `temporary_path` receives.
// mkostemps creates it with O_EXCL, so neither a taken name nor a link is ever opened, and tries
// other names itself. The file is created no wider than 0600; fchmod then gives the owner read and
// write whatever the umask. A file system without modes (FAT) may refuse that, which is harmless.
int create_temporary_beside(const std::string& target_path, std::string& temporary_path) {
    constexpr std::string_view suffix = ".tmp";
    temporary_path = target_path + ".XXXXXX" + std::string{suffix};
    const int file = ::mkostemps(temporary_path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (file != no_file) {
        static_cast<void>(::fchmod(file, S_IRUSR | S_IWUSR));
    }
    return file;
}

// Writes every byte, resuming after a partial write or an interruption.
bool write_all(int file, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(file, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Asks the medium to hold what was written. On Apple systems fsync leaves the data in the
// drive's own cache: F_FULLFSYNC flushes that too, and where the file system refuses it, fsync
// is what remains (as SQLite does).
bool sync(int file) {
    int result = 0;
    do {
#ifdef F_FULLFSYNC
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
        result = ::fcntl(file, F_FULLFSYNC);
        if (result != 0 && errno != EINTR) {
            result = ::fsync(file);
        }
#else
        result = ::fsync(file);
#endif
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// Makes a new or renamed entry in the directory of `path` survive a power
// loss. A directory that may be written but not read cannot be opened for
// this, and some file systems cannot sync a directory: there the entry is
// left to the system. Only an error reported by the sync itself fails.
bool sync_directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name =
        slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    const int directory = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory == no_file) {
        return true;
    }
    const bool synced = sync(directory) || errno == EINVAL || errno == ENOTSUP;
    ::close(directory);
    return synced;
}

// Collects an error that a file system keeps until a close (NFS reports some only then),
// while the temporary stays open through the descriptor the caller holds: a failure after this
// can still empty the file without opening it by name again.
bool close_duplicate_cleanly(int file) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
    const int duplicate = ::fcntl(file, F_DUPFD_CLOEXEC, 0);
    return duplicate != no_file && ::close(duplicate) == 0;
}

// Writes the new file under a temporary name and renames it over the target. On any failure the
// temporary is emptied before it is removed, so that one that cannot be removed (in an
// append-only directory, say) keeps no password.
bool write_and_rename(const std::string& target_path, std::string_view text) {
    std::string temporary_path;
    const int file = create_temporary_beside(target_path, temporary_path);
    if (file == no_file) {
        return false;
    }
    const bool renamed = write_all(file, text) && sync(file) && close_duplicate_cleanly(file) &&
                         ::rename(temporary_path.c_str(), target_path.c_str()) == 0;
    if (!renamed) {
        // Removing is tried whether or not emptying worked: nothing else is left to do.
        std::ignore = ::ftruncate(file, 0);
        ::unlink(temporary_path.c_str());
    }
    ::close(file);
    return renamed;
}

constexpr int marker_flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The only file that may be emptied as the marker: a regular file with no other name.
bool is_lone_regular_file(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

// A new marker file; O_EXCL refuses anything that took the name meanwhile, a link included.
int create_marker_file(const std::string& path) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    return ::open(path.c_str(), marker_flags | O_NOFOLLOW | O_CREAT | O_EXCL,
                  S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
}

// The marker judged by name before it is opened (opening a device can make its driver act) and
// checked again on the descriptor, so that nothing swapped in meanwhile is emptied. O_NOFOLLOW
// refuses a link, O_NONBLOCK keeps a FIFO from waiting for a reader, and O_NOCTTY keeps a
// terminal from becoming ours. Something swapped in between the two looks is opened, though
// never written.
int open_marker_judged_by_name(const std::string& path) {
    struct stat judged {};
    if (::lstat(path.c_str(), &judged) != 0) {
        return errno == ENOENT ? create_marker_file(path) : no_file;
    }
    const int file = is_lone_regular_file(judged)
                         // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic
                         ? ::open(path.c_str(), marker_flags | O_NOFOLLOW)
                         : no_file;
    struct stat opened {};
    if (file != no_file && (::fstat(file, &opened) != 0 || opened.st_dev != judged.st_dev ||
                            opened.st_ino != judged.st_ino || !is_lone_regular_file(opened))) {
        ::close(file);
        return no_file;
    }
    return file;
}

// Opens the marker file for emptying. On Linux the name is looked up once, into a descriptor
// that only refers to what it names (O_PATH: no driver is called, no FIFO waits, a link is
// itself); that is judged, and the very same file, whatever its name now leads to, is then opened
// through /proc/self/fd. There is no window for a swap. Without /proc, or elsewhere, it is
// judged by name.
int open_marker_file(const std::string& path) {
#ifdef O_PATH
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    const int looked_up = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (looked_up == no_file) {
        return errno == ENOENT ? create_marker_file(path) : no_file;
    }
    struct stat judged {};
    int file = no_file;
    if (::fstat(looked_up, &judged) == 0 && is_lone_regular_file(judged)) {
        const std::string same_file = "/proc/self/fd/" + std::to_string(looked_up);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
        file = ::open(same_file.c_str(), marker_flags);
        if (file == no_file && errno == ENOENT) {
            file = open_marker_judged_by_name(path);
        }
    }
    ::close(looked_up);
    return file;
#else
    return open_marker_judged_by_name(path);
#endif
}

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no file of ours can
// take one of those numbers and receive what is meant for the console.
void keep_standard_descriptors_taken() {
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
        if (::fcntl(descriptor, F_GETFD) == no_file && errno == EBADF) {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): variadic; opens the lowest free fd
            static_cast<void>(::open("/dev/null", O_RDWR));
        }
    }
}

// A terminal or pipe left non-blocking by another program would make the first read fail at
// once, which reads as the end of the input: shells clear the flag too, so that reads wait.
void make_standard_input_wait() {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags != no_file && (flags & O_NONBLOCK) != 0) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
        static_cast<void>(::fcntl(STDIN_FILENO, F_SETFL, flags & ~O_NONBLOCK));
    }
}

// The password is in this process's memory: no core file may hold it, and on Linux no other
// process of the same user may read it out (ptrace, /proc/PID/mem).
void keep_memory_private() {
    constexpr rlimit no_core_file{0, 0};
    static_cast<void>(::setrlimit(RLIMIT_CORE, &no_core_file));
#ifdef __linux__
    static_cast<void>(::prctl(PR_SET_DUMPABLE, 0));
#endif
}

}  // namespace

void prepare_process() {
    keep_standard_descriptors_taken();
    make_standard_input_wait();
    keep_memory_private();
    // A write past a file size limit fails as a full disk does, and a console write whose reader
    // has gone fails quietly, instead of either ending the run between the two files.
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
}

bool replace_file_safely(const std::string& target_path, std::string_view text) {
    // Every signal that can be held is held back meanwhile: one that arrives stays pending and
    // takes its usual effect when the mask returns. So no signal but SIGKILL ends the program
    // while a file holding the password exists under a temporary name, or before its new name
    // is durable.
    sigset_t held{};
    sigset_t previous{};
    sigfillset(&held);
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    const bool replaced = write_and_rename(target_path, text) && sync_directory_of(target_path);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return replaced;
}

bool create_empty_regular_file(const std::string& path) {
    const int file = open_marker_file(path);
    if (file == no_file) {
        return false;
    }
    const bool emptied = ::ftruncate(file, 0) == 0 && sync(file);
    const bool closed = ::close(file) == 0;
    return emptied && closed && sync_directory_of(path);
}

}  // namespace tolvenix
