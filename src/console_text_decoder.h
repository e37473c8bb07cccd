#pragma once

// The text of a Windows console read, as the UTF-8 bytes a POSIX terminal would deliver. Plain
// C++, so that it is built and tested on every platform; only the Windows console uses it.
#include <string>
#include <string_view>

namespace tolvenix {

// Turns the UTF-16 text a console read returns into UTF-8: CR LF becomes LF, a surrogate pair
// becomes one 4-byte character even when a read ends between its halves, and Ctrl-Z ends the
// input as the C runtime's text mode does.
class console_text_decoder {
public:
    // Appends the UTF-8 of `units` to `utf8`. What cannot be decoded yet (a CR or the first
    // half of a pair at the end of `units`) is kept for the next call. Returns false when a
    // Ctrl-Z ended the input: the text before it is appended, the rest of the read dropped.
    bool decode(std::u16string_view units, std::string& utf8);

private:
    void append_unit(char16_t unit, std::string& utf8);

    char16_t pending_high_surrogate_ = 0;
    bool pending_carriage_return_ = false;
};

}  // namespace tolvenix
