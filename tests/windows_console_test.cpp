#include "windows_console.h"

#include "expected_text.h"
#include "process_guards.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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

// The hold under a console of the process's own: an interrupt raised inside it must leave the
// process alive until the hold ends, and then end it as the event asks. Nothing under Wine can
// slow a file write, so the hold is taken here with nothing inside it but the event.
[[noreturn]] void interrupt_inside_the_hold(DWORD event) {
    FreeConsole();
    if (AllocConsole() == FALSE || SetConsoleCtrlHandler(nullptr, FALSE) == FALSE) {
        std::fputs("no console of its own\n", stderr);
        std::exit(2);
    }
    prepare_process();
    {
        const signal_hold hold;
        GenerateConsoleCtrlEvent(event, 0);
        Sleep(1000);  // the event's handler thread has long started meanwhile
        std::fputs("alive at the end of the hold\n", stderr);
    }
    Sleep(5000);
    std::exit(3);  // the event was lost
}

constexpr int control_c_exit = static_cast<int>(STATUS_CONTROL_C_EXIT);

TEST(SignalHoldDeathTest, AConsoleInterruptWaitsForTheEndOfTheHoldThenEndsTheProcess) {
    EXPECT_EXIT(interrupt_inside_the_hold(CTRL_C_EVENT), testing::ExitedWithCode(control_c_exit),
                "alive at the end of the hold");
    // Windows ends the process with the same status for Ctrl-Break; Wine's default with 0.
    EXPECT_EXIT(interrupt_inside_the_hold(CTRL_BREAK_EVENT),
                [](int status) { return status == control_c_exit || status == 0; },
                "alive at the end of the hold");
}

}  // namespace
}  // namespace tolvenix
