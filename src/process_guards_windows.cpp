// The Windows half of the process guards: a console control handler that makes interrupts wait.
#include "process_guards.h"

#include <atomic>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvenix {

namespace {

// Read and written by the console's handler thread too.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
std::atomic<bool> holding{false};
std::atomic<bool> event_during_hold{false};
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

// A console interrupt (Ctrl-C, Ctrl-Break, a closed window) that arrives while the files are
// being written waits in its handler thread until the hold ends. Then, as at any other time, the
// handler hands it on to the next one, by default the system's, which ends the process as the
// event asks. (Windows ends a process anyway a few seconds after its window was closed.)
BOOL WINAPI wait_for_the_hold_to_end(DWORD /*event*/) {
    if (holding.load()) {
        event_during_hold.store(true);
        while (holding.load()) {
            Sleep(1);
        }
    }
    return FALSE;
}

}  // namespace

// The handler is installed once, for the whole run: outside the hold it hands every interrupt
// straight on, and the hold itself never changes the list of handlers that an interrupt's
// thread walks.
void prepare_process() {
    SetConsoleCtrlHandler(wait_for_the_hold_to_end, TRUE);
}

signal_hold::signal_hold() {
    holding.store(true);
}

// An interrupt that waited now ends the process on its handler thread; nothing more of the run
// may happen meanwhile, as after a POSIX signal.
signal_hold::~signal_hold() {
    holding.store(false);
    if (event_during_hold.load()) {
        Sleep(INFINITE);
    }
}

}  // namespace tolvenix
