#include "setup_run.h"
#include "temporary_directory.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tolvenix {
namespace {

namespace fs = std::filesystem;
using testing_support::temporary_directory;

const std::string typical_answers = "GB\nHomeNet\n0123456789\n";

// Where the files go when the run is told to write into the working directory, or has no
// argument zero (statuses and output are proven end to end, on the built program). Runs from
// inside the test's directory.
class SetupRun : public testing::Test {
protected:
    void SetUp() override { fs::current_path(directory.path()); }
    void TearDown() override { fs::current_path(previous_directory); }

    fs::path previous_directory = fs::current_path();
    temporary_directory directory;
    std::string program = (directory.path() / "tolvenix-setup").string();
};

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
