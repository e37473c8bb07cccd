#include "wifi_answers.h"

#include <algorithm>
#include <array>

namespace tolvenix {

namespace {

constexpr std::string_view country_message =
    "A country code is 2 capital letters naming a country, for example GB.\n";
constexpr std::string_view ssid_message = "A WiFi SSID has 1 to 32 bytes.\n";
constexpr std::string_view password_message =
    "A WiFi password has 8 to 63 printable characters, or 64 hexadecimal digits.\n";
constexpr std::string_view hash_message =
    "The Raspberry Pi would cut this answer at a # that follows a double quote.\n";

// The ISO 3166-1 alpha-2 codes of tzdata's iso3166.tab (release 2025b, whose list last changed on
// 2023-09-06), sorted as there. The board's first boot switches Wi-Fi on only for a country code
// it finds at the start of a line of that file, so no other code is accepted; the daemon would
// take any two bytes. A test compares this table with the file.
constexpr std::array<std::string_view, 249> iso3166_codes{
    "AD", "AE", "AF", "AG", "AI", "AL", "AM", "AO", "AQ", "AR", "AS", "AT", "AU", "AW", "AX", "AZ",
    "BA", "BB", "BD", "BE", "BF", "BG", "BH", "BI", "BJ", "BL", "BM", "BN", "BO", "BQ", "BR", "BS",
    "BT", "BV", "BW", "BY", "BZ", "CA", "CC", "CD", "CF", "CG", "CH", "CI", "CK", "CL", "CM", "CN",
    "CO", "CR", "CU", "CV", "CW", "CX", "CY", "CZ", "DE", "DJ", "DK", "DM", "DO", "DZ", "EC", "EE",
    "EG", "EH", "ER", "ES", "ET", "FI", "FJ", "FK", "FM", "FO", "FR", "GA", "GB", "GD", "GE", "GF",
    "GG", "GH", "GI", "GL", "GM", "GN", "GP", "GQ", "GR", "GS", "GT", "GU", "GW", "GY", "HK", "HM",
    "HN", "HR", "HT", "HU", "ID", "IE", "IL", "IM", "IN", "IO", "IQ", "IR", "IS", "IT", "JE", "JM",
    "JO", "JP", "KE", "KG", "KH", "KI", "KM", "KN", "KP", "KR", "KW", "KY", "KZ", "LA", "LB", "LC",
    "LI", "LK", "LR", "LS", "LT", "LU", "LV", "LY", "MA", "MC", "MD", "ME", "MF", "MG", "MH", "MK",
    "ML", "MM", "MN", "MO", "MP", "MQ", "MR", "MS", "MT", "MU", "MV", "MW", "MX", "MY", "MZ", "NA",
    "NC", "NE", "NF", "NG", "NI", "NL", "NO", "NP", "NR", "NU", "NZ", "OM", "PA", "PE", "PF", "PG",
    "PH", "PK", "PL", "PM", "PN", "PR", "PS", "PT", "PW", "PY", "QA", "RE", "RO", "RS", "RU", "RW",
    "SA", "SB", "SC", "SD", "SE", "SG", "SH", "SI", "SJ", "SK", "SL", "SM", "SN", "SO", "SR", "SS",
    "ST", "SV", "SX", "SY", "SZ", "TC", "TD", "TF", "TG", "TH", "TJ", "TK", "TL", "TM", "TN", "TO",
    "TR", "TT", "TV", "TW", "TZ", "UA", "UG", "UM", "US", "UY", "UZ", "VA", "VC", "VE", "VG", "VI",
    "VN", "VU", "WF", "WS", "YE", "YT", "ZA", "ZM", "ZW"};

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

std::span<const std::string_view> country_codes() {
    return iso3166_codes;
}

std::string_view country_refusal(std::string_view country) {
    return std::binary_search(iso3166_codes.begin(), iso3166_codes.end(), country)
               ? std::string_view{}
               : country_message;
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
