// The POSIX half of safe file writing: mkostemps(3) and open(2) with exactly the flags each file
// needs, write(2) to the end, fsync(2) (F_FULLFSYNC on Apple systems) and rename(2).
#include "safe_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
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
    const int duplicate = ::fcntl(file, F_DUPFD_CLOEXEC, 0);
    return duplicate != no_file && ::close(duplicate) == 0;
}

// Writes the new file under a temporary name and renames it over the target. On any failure the
// temporary is emptied before it is removed, so that one that cannot be removed (in an
// append-only directory, say) keeps no password; one that can be neither is named.
replacement write_and_rename(const std::string& target_path, std::string_view text) {
    std::string temporary_path;
    const int file = create_temporary_beside(target_path, temporary_path);
    if (file == no_file) {
        return {};
    }
    replacement result;
    result.replaced = write_all(file, text) && sync(file) && close_duplicate_cleanly(file) &&
                      ::rename(temporary_path.c_str(), target_path.c_str()) == 0;
    if (!result.replaced) {
        // Removing is tried whether or not emptying worked: nothing else is left to do.
        const bool emptied = ::ftruncate(file, 0) == 0;
        if (::unlink(temporary_path.c_str()) != 0 && !emptied) {
            result.left_behind = temporary_path;
        }
    }
    ::close(file);
    return result;
}

constexpr int marker_flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The only file that may be emptied as the marker: a regular file with no other name.
bool is_lone_regular_file(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

// A new marker file; O_EXCL refuses anything that took the name meanwhile, a link included.
int create_marker_file(const std::string& path) {
    return ::open(path.c_str(), marker_flags | O_NOFOLLOW | O_CREAT | O_EXCL,
                  S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
}

// Keeps an opened marker only if it is the file that was judged, and still a lone regular file;
// anything else is closed unwritten.
int keep_if_judged(int file, const struct stat& judged) {
    struct stat opened {};
    if (file != no_file && (::fstat(file, &opened) != 0 || opened.st_dev != judged.st_dev ||
                            opened.st_ino != judged.st_ino || !is_lone_regular_file(opened))) {
        ::close(file);
        return no_file;
    }
    return file;
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
    if (!is_lone_regular_file(judged)) {
        return no_file;
    }
    return keep_if_judged(::open(path.c_str(), marker_flags | O_NOFOLLOW), judged);
}

#ifdef __linux__
// The kernel's /proc/self/fd, whose entries lead to the very files this process has open; or
// no_file where /proc is missing or holds another file system, whose entries could lead anywhere.
int open_kernel_descriptor_directory() {
    const int directory = ::open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct statfs file_system {};
    if (directory != no_file &&
        (::fstatfs(directory, &file_system) != 0 || file_system.f_type != PROC_SUPER_MAGIC)) {
        ::close(directory);
        return no_file;
    }
    return directory;
}

// The name looked up once, into a descriptor that only refers to what it names (O_PATH: no
// driver is called, no FIFO waits, a link is itself); that is judged, and the very same file,
// whatever its name now leads to, is then opened through the kernel's /proc/self/fd and checked
// to be the judged one. There is no window for a swap.
int open_marker_through_proc(const std::string& path, int descriptor_directory) {
    const int looked_up = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (looked_up == no_file) {
        return errno == ENOENT ? create_marker_file(path) : no_file;
    }
    struct stat judged {};
    int file = no_file;
    if (::fstat(looked_up, &judged) == 0 && is_lone_regular_file(judged)) {
        const std::string entry = std::to_string(looked_up);
        const int reopened = ::openat(descriptor_directory, entry.c_str(), marker_flags);
        file = keep_if_judged(reopened, judged);
    }
    ::close(looked_up);
    return file;
}
#endif

// Opens the marker file for emptying: on Linux through the kernel's /proc; without it, or
// elsewhere, judged by name.
int open_marker_file(const std::string& path) {
#ifdef __linux__
    const int descriptor_directory = open_kernel_descriptor_directory();
    if (descriptor_directory != no_file) {
        const int file = open_marker_through_proc(path, descriptor_directory);
        ::close(descriptor_directory);
        return file;
    }
#endif
    return open_marker_judged_by_name(path);
}

}  // namespace

replacement replace_file_safely(const std::string& target_path, std::string_view text) {
    replacement result = write_and_rename(target_path, text);
    result.replaced = result.replaced && sync_directory_of(target_path);
    return result;
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
