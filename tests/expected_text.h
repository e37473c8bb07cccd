#pragma once

// The console texts as a user sees them, spelled out independently of the
// program's own constants so that a change to either shows up.
#include <cstddef>
#include <string>

namespace tolvenix::expected {

// clang-format off
inline const std::string banner =
    std::string(70, '=') + "\n" +
    "|" + std::string(68, ' ') + "|\n" +
    "|" + std::string(25, ' ') + "Virevidi Rozazu" + std::string(28, ' ') + "|\n" +
    "|" + std::string(68, ' ') + "|\n" +
    "|" + std::string(14, ' ') + "< Version 1.00 >" + std::string(5, ' ') + "by Dravelmontics" +
        std::string(17, ' ') + "|\n" +
    "|" + std::string(68, ' ') + "|\n" +
    std::string(70, '=') + "\n" +
    "This program will configure Tolvenix with your WiFi parameters.\n\n"
    "Please enter the required information below:\n";
// clang-format on

inline const std::string country_prompt = "Enter your 2-letter country code: ";
inline const std::string ssid_prompt = "Enter your WiFi SSID: ";
inline const std::string password_prompt = "Enter your WiFi password: ";
inline const std::string all_prompts = country_prompt + ssid_prompt + password_prompt;

inline const std::string config_progress = "\n...generating wpa_supplicant.conf file...\n";
inline const std::string ssh_progress = "...generating empty ssh file...\n";
inline const std::string config_error = "Error: can not create \"wpa_supplicant.conf\" file.";
inline const std::string ssh_error = "Error: can not create empty \"ssh\" file.";
inline const std::string input_ended = "\nError: input ended before all answers were given.\n";
inline const std::string closing =
    "All done!\n"
    "Insert Tolvenix into your Raspberry Pi and power it on.\n"
    "You can SSH login with \"ssh pi@raspberrypi.local\" later.\n\n";

// A text as it lies in a file written in text mode: Windows writes every
// newline as CR LF.
inline std::string as_text_file(const std::string& text) {
#ifdef _WIN32
    std::string converted;
    for (const char character : text) {
        if (character == '\n') {
            converted.push_back('\r');
        }
        converted.push_back(character);
    }
    return converted;
#else
    return text;
#endif
}

// Size of wpa_supplicant.conf for GB, HomeNet and a ten-character password:
// 132 bytes plus the answers, and one more byte per line on Windows.
#ifdef _WIN32
inline constexpr std::size_t typical_config_size = 160;
#else
inline constexpr std::size_t typical_config_size = 151;
#endif

}  // namespace tolvenix::expected
