#include "console_dialogue.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>
#include <string>

namespace tolvenix {

namespace {

constexpr std::string_view banner_and_introduction =
    "======================================================================\n"
    "|                                                                    |\n"
    "|                         Virevidi Rozazu                            |\n"
    "|                                                                    |\n"
    "|              < Version 1.00 >     by Dravelmontics                 |\n"
    "|                                                                    |\n"
    "======================================================================\n"
    "This program will configure Tolvenix with your WiFi parameters.\n\n"
    "Please enter the required information below:\n";

// The white space of the C locale's isspace(), without depending on the
// current locale: bytes 0x80 to 0xFF are always ordinary characters.
constexpr bool is_white_space(int character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\v' ||
           character == '\f' || character == '\r';
}

constexpr auto end_of_input = std::char_traits<char>::eof();

// Moves past white space; false when the input ends first.
bool skip_white_space(std::streambuf& input) {
    auto next = input.sgetc();
    while (next != end_of_input && is_white_space(next)) {
        next = input.snextc();
    }
    return next != end_of_input;
}

// Moves the characters of one token into `token`, at most its size, and
// returns how many were taken. Peeks only while more are wanted: once the
// token is full nothing further is read, so a terminal never waits for more.
std::size_t take_token(std::streambuf& input, std::span<char> token) {
    std::size_t length = 0;
    while (length < token.size()) {
        const auto next = input.sgetc();
        if (next == end_of_input || is_white_space(next)) {
            break;
        }
        token[length] = std::char_traits<char>::to_char_type(next);
        ++length;
        input.sbumpc();
    }
    return length;
}

// Asks one question: prompt, token, and the rest of its line.
bool ask_one(std::istream& in, std::ostream& out, std::string_view prompt, std::size_t width,
             std::span<char> field) {
    out << prompt << std::flush;
    if (!read_token(in, width, field)) {
        return false;
    }
    discard_rest_of_line(in);
    return true;
}

}  // namespace

void print_banner(std::ostream& out) {
    out << banner_and_introduction << std::flush;
}

bool ask_answers(std::istream& in, std::ostream& out, wifi_answers& answers) {
    return ask_one(in, out, "Enter your 2-letter country code: ", country_width, answers.country) &&
           ask_one(in, out, "Enter your WiFi SSID: ", ssid_width, answers.ssid) &&
           ask_one(in, out, "Enter your WiFi password: ", password_width, answers.password);
}

bool read_token(std::istream& in, std::size_t width, std::span<char> field) {
    if (field.empty()) {
        return false;
    }
    field[0] = '\0';
    std::streambuf* const input = in.rdbuf();
    if (input == nullptr || !in.good()) {
        in.setstate(std::ios::failbit);
        return false;
    }
    // Never more than the field can hold with its terminating NUL.
    const std::size_t limit = std::min(width, field.size() - 1);
    try {
        if (!skip_white_space(*input)) {
            in.setstate(std::ios::eofbit | std::ios::failbit);
            return false;
        }
        field[take_token(*input, field.first(limit))] = '\0';
        return true;
    } catch (...) {
        // A stream buffer reports a failed read (a closed descriptor, say)
        // by throwing; to the dialogue that is the end of the input.
        field[0] = '\0';
        in.setstate(std::ios::badbit);
        return false;
    }
}

void discard_rest_of_line(std::istream& in) {
    // ignore() reads through the stream buffer without storing anything, so
    // an endless line costs no memory.
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

}  // namespace tolvenix
