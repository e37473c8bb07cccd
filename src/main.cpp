#include "process_guards.h"
#include "setup_run.h"

#include <iostream>
#include <istream>
#include <ostream>

#ifdef _WIN32
#include "windows_console.h"
#else
#include "descriptor_streams.h"
#endif

namespace {

// The packaged build is installed among the system's programs (/usr/bin):
// it writes into the working directory, never beside itself.
#ifdef TOLVENIX_SYSTEM_INSTALL
constexpr auto output_location = tolvenix::output_location::working_directory;
#else
constexpr auto output_location = tolvenix::output_location::beside_program;
#endif

#ifdef _WIN32
// A console hands the C runtime the typed text in its old code page, which
// cannot hold most of what may be typed; its own wide interface gives the
// text as typed, which goes on as UTF-8. Piped input goes through as it is,
// byte for byte: a Ctrl-Z byte is not its end, and CRs are kept but the one
// before a line feed, as on POSIX.
// A window opened for this program alone closes when it exits, so it waits
// for Enter first: its user has to read how the run ended.
int run_on_windows(int argc, char* argv[]) {
    if (!tolvenix::standard_input_is_console()) {
        tolvenix::read_standard_input_as_bytes();
        return tolvenix::run_setup(argc, argv, std::cin, std::cout, output_location);
    }
    tolvenix::console_input_buffer console;
    std::istream typed{&console};
    const int status = tolvenix::run_setup(argc, argv, typed, std::cout, output_location);
    if (tolvenix::console_belongs_to_this_process_alone()) {
        // The two file errors are the only last messages without a line end.
        const bool line_open =
            status == static_cast<int>(tolvenix::setup_status::network_config_not_created) ||
            status == static_cast<int>(tolvenix::setup_status::ssh_marker_not_created);
        tolvenix::keep_window_open(typed, std::cout, line_open);
    }
    return status;
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
    tolvenix::prepare_process();
#ifdef _WIN32
    // The answers are read through the stream's own buffer rather than character by character
    // through C stdio, so even a huge pasted line is skipped quickly. Every message is flushed
    // explicitly before a read.
    std::ios::sync_with_stdio(false);
    return run_on_windows(argc, argv);
#else
    // Descriptors 0 and 1 as they are, whatever their flags: nothing here changes them.
    tolvenix::descriptor_input_buffer input{0};
    tolvenix::descriptor_output_buffer output{1};
    std::istream in{&input};
    std::ostream out{&output};
    const int status = tolvenix::run_setup(argc, argv, in, out, output_location);
    out.flush();
    return status;
#endif
}
