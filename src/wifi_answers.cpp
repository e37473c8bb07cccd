#include "wifi_answers.h"

#include <algorithm>

namespace tolvenix {

namespace {

constexpr std::string_view country_message = "A country code has 2 letters, for example GB.\n";
constexpr std::string_view ssid_message = "A WiFi SSID has 1 to 32 bytes.\n";
constexpr std::string_view password_message =
    "A WiFi password has 8 to 63 printable characters, or 64 hexadecimal digits.\n";
constexpr std::string_view hash_message =
    "The Raspberry Pi would cut this answer at a # that follows a double quote.\n";

// The daemon takes a '#' for the start of a comment unless the quotes before it on the line
// are unpaired. The template opens one quote before the answer, so a '#' after an odd number
// of the answer's own quotes stands outside any pair, and the rest of the line is lost.
bool has_hash_after_odd_quotes(std::string_view answer) {
    bool quotes_paired = true;
    for (const char byte : answer) {
        if (byte == '"') {
            quotes_paired = !quotes_paired;
        } else if (byte == '#' && !quotes_paired) {
            return true;
        }
    }
    return false;
}

// The daemon refuses a passphrase holding a control byte: one below the space, or DEL.
bool has_control_byte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char byte) {
        const auto code = static_cast<unsigned char>(byte);
        return code < 0x20 || code == 0x7f;
    });
}

}  // namespace

bool is_raw_key(std::string_view password) {
    return password.size() == password_width &&
           std::all_of(password.begin(), password.end(), [](char digit) {
               return (digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f') ||
                      (digit >= 'A' && digit <= 'F');
           });
}

std::string_view country_refusal(std::string_view country) {
    if (country.size() < country_width || country.find('#') != std::string_view::npos) {
        return country_message;
    }
    return {};
}

std::string_view ssid_refusal(std::string_view ssid) {
    // The daemon takes an empty SSID, but no access point has one: the board would never join.
    if (ssid.empty() || ssid.size() > ssid_width) {
        return ssid_message;
    }
    return has_hash_after_odd_quotes(ssid) ? hash_message : std::string_view{};
}

std::string_view password_refusal(std::string_view password) {
    if (is_raw_key(password)) {
        return {};
    }
    if (password.size() < 8 || password.size() > 63 || has_control_byte(password)) {
        return password_message;
    }
    return has_hash_after_odd_quotes(password) ? hash_message : std::string_view{};
}

}  // namespace tolvenix
