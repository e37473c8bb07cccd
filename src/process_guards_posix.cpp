// The POSIX half of the process guards: descriptors, limits and signal dispositions set once at
// the start, and the signal mask of the hold.
#include "process_guards.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace tolvenix {

namespace {

constexpr int no_file = -1;

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no file of ours can
// take one of those numbers and receive what is meant for the console.
void keep_standard_descriptors_taken() {
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) == no_file && errno == EBADF) {
            // open(2) takes the lowest free descriptor: the one just found closed.
            static_cast<void>(::open("/dev/null", O_RDWR));
        }
    }
}

// The password is in this process's memory: no core file may hold it, and on Linux no other
// process of the same user may attach to it or read it (ptrace, /proc/PID/mem) from now on.
void keep_memory_private() {
    constexpr rlimit no_core_file{0, 0};
    static_cast<void>(::setrlimit(RLIMIT_CORE, &no_core_file));
#ifdef __linux__
    static_cast<void>(::prctl(PR_SET_DUMPABLE, 0));
#endif
}

#ifdef __linux__
// The kernel's signal set: 64 bits, whatever the C library's sigset_t holds (glibc's is 1024).
constexpr unsigned long kernel_signal_set_size = sizeof(std::uint64_t);

// glibc keeps its two internal real-time signals (32 and 33) out of every set that sigfillset
// and pthread_sigmask make, and their default action ends the process; the system call itself
// holds them too. glibc needs them only to cancel threads and to change the user ID of every
// thread, and this program starts no thread and never changes its user ID.
bool set_signal_mask(int how, const std::uint64_t* mask, std::uint64_t* previous) {
    return ::syscall(SYS_rt_sigprocmask, how, mask, previous, kernel_signal_set_size) == 0;
}
#else
// Elsewhere the C library's set holds every signal there is.
bool set_signal_mask(int how, const std::uint64_t* mask, std::uint64_t* previous) {
    static_assert(sizeof(sigset_t) <= sizeof(std::uint64_t));
    sigset_t wanted{};
    std::memcpy(&wanted, mask, sizeof wanted);
    sigset_t before{};
    const bool set = pthread_sigmask(how, &wanted, &before) == 0;
    if (set && previous != nullptr) {
        std::memcpy(previous, &before, sizeof before);
    }
    return set;
}
#endif

}  // namespace

void prepare_process() {
    keep_standard_descriptors_taken();
    keep_memory_private();
    // A write past a file size limit fails as a full disk does, and a console write whose reader
    // has gone fails quietly, instead of either ending the run between the two files.
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
}

// Every bit set: the kernel leaves out SIGKILL and SIGSTOP, which nothing can hold. A signal that
// arrives meanwhile stays pending and takes its usual effect when the previous mask returns.
// Where the mask cannot be set, nothing is held and nothing is given back.
signal_hold::signal_hold() {
    const std::uint64_t every_signal = ~std::uint64_t{0};
    held_ = set_signal_mask(SIG_BLOCK, &every_signal, &previous_mask_);
}

signal_hold::~signal_hold() {
    if (held_) {
        static_cast<void>(set_signal_mask(SIG_SETMASK, &previous_mask_, nullptr));
    }
}

}  // namespace tolvenix
