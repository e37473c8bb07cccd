#include "console_dialogue.h"

#include <algorithm>
#include <array>
#include <istream>
#include <limits>
#include <optional>
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

// Moves past white space to the first byte of an answer. False, with the stream's state set,
// when the stream was already done, or the input ends first, or a read fails: a stream buffer
// reports a failed read (a closed descriptor, say) by throwing, which to the dialogue is the end
// of the input too.
bool skip_to_answer(std::istream& in) {
    std::streambuf* const input = in.rdbuf();
    if (input == nullptr || !in.good()) {
        in.setstate(std::ios::failbit);
        return false;
    }
    try {
        auto next = input->sgetc();
        while (next != end_of_input && is_white_space(next)) {
            next = input->snextc();
        }
        if (next == end_of_input) {
            in.setstate(std::ios::eofbit | std::ios::failbit);
            return false;
        }
        return true;
    } catch (...) {
        in.setstate(std::ios::badbit);
        return false;
    }
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

// Room for the longest answer (a 64-digit key), a carriage return and one byte more, so that
// a line too long to accept is seen as too long without storing the rest of it.
using line_buffer = std::array<char, password_width + 3>;

// The country: its first word, cut at a NUL; the rest of its line is dropped. One byte more than
// a code is read, so that a longer word (AUT) is seen whole enough to be refused rather than cut
// into another country's code (AU).
std::optional<std::string_view> read_country(std::istream& in, line_buffer& buffer) {
    if (!read_token(in, country_width + 1, buffer)) {
        return std::nullopt;
    }
    discard_rest_of_line(in);
    return answer_text(buffer);
}

// The SSID and the password: the rest of the line after any white space, up to its line feed.
// A NUL ends the answer, and a carriage return that ends the line (before its line feed or at
// the end of the input) is not part of it.
std::optional<std::string_view> read_line(std::istream& in, line_buffer& buffer) {
    if (!skip_to_answer(in)) {
        return std::nullopt;
    }
    // Stops before the line feed, at the end of the input, or when the buffer is full; a failed
    // read inside the line sets badbit.
    in.get(buffer.data(), static_cast<std::streamsize>(buffer.size()), '\n');
    if (in.bad()) {
        return std::nullopt;
    }
    std::string_view line{buffer.data(), static_cast<std::size_t>(in.gcount())};
    const bool whole_line = line.size() < buffer.size() - 1;
    if (whole_line && line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (!in.eof()) {
        discard_rest_of_line(in);
    }
    return line.substr(0, line.find('\0'));
}

using answer_reader = std::optional<std::string_view> (*)(std::istream&, line_buffer&);
using answer_rule = std::string_view (*)(std::string_view);

// Asks one question until the answer passes its rule, telling the user why each refused
// answer would not work on the board. False when the input ends first.
template <std::size_t capacity>
bool ask_until_accepted(std::istream& in, std::ostream& out, std::string_view prompt,
                        answer_reader read, answer_rule refusal,
                        std::array<char, capacity>& field) {
    line_buffer buffer{};
    for (;;) {
        out << prompt << std::flush;
        const auto answer = read(in, buffer);
        if (!answer) {
            return false;
        }
        const auto reason = refusal(*answer);
        if (reason.empty()) {
            // Every rule refuses an answer longer than its field.
            const auto length = std::min(answer->size(), capacity - 1);
            *std::copy_n(answer->begin(), length, field.begin()) = '\0';
            return true;
        }
        out << reason << std::flush;
    }
}

}  // namespace

void print_banner(std::ostream& out) {
    out << banner_and_introduction << std::flush;
}

bool ask_answers(std::istream& in, std::ostream& out, wifi_answers& answers) {
    return ask_until_accepted(in, out, "Enter your 2-letter country code: ", read_country,
                              country_refusal, answers.country) &&
           ask_until_accepted(in, out, "Enter your WiFi SSID: ", read_line, ssid_refusal,
                              answers.ssid) &&
           ask_until_accepted(in, out, "Enter your WiFi password: ", read_line, password_refusal,
                              answers.password);
}

bool read_token(std::istream& in, std::size_t width, std::span<char> field) {
    if (field.empty()) {
        return false;
    }
    field[0] = '\0';
    if (!skip_to_answer(in)) {
        return false;
    }
    // Never more than the field can hold with its terminating NUL.
    const std::size_t limit = std::min(width, field.size() - 1);
    try {
        field[take_token(*in.rdbuf(), field.first(limit))] = '\0';
        return true;
    } catch (...) {
        // A failed read inside the token is the end of the input, as in skip_to_answer.
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
