#pragma once

#include <iosfwd>

namespace tolvenix {

// Exit statuses of a run.
enum class setup_status : int {
    done = 0,
    network_config_not_created = 1,
    ssh_marker_not_created = 2,
    input_ended = 3,
};

// Runs one whole setup: greet, ask, write both files, say what comes next.
// Only argument zero is used; it decides where the files go. Returns the
// exit status (see setup_status).
[[nodiscard]] int run_setup(int argc, const char* const argv[], std::istream& in,
                            std::ostream& out);

}  // namespace tolvenix
