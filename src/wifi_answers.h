#pragma once

// The three answers as the dialogue read them, shared by the dialogue, the run and the files,
// and the rules that keep out an answer the board would refuse or misread: its first boot's
// import of the file, or its wpa_supplicant.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace tolvenix {

// Widths of the three answers, in bytes. Each field is one byte longer so that it always ends
// in a NUL.
inline constexpr std::size_t country_width = 2;
inline constexpr std::size_t ssid_width = 32;
inline constexpr std::size_t password_width = 64;

// The user's three answers, stored as the bytes standard input delivered.
struct wifi_answers {
    std::array<char, country_width + 1> country{};
    std::array<char, ssid_width + 1> ssid{};
    std::array<char, password_width + 1> password{};
};

// The answer held in a field: the bytes before its first NUL. A NUL typed
// inside an answer therefore ends it, and no NUL ever reaches a file.
template <std::size_t capacity>
[[nodiscard]] std::string_view answer_text(const std::array<char, capacity>& field) {
    const std::string_view whole{field.data(), field.size()};
    return whole.substr(0, whole.find('\0'));
}

// True for exactly 64 hexadecimal digits: a raw pre-shared key, which the daemon accepts only
// unquoted.
[[nodiscard]] bool is_raw_key(std::string_view password);

// The country codes the board's first boot accepts, sorted: two capital letters each.
[[nodiscard]] std::span<const std::string_view> country_codes();

// Each rule returns the line that tells the user why the board would refuse or misread the
// answer, or an empty text when it reads it back exactly as typed.
[[nodiscard]] std::string_view country_refusal(std::string_view country);
[[nodiscard]] std::string_view ssid_refusal(std::string_view ssid);
[[nodiscard]] std::string_view password_refusal(std::string_view password);

}  // namespace tolvenix
