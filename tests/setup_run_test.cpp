#include "setup_run.h"
#include "expected_text.h"
#include "temporary_directory.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace tolvenix {
namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::temporary_directory;

const std::string typical_answers = "GB\nHomeNet\n0123456789\n";

struct run_result {
    int status;
    std::string output;
};

run_result run(const std::vector<std::string>& arguments, const std::string& input) {
    std::vector<const char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    std::istringstream in{input};
    std::ostringstream out;
    const int status = run_setup(static_cast<int>(arguments.size()), argv.data(), in, out);
    return {status, out.str()};
}

// Runs from inside the test's directory as well as naming it in argument
// zero: Windows paths never choose a directory, so there the files go to the
// working directory.
class SetupRun : public testing::Test {
protected:
    void SetUp() override { fs::current_path(directory.path()); }
    void TearDown() override { fs::current_path(previous_directory); }

    fs::path previous_directory = fs::current_path();
    temporary_directory directory;
    std::string program = (directory.path() / "tolvenix-setup").string();
};

TEST_F(SetupRun, SuccessPrintsEverythingInOrderAndWritesBothFiles) {
    const auto result = run({program, "--ignored", "extra"}, typical_answers);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::ssh_progress + expected::closing);
    EXPECT_EQ(read_file(directory.path() / "wpa_supplicant.conf").size(),
              expected::typical_config_size);
    EXPECT_EQ(fs::file_size(directory.path() / "ssh"), 0U);
}

TEST_F(SetupRun, ConfigFailureEndsWithStatusOne) {
    fs::create_directory(directory.path() / "wpa_supplicant.conf");

    const auto result = run({program}, typical_answers);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::config_error);
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"wpa_supplicant.conf"});
}

TEST_F(SetupRun, SshFailureEndsWithStatusTwoAndKeepsTheConfig) {
    fs::create_directory(directory.path() / "ssh");

    const auto result = run({program}, typical_answers);

    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::ssh_progress + expected::ssh_error);
    EXPECT_EQ(read_file(directory.path() / "wpa_supplicant.conf").size(),
              expected::typical_config_size);
}

TEST_F(SetupRun, EndOfInputEndsWithStatusThreeAndNoFile) {
    const auto result = run({program}, "GB\nHomeNet\n");

    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::input_ended);
    EXPECT_TRUE(directory.entries().empty());
}

TEST_F(SetupRun, InstalledAmongSystemProgramsAnAbsolutePathStillMeansTheWorkingDirectory) {
    const auto elsewhere = directory.path() / "bin";
    fs::create_directory(elsewhere);
    const std::string installed = (elsewhere / "tolvenix-setup").string();
    const char* const arguments[] = {installed.c_str(), nullptr};
    std::istringstream in{typical_answers};
    std::ostringstream out;

    EXPECT_EQ(run_setup(1, arguments, in, out, output_location::working_directory), 0);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"bin", "ssh", "wpa_supplicant.conf"}));
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(SetupRun, WithoutArgumentsUsesTheWorkingDirectory) {
    std::istringstream in{typical_answers};
    std::ostringstream out;
    const char* const no_arguments[] = {nullptr};

    EXPECT_EQ(run_setup(0, no_arguments, in, out), 0);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"ssh", "wpa_supplicant.conf"}));
}

}  // namespace
}  // namespace tolvenix
