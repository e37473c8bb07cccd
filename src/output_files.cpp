#include "output_files.h"

#include <ostream>

namespace tolvenix {

namespace {

constexpr std::string_view config_error_message =
    "Error: can not create \"wpa_supplicant.conf\" file.";
constexpr std::string_view ssh_error_message = "Error: can not create empty \"ssh\" file.";

// A raw key goes in unquoted; every other password is a quoted passphrase.
std::string psk_value(std::string_view password) {
    if (is_raw_key(password)) {
        return std::string{password};
    }
    std::string quoted{"\""};
    quoted.append(password);
    quoted.push_back('"');
    return quoted;
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

void print_writing_started(std::ostream& out) {
    out << "\n...generating wpa_supplicant.conf file...\n" << std::flush;
}

replacement write_network_config(const std::optional<std::string>& output_dir,
                                 const wifi_answers& answers) {
    return replace_file_safely(compose_output_path(output_dir, network_config_name),
                               render_network_config(answers));
}

bool write_ssh_marker(const std::optional<std::string>& output_dir) {
    return create_empty_regular_file(compose_output_path(output_dir, ssh_marker_name));
}

void print_files_written(const replacement& config, bool ssh_created, std::ostream& out) {
    if (!config.replaced) {
        out << config_error_message;
        if (!config.left_behind.empty()) {
            out << "\nThe password is still in \"" << config.left_behind << "\": delete that file.";
        }
    } else {
        out << "...generating empty ssh file...\n";
        if (!ssh_created) {
            out << ssh_error_message;
        }
    }
    out << std::flush;
}

}  // namespace tolvenix
