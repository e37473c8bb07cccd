#pragma once

// The console dialogue: the banner, the three questions and the rules that read their answers.
#include "wifi_answers.h"

#include <cstddef>
#include <iosfwd>
#include <span>

namespace tolvenix {

// Writes the boxed banner and the two-line introduction.
void print_banner(std::ostream& out);

// Asks the three questions in order and fills `answers`. An answer the board
// would refuse or misread (its first boot's import of the file, or its
// wpa_supplicant) is refused with one line saying why, and its question is
// asked again. Returns false when the input ends before
// an answer was accepted; the fields accepted so far are kept, the others stay
// empty.
[[nodiscard]] bool ask_answers(std::istream& in, std::ostream& out, wifi_answers& answers);

// Reads one white-space-delimited token of at most `width` characters into
// `field` and ends it with a NUL. The character that ended the token stays in
// the input. Returns false when the input ended before any token character.
[[nodiscard]] bool read_token(std::istream& in, std::size_t width, std::span<char> field);

// Throws away the input up to and including the next newline, or up to the
// end of the input.
void discard_rest_of_line(std::istream& in);

}  // namespace tolvenix
