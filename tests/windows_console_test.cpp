#include "windows_console.h"

#include "case_name.h"
#include "expected_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace tolvenix {
namespace {

struct decoding_case {
    const char* name;
    std::vector<std::wstring> reads;  // what successive console reads return
    std::string utf8;
    bool input_goes_on;
};

class ConsoleTextDecoder : public testing::TestWithParam<decoding_case> {};

TEST_P(ConsoleTextDecoder, DeliversWhatWasTypedAsUtf8) {
    console_text_decoder decoder;
    std::string utf8;
    bool goes_on = true;
    for (const auto& read : GetParam().reads) {
        goes_on = decoder.decode(read, utf8);
    }
    EXPECT_EQ(utf8, GetParam().utf8);
    EXPECT_EQ(goes_on, GetParam().input_goes_on);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ConsoleTextDecoder,
    testing::Values(
        decoding_case{"LineEndBecomesNewline", {L"GB\r\n"}, "GB\n", true},
        decoding_case{"LineEndSplitAcrossReads", {L"GB\r", L"\n"}, "GB\n", true},
        decoding_case{"LoneCarriageReturnKept", {L"a\rb"}, "a\rb", true},
        decoding_case{"AccentsAndSymbols",
                      {L"Caf\u00e9_\u2615 p\u00e4ssw\u00f6rd123\r\n"},
                      "Caf\xc3\xa9_\xe2\x98\x95 p\xc3\xa4ssw\xc3\xb6rd123\n",
                      true},
        decoding_case{"PairInOneRead", {L"Net\xD83D\xDCF6\r\n"}, "Net\xF0\x9F\x93\xB6\n", true},
        decoding_case{
            "PairSplitAcrossReads", {L"Net\xD83D", L"\xDCF6\r\n"}, "Net\xF0\x9F\x93\xB6\n", true},
        decoding_case{"UnpairedHalvesBecomeReplacements",
                      {L"a\xDCF6"
                       L"b\xD83D"
                       L"c"},
                      "a\xEF\xBF\xBD"
                      "b\xEF\xBF\xBD"
                      "c",
                      true},
        decoding_case{"CtrlZAtLineStartEndsTheInput", {L"\x1A\r\n"}, "", false},
        decoding_case{
            "CtrlZEndsTheInputWhereItStands", {L"GB\r\n", L"Net\x1A more\r\n"}, "GB\nNet", false}),
    testing_support::case_name{});

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
