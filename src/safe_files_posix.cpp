// The POSIX half of safe file writing: mkostemps(3) and open(2) with exactly the flags each file
// needs, write(2) to the end, fsync(2) (F_FULLFSYNC on Apple systems) and rename(2).
#include "safe_files.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Syncs and closes; both must succeed for the bytes to be known on the medium.
bool sync_and_close(int file) {
    const bool synced = sync(file);
    const bool closed = ::close(file) == 0;
    return synced && closed;
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

// Writes the new file under a temporary name and renames it over the target; it ends either
// renamed or removed.
bool write_and_rename(const std::string& target_path, std::string_view text) {
    std::string temporary_path;
    const int file = create_temporary_beside(target_path, temporary_path);
    if (file == no_file) {
        return false;
    }
    const bool written = write_all(file, text);
    if (sync_and_close(file) && written &&
        ::rename(temporary_path.c_str(), target_path.c_str()) == 0) {
        return true;
    }
    ::unlink(temporary_path.c_str());
    return false;
}

// Opens the marker file for emptying: an existing one only if it is a regular file with no other
// link, judged before it is opened (opening a device can act on it) and checked again on the
// descriptor, so that nothing swapped in meanwhile is emptied; a new one with O_EXCL. O_NOFOLLOW
// refuses a link, O_NONBLOCK keeps a FIFO from waiting for a reader, and O_NOCTTY keeps a
// terminal from becoming ours.
int open_marker_file(const std::string& path) {
    constexpr int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
        return errno == ENOENT ? ::open(path.c_str(), flags | O_CREAT | O_EXCL,
                                        S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)
                               : no_file;
    }
    if (!S_ISREG(named.st_mode) || named.st_nlink != 1) {
        return no_file;
    }
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    const int file = ::open(path.c_str(), flags);
    struct stat opened {};
    if (file != no_file && (::fstat(file, &opened) != 0 || opened.st_dev != named.st_dev ||
                            opened.st_ino != named.st_ino || opened.st_nlink != 1)) {
        ::close(file);
        return no_file;
    }
    return file;
}

}  // namespace

void prepare_process_for_file_writing() {
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): fcntl(2) is variadic by definition
        if (::fcntl(descriptor, F_GETFD) == no_file && errno == EBADF) {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): variadic; opens the lowest free fd
            static_cast<void>(::open("/dev/null", O_RDWR));
        }
    }
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
}

bool replace_file_safely(const std::string& target_path, std::string_view text) {
    // SIGINT, SIGQUIT, SIGTERM and SIGHUP are held back meanwhile: one that arrives stays pending
    // and takes its usual effect when the mask returns. So no signal ends the program while a
    // file holding the password exists under a temporary name, or before its new name is durable.
    sigset_t held{};
    sigset_t previous{};
    sigemptyset(&held);
    for (const int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
        sigaddset(&held, signal_number);
    }
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
