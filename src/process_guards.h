#pragma once

// What a run does to its own process: guards taken once at the start, and a hold that keeps
// signals (on Windows, console interrupts) waiting while the two files are written. A POSIX half
// and a Windows half.
#include <cstdint>

namespace tolvenix {

// Called once at the start, before anything is read or written. On POSIX: descriptors 0, 1 and
// 2 are kept taken (closed ones opened on /dev/null), core files and (on Linux) other processes'
// later reading of this one's memory refused, and SIGXFSZ and SIGPIPE ignored, so that a file
// size limit or a console whose reader has gone fails a write instead of ending the run.
// Nothing on Windows.
void prepare_process();

// While one exists, every signal that can be held back waits (on Windows, every console
// interrupt: Ctrl-C, Ctrl-Break, a closed window); one that arrived meanwhile takes its usual
// effect when the hold ends.
class signal_hold {
public:
    signal_hold();
    ~signal_hold();
    signal_hold(const signal_hold&) = delete;
    signal_hold& operator=(const signal_hold&) = delete;
    signal_hold(signal_hold&&) = delete;
    signal_hold& operator=(signal_hold&&) = delete;

private:
    // POSIX: whether the mask could be set, and the mask found before the hold, as the kernel
    // keeps it (64 bits), which the hold gives back exactly.
    [[maybe_unused]] bool held_ = false;
    [[maybe_unused]] std::uint64_t previous_mask_ = 0;
};

}  // namespace tolvenix
