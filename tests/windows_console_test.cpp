#include "windows_console.h"

#include "expected_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

namespace tolvenix {
namespace {

// A console after Ctrl-Z: its first read reports the end of the input, and a later read waits
// for the console again, here for the Enter that closes the window.
class console_after_ctrl_z : public std::streambuf {
public:
    int reads = 0;

protected:
    int_type underflow() override {
        ++reads;
        if (reads == 1) {
            return traits_type::eof();
        }
        setg(enter_.data(), enter_.data(), enter_.data() + enter_.size());
        return traits_type::to_int_type(enter_[0]);
    }

private:
    std::string enter_ = "\n";
};

TEST(KeepWindowOpen, AsksAndWaitsForEnterEvenAfterTheInputEnded) {
    console_after_ctrl_z console;
    std::istream in{&console};
    std::ostringstream out;
    in.ignore();  // the dialogue meets the end of the input
    ASSERT_TRUE(in.eof());

    keep_window_open(in, out, true);

    EXPECT_EQ(out.str(), "\n" + expected::close_prompt);
    EXPECT_EQ(console.reads, 2) << "the window closed without waiting for Enter";
}

}  // namespace
}  // namespace tolvenix
