#include "setup_run.h"

#include <iostream>

namespace {

// The packaged build is installed among the system's programs (/usr/bin):
// it writes into the working directory, never beside itself.
#ifdef TOLVENIX_SYSTEM_INSTALL
constexpr auto output_location = tolvenix::output_location::working_directory;
#else
constexpr auto output_location = tolvenix::output_location::beside_program;
#endif

}  // namespace

int main(int argc, char* argv[]) {
    // The answers are read through the stream's own buffer rather than
    // character by character through C stdio, so even a huge pasted line is
    // skipped quickly. Every message is flushed explicitly before a read.
    std::ios::sync_with_stdio(false);
    return tolvenix::run_setup(argc, argv, std::cin, std::cout, output_location);
}
