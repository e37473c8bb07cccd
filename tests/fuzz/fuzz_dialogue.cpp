// Feeds arbitrary bytes to the dialogue as standard input, renders the
// configuration from the answers it read, and checks both against a small,
// independent model of the reading rules.
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

// The daemon reads a psk of exactly 64 hexadecimal digits, unquoted, as a raw key; any other
// password must be a quoted passphrase.
bool is_raw_key(std::string_view password) {
    return password.size() == 64 &&
           password.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// The line each answer gets when it is refused, or an empty text: the program's own rules,
// which their unit table and the daemon test prove; the fuzzer models the reading.
std::string refusal(std::size_t question, std::string_view answer) {
    constexpr std::array rules{tolvenix::country_refusal, tolvenix::ssid_refusal,
                               tolvenix::password_refusal};
    return std::string{rules.at(question)(answer)};
}

// The answers and the dialogue's output as the rules define them: skip white space; the
// country is its first word, of which up to 3 bytes are looked at (a longer word is refused
// whatever it holds), cut at a NUL, and the rest of its line is dropped; the SSID and the
// password are the rest of the line, cut at a NUL, without a CR that ends the line (before the
// LF or at the end of the input). A refused answer is followed by its line and the same prompt.
// None when the input ends first.
struct model_dialogue {
    std::array<std::optional<std::string>, 3> answers;
    std::string output;
};

model_dialogue model(std::string_view input) {
    const std::array<std::string, 3> prompts{tolvenix::expected::country_prompt,
                                             tolvenix::expected::ssid_prompt,
                                             tolvenix::expected::password_prompt};
    model_dialogue result;
    std::size_t position = 0;
    for (std::size_t question = 0; question < prompts.size();) {
        result.output += prompts[question];
        while (position < input.size() && is_white(input[position])) {
            ++position;
        }
        if (position == input.size()) {
            break;
        }
        const auto newline = std::min(input.find('\n', position), input.size());
        std::string line{input.substr(position, newline - position)};
        position = std::min(newline + 1, input.size());
        if (question == 0) {
            line = line.substr(0, 3);
            line = line.substr(
                0, static_cast<std::size_t>(std::find_if(line.begin(), line.end(), is_white) -
                                            line.begin()));
        } else if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        line = line.substr(0, line.find('\0'));
        const auto why = refusal(question, line);
        result.output += why;
        if (why.empty()) {
            result.answers[question] = line;
            ++question;
        }
    }
    return result;
}

template <std::size_t capacity>
void check_field(const std::array<char, capacity>& field,
                 const std::optional<std::string>& expected, const char* name) {
    const auto text = tolvenix::answer_text(field);
    require(text.size() < capacity, name);
    require(text == expected.value_or(""), name);
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
    require(out.str() == expected.output, "prompts or refusals differ from the rules");
    check_field(answers.country, expected.answers[0], "country differs from the rules");
    check_field(answers.ssid, expected.answers[1], "ssid differs from the rules");
    check_field(answers.password, expected.answers[2], "password differs from the rules");
    check_rendering(answers);
    return 0;
}
