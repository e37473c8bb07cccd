#include "setup_run.h"

#include "console_dialogue.h"
#include "output_files.h"
#include "process_guards.h"
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

// Both files are written under one hold: a hangup, Ctrl-C or any other signal that arrives once
// the answers are in ends the run only when the card is fully set or the run has failed, never
// between the two files or with a temporary file holding the password. The console is written
// to only before the files are touched and once both are done: a terminal stopped with Ctrl-S
// can then hold up only the end of a run whose card is complete.
setup_status write_both_files(const std::optional<std::string>& output_dir,
                              const wifi_answers& answers, std::ostream& out) {
    print_writing_started(out);
    const signal_hold hold;
    const replacement config = write_network_config(output_dir, answers);
    const bool ssh_created = config.replaced && write_ssh_marker(output_dir);
    print_files_written(config, ssh_created, out);
    if (!config.replaced) {
        return setup_status::network_config_not_created;
    }
    return ssh_created ? setup_status::done : setup_status::ssh_marker_not_created;
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
    const setup_status written = write_both_files(output_dir, answers, out);
    if (written != setup_status::done) {
        return exit_status(written);
    }
    out << closing_lines << std::flush;
    return exit_status(setup_status::done);
}

}  // namespace tolvenix
