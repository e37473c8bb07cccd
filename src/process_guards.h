#pragma once

// What a run does to its own process: guards taken once at the start, given back at the end
// where they touch what the caller shares, and a hold that keeps signals (on Windows, console
// interrupts) waiting while the two files are written. A POSIX half and a Windows half.
#include <cstdint>

namespace tolvenix {

// What the start-up guards changed in state that the program shares with whoever started it.
struct caller_state_changes {
    bool input_made_to_wait = false;
};

// Called once at the start, before anything is read or written. On POSIX: descriptors 0, 1 and
// 2 are kept taken (closed ones opened on /dev/null), standard input made to wait if it was left
// non-blocking, core files and (on Linux) other processes' later reading of this one's memory
// refused, and SIGXFSZ and SIGPIPE ignored, so that a file size limit or a console whose reader
// has gone fails a write instead of ending the run. Nothing on Windows.
[[nodiscard]] caller_state_changes prepare_process();

// Gives back what prepare_process changed in state shared with the caller: standard input is
// made non-blocking again if it was. Called after the last output has been flushed, since at a
// terminal the same flag governs the output too.
void give_back_caller_state(const caller_state_changes& changes);

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
    // POSIX: the signal mask from before the hold, as the kernel keeps it (64 bits).
    [[maybe_unused]] std::uint64_t previous_mask_ = 0;
};

}  // namespace tolvenix
