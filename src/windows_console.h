#pragma once

// The Windows console (Windows only): typed text as UTF-8, and a window that waits for Enter.
// The console is read as Unicode, whatever its code page; a window opened just for this program
// stays open until its result has been read.
#include <iosfwd>
#include <streambuf>
#include <string>
#include <string_view>

namespace tolvenix {

// Turns the UTF-16 text a console read returns into the UTF-8 bytes a POSIX terminal would
// deliver: CR LF becomes LF, a surrogate pair becomes one 4-byte character even when a read
// ends between its halves, and Ctrl-Z ends the input as the C runtime's text mode does.
class console_text_decoder {
public:
    // Appends the UTF-8 of `units` to `utf8`. What cannot be decoded yet (a CR or the first
    // half of a pair at the end of `units`) is kept for the next call. Returns false when a
    // Ctrl-Z ended the input: the text before it is appended, the rest of the read dropped.
    bool decode(std::wstring_view units, std::string& utf8);

private:
    void append_unit(wchar_t unit, std::string& utf8);

    wchar_t pending_high_surrogate_ = 0;
    bool pending_carriage_return_ = false;
};

// Standard input when it is a console: read through ReadConsoleW, delivered as UTF-8. After
// a Ctrl-Z it reports the end of the input once, and reads the console again if asked.
class console_input_buffer : public std::streambuf {
public:
    console_input_buffer();

protected:
    int_type underflow() override;

private:
    void* console_;
    console_text_decoder decoder_;
    std::string bytes_;
    bool ended_ = false;
};

// Whether standard input is a console (not a pipe or a file).
[[nodiscard]] bool standard_input_is_console();

// Whether the console was made for this process alone, as when the program is started from
// Explorer or a shortcut; false when it is shared with a shell, or when there is none.
[[nodiscard]] bool console_belongs_to_this_process_alone();

// Asks the user to press Enter and waits for a line or the end of the input, so that the
// window does not close with the program's last message. `line_open` tells whether that
// message ended without a line end.
void keep_window_open(std::istream& in, std::ostream& out, bool line_open);

}  // namespace tolvenix
