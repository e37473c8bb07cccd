#pragma once

// The two output files: where they go, what wpa_supplicant.conf says, and writing both.
#include "wifi_answers.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace tolvenix {

inline constexpr std::string_view network_config_name = "wpa_supplicant.conf";
inline constexpr std::string_view ssh_marker_name = "ssh";

// The directory that receives both files, from the path the program was
// started by. Only a path that begins with "/" names one: the part before
// its last "/" ("" for the root directory). Any other path, an empty one
// or none means the current working directory (no directory).
[[nodiscard]] std::optional<std::string> resolve_output_dir(const char* argument_zero);

// "<directory>/<file name>", or the bare file name when there is no directory.
[[nodiscard]] std::string compose_output_path(const std::optional<std::string>& output_dir,
                                              std::string_view file_name);

// The whole wpa_supplicant.conf text, with "\n" line ends.
[[nodiscard]] std::string render_network_config(const wifi_answers& answers);

// Writes wpa_supplicant.conf into the output directory, replacing any earlier
// one only once the new file is complete. Prints its progress line and, on
// failure, its error message. Returns false on any failure.
[[nodiscard]] bool write_network_config(const std::optional<std::string>& output_dir,
                                        const wifi_answers& answers, std::ostream& out);

// Creates the empty "ssh" file in the output directory, truncating any
// earlier one. Prints its progress line and, on failure, its error message.
[[nodiscard]] bool write_ssh_marker(const std::optional<std::string>& output_dir,
                                    std::ostream& out);

}  // namespace tolvenix
