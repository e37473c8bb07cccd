#include "windows_console.h"

#include "expected_text.h"
#include "process_guards.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

// Whether this runs under Wine, whose default console handler ends a process with status 0
// where Windows' gives STATUS_CONTROL_C_EXIT.
bool under_wine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The hold under a console of the process's own: a Ctrl-C raised inside it must leave the
// process alive until the hold ends, and then end it before anything else of the run happens.
// Nothing under Wine can slow a file write, so the hold holds nothing but the event. (Wine
// cannot raise a Ctrl-Break this way: GenerateConsoleCtrlEvent refuses it.)
[[noreturn]] void ctrl_c_inside_the_hold() {
    FreeConsole();
    if (AllocConsole() == FALSE || SetConsoleCtrlHandler(nullptr, FALSE) == FALSE) {
        std::fputs("no console of its own\n", stderr);
        std::exit(2);
    }
    prepare_process();
    {
        const signal_hold hold;
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        Sleep(1000);  // the event's handler thread has long started meanwhile
        std::fputs("alive at the end of the hold\n", stderr);
    }
    std::fputs("the run went on\n", stderr);
    Sleep(5000);
    std::exit(3);  // the event was lost
}

TEST(SignalHoldDeathTest, ACtrlCWaitsForTheEndOfTheHoldThenEndsTheProcessAtOnce) {
    const int ended_by_ctrl_c = under_wine() ? 0 : static_cast<int>(STATUS_CONTROL_C_EXIT);
    EXPECT_EXIT(ctrl_c_inside_the_hold(), testing::ExitedWithCode(ended_by_ctrl_c),
                "alive at the end of the hold\n$");
}

}  // namespace
}  // namespace tolvenix
