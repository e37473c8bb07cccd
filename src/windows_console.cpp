#include "windows_console.h"

#include <array>
#include <istream>
#include <limits>
#include <ostream>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvenix {

namespace {

constexpr wchar_t end_of_file_key = 0x1A;  // Ctrl-Z
constexpr wchar_t carriage_return = L'\r';
constexpr wchar_t line_feed = L'\n';

// UTF-16 writes a character beyond U+FFFF as a pair: a high half from
// D800 to DBFF, then a low half from DC00 to DFFF, 10 bits each.
constexpr unsigned first_high_surrogate = 0xD800U;
constexpr unsigned first_low_surrogate = 0xDC00U;
constexpr unsigned last_low_surrogate = 0xDFFFU;
constexpr unsigned bits_per_surrogate = 10U;
constexpr unsigned first_beyond_basic_plane = 0x10000U;

constexpr bool is_high_surrogate(unsigned unit) {
    return unit >= first_high_surrogate && unit < first_low_surrogate;
}
constexpr bool is_low_surrogate(unsigned unit) {
    return unit >= first_low_surrogate && unit <= last_low_surrogate;
}

constexpr unsigned joined_pair(unsigned high, unsigned low) {
    return first_beyond_basic_plane + ((high - first_high_surrogate) << bits_per_surrogate) +
           (low - first_low_surrogate);
}

// The UTF-8 bytes of one code point: 1 to 4 bytes, 6 bits in each
// continuation byte.
void append_utf8(unsigned code, std::string& utf8) {
    const auto byte = [&utf8](unsigned value) { utf8.push_back(static_cast<char>(value)); };
    if (code < 0x80U) {
        byte(code);
    } else if (code < 0x800U) {
        byte(0xC0U | (code >> 6U));
        byte(0x80U | (code & 0x3FU));
    } else if (code < 0x10000U) {
        byte(0xE0U | (code >> 12U));
        byte(0x80U | ((code >> 6U) & 0x3FU));
        byte(0x80U | (code & 0x3FU));
    } else {
        byte(0xF0U | (code >> 18U));
        byte(0x80U | ((code >> 12U) & 0x3FU));
        byte(0x80U | ((code >> 6U) & 0x3FU));
        byte(0x80U | (code & 0x3FU));
    }
}

// What a half of a surrogate pair that has no other half stands for.
constexpr unsigned replacement_character = 0xFFFDU;

// Wide characters a console read may return at once; a longer line comes
// in several reads.
constexpr DWORD read_units = 4096;

// A read that an interrupt cut short returns no characters; the interrupt's
// own default action (ending the process) runs meanwhile on another thread.
constexpr DWORD pause_after_interrupted_read_ms = 100;

HANDLE standard_input() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

}  // namespace

bool console_text_decoder::decode(std::wstring_view units, std::string& utf8) {
    for (const wchar_t unit : units) {
        if (unit == end_of_file_key) {
            pending_high_surrogate_ = 0;
            pending_carriage_return_ = false;
            return false;
        }
        append_unit(unit, utf8);
    }
    return true;
}

void console_text_decoder::append_unit(wchar_t unit, std::string& utf8) {
    const auto value = static_cast<unsigned>(unit);
    if (pending_carriage_return_) {
        pending_carriage_return_ = false;
        if (unit != line_feed) {
            utf8.push_back('\r');
        }
    }
    if (pending_high_surrogate_ != 0) {
        const auto high = static_cast<unsigned>(pending_high_surrogate_);
        pending_high_surrogate_ = 0;
        if (is_low_surrogate(value)) {
            append_utf8(joined_pair(high, value), utf8);
            return;
        }
        append_utf8(replacement_character, utf8);
    }
    if (is_high_surrogate(value)) {
        pending_high_surrogate_ = unit;
    } else if (unit == carriage_return) {
        pending_carriage_return_ = true;
    } else if (is_low_surrogate(value)) {
        append_utf8(replacement_character, utf8);
    } else {
        append_utf8(value, utf8);
    }
}

console_input_buffer::console_input_buffer() : console_(standard_input()) {}

console_input_buffer::int_type console_input_buffer::underflow() {
    while (gptr() == egptr()) {
        if (ended_) {
            // Reported once; a later read waits for the console again, as a
            // terminal does after Ctrl-D.
            ended_ = false;
            return traits_type::eof();
        }
        std::array<wchar_t, read_units> units{};
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
