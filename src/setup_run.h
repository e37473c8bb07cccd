#pragma once

// One whole run of the program, from the start path to the exit status.
#include <iosfwd>

namespace tolvenix {

// Exit statuses of a run.
enum class setup_status : int {
    done = 0,
    network_config_not_created = 1,
    ssh_marker_not_created = 2,
    input_ended = 3,
};

// Where a program started by an absolute path puts the files.
enum class output_location {
    // In the directory that holds the program: a copy on the card is
    // started there, and the files land beside it.
    beside_program,
    // In the working directory, whatever the start path: a program installed
    // among the system's programs must never write into their directory.
    working_directory,
};

// Runs one whole setup: greet, ask, write both files, say what comes next.
// Only argument zero is used; with `beside_program` it decides where the
// files go. Returns the exit status (see setup_status).
[[nodiscard]] int run_setup(int argc, const char* const argv[], std::istream& in, std::ostream& out,
                            output_location location = output_location::beside_program);

}  // namespace tolvenix
