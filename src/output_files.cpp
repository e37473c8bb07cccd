#include "output_files.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <system_error>

namespace tolvenix {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view config_error_message =
    "Error: can not create \"wpa_supplicant.conf\" file.";
constexpr std::string_view ssh_error_message = "Error: can not create empty \"ssh\" file.";

// A 64-digit hexadecimal password is a raw pre-shared key, which the daemon
// only accepts unquoted; it rejects a quoted passphrase of that length.
constexpr std::size_t raw_key_length = 64;

bool is_raw_key(std::string_view password) {
    return password.size() == raw_key_length &&
           std::all_of(password.begin(), password.end(), [](char digit) {
               return (digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f') ||
                      (digit >= 'A' && digit <= 'F');
           });
}

std::string psk_value(std::string_view password) {
    if (is_raw_key(password)) {
        return std::string{password};
    }
    std::string quoted{"\""};
    quoted.append(password);
    quoted.push_back('"');
    return quoted;
}

// A name for the file the new configuration is written to before it takes
// the place of the old one. Random, so that two runs in one directory, or a
// leftover from a run that was killed, do not meet.
std::string temporary_name_for(const std::string& target_path) {
    constexpr unsigned bits_per_draw = 32;
    constexpr int suffix_length = 8;
    std::uint64_t noise = 0;
    try {
        std::random_device device;
        noise = (std::uint64_t{device()} << bits_per_draw) ^ device();
    } catch (const std::exception&) {
        // No entropy source: the clock still differs between runs.
    }
    noise ^= static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = target_path + ".";
    for (int position = 0; position < suffix_length; ++position) {
        name.push_back(digits[noise % digits.size()]);
        noise /= digits.size();
    }
    return name + ".tmp";
}

// A temporary path beside the target that no file or link holds yet.
std::optional<std::string> unused_temporary_path(const std::string& target_path) {
    constexpr int attempts = 8;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string candidate = temporary_name_for(target_path);
        std::error_code error;
        const auto status = fs::symlink_status(candidate, error);
        if (!fs::exists(status) && (!error || error == std::errc::no_such_file_or_directory)) {
            return candidate;
        }
    }
    return std::nullopt;
}

// Opens a new, owner-only file for the secret configuration. The mode is set
// before any byte is written; where the file system cannot hold it (FAT
// cards), the file simply keeps the mode the file system gives.
bool open_private_file(const std::string& path, std::ofstream& file) {
    file.open(path, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        return false;
    }
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                    ignored);
    return true;
}

// Writes `text` in text mode (CR LF line ends on Windows) and closes the
// file, reporting whether every byte reached the file system.
bool write_and_close(std::ofstream& file, std::string_view text) {
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.flush();
    const bool written = file.good();
    file.close();
    return written && !file.fail();
}

bool replace_file(const std::string& source, const std::string& target) {
    std::error_code error;
    fs::rename(source, target, error);
    return !error;
}

// Writes the configuration next to its target and moves it into place only
// when complete, so a failure leaves any earlier file exactly as it was.
bool write_file_atomically(const std::string& target_path, std::string_view text) {
    const auto temporary_path = unused_temporary_path(target_path);
    if (!temporary_path) {
        return false;
    }
    std::ofstream file;
    if (!open_private_file(*temporary_path, file)) {
        return false;
    }
    if (write_and_close(file, text) && replace_file(*temporary_path, target_path)) {
        return true;
    }
    std::error_code ignored;
    fs::remove(*temporary_path, ignored);
    return false;
}

bool create_empty_file(const std::string& path) {
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        return false;
    }
    file.close();
    return !file.fail();
}

}  // namespace

std::optional<std::string> resolve_output_dir(const char* argument_zero) {
    if (argument_zero == nullptr || argument_zero[0] != '/') {
        return std::nullopt;
    }
    const std::string_view path{argument_zero};
    return std::string{path.substr(0, path.rfind('/'))};
}

std::string compose_output_path(const std::optional<std::string>& output_dir,
                                std::string_view file_name) {
    std::string path;
    if (output_dir) {
        path.append(*output_dir).push_back('/');
    }
    path.append(file_name);
    return path;
}

std::string render_network_config(const wifi_answers& answers) {
    std::string text;
    text.append("country=").append(answer_text(answers.country)).append("\n");
    text.append("ctrl_interface=DIR=/var/run/wpa_supplicant GROUP=netdev\n");
    text.append("update_config=1\n\n");
    text.append("network={\n");
    text.append("  ssid=\"").append(answer_text(answers.ssid)).append("\"\n");
    text.append("  psk=").append(psk_value(answer_text(answers.password))).append("\n");
    text.append("  key_mgmt=WPA-PSK\n");
    text.append("}\n");
    return text;
}

bool write_network_config(const std::optional<std::string>& output_dir, const wifi_answers& answers,
                          std::ostream& out) {
    out << "\n...generating wpa_supplicant.conf file...\n" << std::flush;
    const std::string path = compose_output_path(output_dir, network_config_name);
    if (!write_file_atomically(path, render_network_config(answers))) {
        out << config_error_message << std::flush;
        return false;
    }
    return true;
}

bool write_ssh_marker(const std::optional<std::string>& output_dir, std::ostream& out) {
    out << "...generating empty ssh file...\n" << std::flush;
    if (!create_empty_file(compose_output_path(output_dir, ssh_marker_name))) {
        out << ssh_error_message << std::flush;
        return false;
    }
    return true;
}

}  // namespace tolvenix
