#include "windows_console.h"

#include <array>
#include <cstdio>
#include <istream>
#include <limits>
#include <ostream>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace tolvenix {

namespace {

// UTF-16 units a console read may return at once; a longer line comes
// in several reads.
constexpr DWORD read_units = 4096;

// A read that an interrupt cut short returns no characters; the interrupt's
// own default action (ending the process) runs meanwhile on another thread.
constexpr DWORD pause_after_interrupted_read_ms = 100;

HANDLE standard_input() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

}  // namespace

console_input_buffer::console_input_buffer() : console_(standard_input()) {}

console_input_buffer::int_type console_input_buffer::underflow() {
    while (gptr() == egptr()) {
        if (ended_) {
            // Reported once; a later read waits for the console again, as a
            // terminal does after Ctrl-D.
            ended_ = false;
            return traits_type::eof();
        }
        std::array<char16_t, read_units> units{};
        DWORD count = 0;
        if (ReadConsoleW(console_, units.data(), read_units, &count, nullptr) == FALSE &&
            GetLastError() != ERROR_OPERATION_ABORTED) {
            return traits_type::eof();
        }
        if (count == 0) {
            Sleep(pause_after_interrupted_read_ms);
            continue;
        }
        bytes_.clear();
        ended_ = !decoder_.decode({units.data(), count}, bytes_);
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }
    return traits_type::to_int_type(*gptr());
}

bool standard_input_is_console() {
    DWORD mode = 0;
    return GetConsoleMode(standard_input(), &mode) != FALSE;
}

void read_standard_input_as_bytes() {
    static_cast<void>(_setmode(_fileno(stdin), _O_BINARY));
}

bool console_belongs_to_this_process_alone() {
    // A shell that started the program shares its console and is counted
    // too; Explorer gives a program a console of its own.
    std::array<DWORD, 2> processes{};
    return GetConsoleProcessList(processes.data(), static_cast<DWORD>(processes.size())) == 1;
}

void keep_window_open(std::istream& in, std::ostream& out, bool line_open) {
    if (line_open) {
        out << '\n';
    }
    out << "Press Enter to close this window." << std::flush;
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

}  // namespace tolvenix
