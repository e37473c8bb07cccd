// Feeds arbitrary bytes to the dialogue as standard input, renders the
// configuration from the answers it read, and checks both against a small,
// independent model of the token and line rules.
#include "console_dialogue.h"
#include "expected_text.h"
#include "output_files.h"
#include "wifi_answers.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tolvenix::wifi_answers;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool is_white(char character) {
    return std::string_view{" \t\n\v\f\r"}.find(character) != std::string_view::npos;
}

// The answers as the rules define them: skip white space, take up to
// `width` non-white bytes, drop the rest of the line. An answer stops at a
// NUL, as a C string does. None when the input ends first.
struct model_answers {
    std::array<std::optional<std::string>, 3> answers;
};

model_answers model(std::string_view input) {
    constexpr std::array<std::size_t, 3> widths{tolvenix::country_width, tolvenix::ssid_width,
                                                tolvenix::password_width};
    model_answers result;
    std::size_t position = 0;
    for (std::size_t question = 0; question < widths.size(); ++question) {
        while (position < input.size() && is_white(input[position])) {
            ++position;
        }
        if (position == input.size()) {
            break;
        }
        std::string token;
        while (position < input.size() && token.size() < widths[question] &&
               !is_white(input[position])) {
            token.push_back(input[position++]);
        }
        const auto newline = input.find('\n', position);
        position = newline == std::string_view::npos ? input.size() : newline + 1;
        result.answers[question] = token.substr(0, token.find('\0'));
    }
    return result;
}

template <std::size_t capacity>
void check_field(const std::array<char, capacity>& field,
                 const std::optional<std::string>& expected, const char* name) {
    const auto text = tolvenix::answer_text(field);
    require(text.size() < capacity, name);
    require(std::none_of(text.begin(), text.end(), is_white), "white space inside a field");
    if (expected) {
        require(text == *expected, name);
    }
}

bool is_raw_key(std::string_view password) {
    return password.size() == 64 && std::all_of(password.begin(), password.end(), [](char c) {
               return std::string_view{"0123456789abcdefABCDEF"}.find(c) != std::string_view::npos;
           });
}

void check_rendering(const wifi_answers& answers) {
    const auto country = tolvenix::answer_text(answers.country);
    const auto ssid = tolvenix::answer_text(answers.ssid);
    const auto password = tolvenix::answer_text(answers.password);
    const std::string text = tolvenix::render_network_config(answers);
    require(text.find('\0') == std::string::npos, "NUL byte in the file");

    const std::string psk =
        is_raw_key(password) ? std::string{password} : "\"" + std::string{password} + "\"";
    require(text == tolvenix::expected::config_text(country, ssid, psk),
            "the file differs from the nine-line template");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in{input};
    std::ostringstream out;
    wifi_answers answers;

    const bool complete = tolvenix::ask_answers(in, out, answers);

    const auto expected = model(input);
    require(complete == expected.answers[2].has_value(), "complete input reported as ended");
    check_field(answers.country, expected.answers[0], "country differs from the rules");
    check_field(answers.ssid, expected.answers[1], "ssid differs from the rules");
    check_field(answers.password, expected.answers[2], "password differs from the rules");
    check_rendering(answers);
    return 0;
}
