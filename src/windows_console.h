#pragma once

// The Windows console (Windows only): typed text as UTF-8, and a window that waits for Enter.
// The console is read as Unicode, whatever its code page; a window opened just for this program
// stays open until its result has been read.
#include "console_text_decoder.h"

#include <iosfwd>
#include <streambuf>
#include <string>

namespace tolvenix {

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

// Reads standard input in binary mode: the C runtime's text mode would end the input at a
// Ctrl-Z byte and drop carriage returns.
void read_standard_input_as_bytes();

// Whether the console was made for this process alone, as when the program is started from
// Explorer or a shortcut; false when it is shared with a shell, or when there is none.
[[nodiscard]] bool console_belongs_to_this_process_alone();

// Asks the user to press Enter and waits for a line or the end of the input, so that the
// window does not close with the program's last message. `line_open` tells whether that
// message ended without a line end.
void keep_window_open(std::istream& in, std::ostream& out, bool line_open);

}  // namespace tolvenix
