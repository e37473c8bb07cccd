#include "setup_run.h"

#include "console_dialogue.h"
#include "output_files.h"
#include "wifi_answers.h"

#include <istream>
#include <ostream>

namespace tolvenix {

namespace {

constexpr std::string_view input_ended_message =
    "\nError: input ended before all answers were given.\n";

constexpr std::string_view closing_lines =
    "All done!\n"
    "Insert Tolvenix into your Raspberry Pi and power it on.\n"
    "You can SSH login with \"ssh pi@raspberrypi.local\" later.\n\n";

int exit_status(setup_status status) {
    return static_cast<int>(status);
}

}  // namespace

int run_setup(int argc, const char* const argv[], std::istream& in, std::ostream& out,
              output_location location) {
    const char* const argument_zero = argc > 0 ? argv[0] : nullptr;
    const auto output_dir = location == output_location::beside_program
                                ? resolve_output_dir(argument_zero)
                                : std::nullopt;

    print_banner(out);
    wifi_answers answers;
    if (!ask_answers(in, out, answers)) {
        out << input_ended_message << std::flush;
        return exit_status(setup_status::input_ended);
    }
    if (!write_network_config(output_dir, answers, out)) {
        return exit_status(setup_status::network_config_not_created);
    }
    if (!write_ssh_marker(output_dir, out)) {
        return exit_status(setup_status::ssh_marker_not_created);
    }
    out << closing_lines << std::flush;
    return exit_status(setup_status::done);
}

}  // namespace tolvenix
