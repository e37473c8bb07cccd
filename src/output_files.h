#pragma once

// The two output files: where they go, what wpa_supplicant.conf says, and writing both.
#include "safe_files.h"
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

// The progress line printed before either file is touched.
void print_writing_started(std::ostream& out);

// Writes wpa_supplicant.conf into the output directory, replacing any earlier one only once the
// new file is complete. Prints nothing: nothing waits on the console while the files are written.
[[nodiscard]] replacement write_network_config(const std::optional<std::string>& output_dir,
                                               const wifi_answers& answers);

// Creates the empty "ssh" file in the output directory, truncating any earlier one. Prints
// nothing. Returns false on any failure.
[[nodiscard]] bool write_ssh_marker(const std::optional<std::string>& output_dir);

// What follows the first progress line once both files are done, in the order of the work: the
// ssh file's progress line once wpa_supplicant.conf is in place, and the error of whichever
// failed, with the name of a temporary file that still holds the password.
void print_files_written(const replacement& config, bool ssh_created, std::ostream& out);

}  // namespace tolvenix
