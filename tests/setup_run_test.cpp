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

class SetupRun : public testing::Test {
protected:
    temporary_directory directory;
    std::string program = (directory.path() / "tolvenix-setup").string();
};

TEST_F(SetupRun, SuccessPrintsEverythingInOrderAndWritesBothFiles) {
    const auto result = run({program, "--ignored", "extra"}, typical_answers);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::ssh_progress + expected::closing);
    EXPECT_EQ(read_file(directory.path() / "wpa_supplicant.conf").size(), 151U);
    EXPECT_EQ(fs::file_size(directory.path() / "ssh"), 0U);
}

TEST_F(SetupRun, ConfigFailureEndsWithStatusOne) {
    const std::string missing = (directory.path() / "missing" / "tolvenix-setup").string();

    const auto result = run({missing}, typical_answers);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::config_error);
}

TEST_F(SetupRun, SshFailureEndsWithStatusTwoAndKeepsTheConfig) {
    fs::create_directory(directory.path() / "ssh");

    const auto result = run({program}, typical_answers);

    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::config_progress +
                                 expected::ssh_progress + expected::ssh_error);
    EXPECT_EQ(read_file(directory.path() / "wpa_supplicant.conf").size(), 151U);
}

TEST_F(SetupRun, EndOfInputEndsWithStatusThreeAndNoFile) {
    const auto result = run({program}, "GB\nHomeNet\n");

    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.output, expected::banner + expected::all_prompts + expected::input_ended);
    EXPECT_TRUE(directory.entries().empty());
}

TEST(SetupRunWithoutArguments, UsesTheWorkingDirectory) {
    temporary_directory directory;
    const auto previous = fs::current_path();
    fs::current_path(directory.path());
    std::istringstream in{typical_answers};
    std::ostringstream out;
    const char* const no_arguments[] = {nullptr};

    const int status = run_setup(0, no_arguments, in, out);

    fs::current_path(previous);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"ssh", "wpa_supplicant.conf"}));
}

}  // namespace
}  // namespace tolvenix
