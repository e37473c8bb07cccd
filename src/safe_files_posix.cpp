// The POSIX half of safe file writing: open(2) with exactly the flags and
// mode each file needs, write(2) to the end, fsync(2) and rename(2).
#include "safe_files.h"

#include <cerrno>
#include <csignal>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvenix {

namespace {

// Holds back SIGINT, SIGTERM and SIGHUP for as long as it lives: a signal
// that arrives meanwhile stays pending and takes its usual effect the moment
// the previous mask returns. So no signal can end the program while a file
// holding the password exists under a temporary name.
class held_interrupts {
public:
    held_interrupts() {
        sigset_t interrupts{};
        sigemptyset(&interrupts);
        for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&interrupts, signal_number);
        }
        pthread_sigmask(SIG_BLOCK, &interrupts, &previous_);
    }
    held_interrupts(const held_interrupts&) = delete;
    held_interrupts& operator=(const held_interrupts&) = delete;
    held_interrupts(held_interrupts&&) = delete;
    held_interrupts& operator=(held_interrupts&&) = delete;
    ~held_interrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_{};
};

constexpr int no_file = -1;

// Creates a file that did not exist, is not a link, and is readable and
// writable by its owner only from its first moment, whatever the umask.
int create_private_file(const std::string& path) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  S_IRUSR | S_IWUSR);
}

// A private file under a fresh temporary name beside the target; another
// name is tried when one is taken. `temporary_path` receives its name.
int create_temporary_beside(const std::string& target_path, std::string& temporary_path) {
    for (std::uint64_t attempt = 0; attempt < temporary_name_attempts; ++attempt) {
        temporary_path = temporary_name_for(target_path, attempt);
        const int file = create_private_file(temporary_path);
        if (file != no_file || errno != EEXIST) {
            return file;
        }
    }
    return no_file;
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

bool sync(int file) {
    int result = 0;
    do {
        result = ::fsync(file);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// Syncs and closes; both must succeed for the bytes to be known on the medium.
bool sync_and_close(int file) {
    const bool synced = sync(file);
    const bool closed = ::close(file) == 0;
    return synced && closed;
}

std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a new or renamed entry in the directory of `path` survive a power
// loss. A directory that may be written but not read cannot be opened for
// this, and some file systems cannot sync a directory: there the entry is
// left to the system. Only an error reported by the sync itself fails.
bool sync_directory_of(const std::string& path) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    const int directory = ::open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory == no_file) {
        return true;
    }
    const bool synced = sync(directory) || errno == EINVAL || errno == ENOTSUP;
    ::close(directory);
    return synced;
}

// Writes the new file under a temporary name and renames it over the
// target; with interrupts held back, so that it ends either renamed or
// removed.
bool write_and_rename(const std::string& target_path, std::string_view text) {
    const held_interrupts held;
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

}  // namespace

bool replace_file_safely(const std::string& target_path, std::string_view text) {
    return write_and_rename(target_path, text) && sync_directory_of(target_path);
}

bool create_empty_regular_file(const std::string& path) {
    // Without O_NOFOLLOW a link would empty the file it points to; without
    // O_NONBLOCK a FIFO would wait for a reader forever. O_TRUNC is left out
    // so that nothing but a regular file is ever changed.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open(2) is variadic by definition
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                            S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    if (file == no_file) {
        return false;
    }
    struct stat status {};
    const bool emptied = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode) &&
                         ::ftruncate(file, 0) == 0 && sync(file);
    const bool closed = ::close(file) == 0;
    return emptied && closed && sync_directory_of(path);
}

}  // namespace tolvenix
