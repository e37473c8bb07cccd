// The Windows half of the process guards: a console control handler that makes interrupts wait.
#include "process_guards.h"

#include <atomic>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvenix {

namespace {

// While the files are being written, a console interrupt (Ctrl-C, Ctrl-Break, closing the window)
// waits in its handler thread until the hold ends, then takes its usual effect: the handler
// returns FALSE and the default ends the process.
std::atomic<bool> holding{false};  // NOLINT: read by the console's handler thread

BOOL WINAPI wait_for_the_hold_to_end(DWORD /*event*/) {
    while (holding.load()) {
        Sleep(1);
    }
    return FALSE;
}

}  // namespace

caller_state_changes prepare_process() {
    return {};
}

void give_back_caller_state(const caller_state_changes& /*changes*/) {}

signal_hold::signal_hold() {
    holding.store(true);
    SetConsoleCtrlHandler(wait_for_the_hold_to_end, TRUE);
}

signal_hold::~signal_hold() {
    holding.store(false);
    SetConsoleCtrlHandler(wait_for_the_hold_to_end, FALSE);
}

}  // namespace tolvenix
