#include "console_dialogue.h"
#include "expected_text.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

namespace tolvenix {
namespace {

using namespace std::string_literals;

struct dialogue_case {
    const char* name;
    std::string input;
    std::string country;
    std::string ssid;
    std::string password;
    // What the dialogue printed: the three prompts, and a refusal and its prompt again for
    // each refused answer.
    std::string output = expected::all_prompts;
};

class AskAnswers : public testing::TestWithParam<dialogue_case> {};

TEST_P(AskAnswers, StoresEachAcceptedAnswerByTheTokenAndLineRules) {
    const auto& param = GetParam();
    std::istringstream in{param.input};
    std::ostringstream out;
    wifi_answers answers;

    ASSERT_TRUE(ask_answers(in, out, answers));

    EXPECT_EQ(answer_text(answers.country), param.country);
    EXPECT_EQ(answer_text(answers.ssid), param.ssid);
    EXPECT_EQ(answer_text(answers.password), param.password);
    EXPECT_EQ(out.str(), param.output);
}

const std::string ssid_32 = "abcdefghijklmnopqrstuvwxyz012345";
const std::string raw_key = std::string(60, 'a') + "0F9b";

INSTANTIATE_TEST_SUITE_P(
    TokenAndLineRules, AskAnswers,
    testing::Values(
        dialogue_case{"Typical", "GB\nHomeNet\nsecret1234\n", "GB", "HomeNet", "secret1234"},
        dialogue_case{"NulEndsCountryWord", "GB\0X\nnet\npassword\n"s, "GB", "net", "password"},
        dialogue_case{"RestOfCountryLineDiscarded", "GB HomeNet\nOther\npassword\n", "GB", "Other",
                      "password"},
        dialogue_case{"EmptyLinesSkipped", "\n\n \t\nGB\n\n\nnet\n\r\n\npassword\n", "GB", "net",
                      "password"},
        dialogue_case{"LeadingBlanksSkipped", "   GB\n\t net\n \v\f password\n", "GB", "net",
                      "password"},
        dialogue_case{"SpacesInsideAndAtTheEndKept", "GB\nMy\tHome Net \ncorrect horse  \n", "GB",
                      "My\tHome Net ", "correct horse  "},
        dialogue_case{"SsidOf32WithCrLf", "GB\r\n" + ssid_32 + "\r\npassword\r\n", "GB", ssid_32,
                      "password"},
        dialogue_case{"OnlyOneCarriageReturnDropped", "GB\nnet\r\r\npassword\r\n", "GB", "net\r",
                      "password"},
        dialogue_case{"RawKeyOf64Digits", "GB\nnet\n" + raw_key + "\r\n", "GB", "net", raw_key},
        dialogue_case{"HighBytesKept", "GB\ncaf\xc3\xa9\n\xff\x80password\n", "GB", "caf\xc3\xa9",
                      "\xff\x80password"},
        dialogue_case{"QuotesAndBackslashesKept", "GB\na\"b\\c\np#$&'\"x\"#\n", "GB", "a\"b\\c",
                      "p#$&'\"x\"#"},
        dialogue_case{"NulEndsAnswerAndItsLine", "GB\nHome\0Net\npassword\0tail\r\n"s, "GB", "Home",
                      "password"},
        dialogue_case{"CarriageReturnBeforeNulKept", "GB\nHome\r\0Net\npassword\n"s, "GB", "Home\r",
                      "password"},
        dialogue_case{"LastAnswerWithoutNewline", "GB\nnet\npassword", "GB", "net", "password"},
        dialogue_case{"CarriageReturnAtTheVeryEndDropped", "GB\nnet\npassword\r", "GB", "net",
                      "password"}),
    testing_support::case_name{});

using expected::country_prompt;
using expected::password_prompt;
using expected::ssid_prompt;

// A refused answer is told why, its whole line is consumed, and the same question comes again.
INSTANTIATE_TEST_SUITE_P(
    RefusalLoop, AskAnswers,
    testing::Values(
        // A word longer than a code is refused whole, never cut into another code (AUT is not
        // AU), and the rest of its line goes with it.
        dialogue_case{"CountryRefusedUntilACode", "G\nAUT\nUnited Kingdom\nAT\nnet\npassword\n",
                      "AT", "net", "password",
                      country_prompt + expected::country_refused + country_prompt +
                          expected::country_refused + country_prompt + expected::country_refused +
                          expected::all_prompts},
        dialogue_case{
            "LongSsidLineConsumed", "GB\n" + std::string(100'000, 's') + "\nnet\npassword\n", "GB",
            "net", "password",
            country_prompt + ssid_prompt + expected::ssid_refused + ssid_prompt + password_prompt},
        dialogue_case{
            "SsidLineStartingWithNul", "GB\n\0HomeNet\nnet\npassword\n"s, "GB", "net", "password",
            country_prompt + ssid_prompt + expected::ssid_refused + ssid_prompt + password_prompt},
        dialogue_case{"ShortPassword", "GB\nnet\nshort\n\npassword\n", "GB", "net", "password",
                      expected::all_prompts + expected::password_refused + password_prompt},
        dialogue_case{"RawKeyThenCrAndAByte", "GB\nnet\n" + raw_key + "\rX\npassword\n", "GB",
                      "net", "password",
                      expected::all_prompts + expected::password_refused + password_prompt}),
    testing_support::case_name{});

struct ended_case {
    const char* name;
    std::string input;
    std::string output;
};

class InputEnds : public testing::TestWithParam<ended_case> {};

TEST_P(InputEnds, ReportsTheMissingAnswerAfterTheLastPrompt) {
    std::istringstream in{GetParam().input};
    std::ostringstream out;
    wifi_answers answers;

    EXPECT_FALSE(ask_answers(in, out, answers));
    EXPECT_EQ(out.str(), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    BeforeAllAnswers, InputEnds,
    testing::Values(
        ended_case{"Empty", "", expected::country_prompt},
        ended_case{"OnlyBlankLines", "\n \n\t\n", expected::country_prompt},
        ended_case{"AfterCountryWithoutNewline", "GB",
                   expected::country_prompt + expected::ssid_prompt},
        ended_case{"AfterCountry", "GB\n", expected::country_prompt + expected::ssid_prompt},
        ended_case{"AfterSsid", "GB\nnet\n  \n", expected::all_prompts},
        ended_case{"CountryLineWithManyWords", "GB a b c d",
                   expected::country_prompt + expected::ssid_prompt},
        ended_case{"AfterRefusedLastLine", "GB\nnet\nshort",
                   expected::all_prompts + expected::password_refused + expected::password_prompt}),
    testing_support::case_name{});

TEST(ReadToken, NeverWritesPastItsField) {
    std::istringstream in{"abcdefgh"};
    std::array<char, 4> field{'x', 'x', 'x', 'x'};

    ASSERT_TRUE(read_token(in, 10, std::span<char>{field.data(), 3}));

    EXPECT_EQ(std::string(field.data()), "ab");
    EXPECT_EQ(field[3], 'x');
}

TEST(ReadToken, LeavesTheTerminatorAndTheTailInTheInput) {
    std::istringstream in{"  abcdef ghi\n"};
    std::array<char, 8> field{};

    ASSERT_TRUE(read_token(in, 3, field));
    EXPECT_EQ(std::string(field.data()), "abc");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "def ghi");
}

// A stream buffer whose reads fail the way a file buffer's do on a closed
// descriptor: by throwing, here once `text` has been read.
class failing_buffer : public std::streambuf {
public:
    explicit failing_buffer(std::string text = {}) : text_{std::move(text)} {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }

private:
    std::string text_;
};

TEST(AskAnswers, AFailingReadBeforeOrInsideALineCountsAsTheEndOfInput) {
    for (const char* const text : {"GB\n", "GB\nnet"}) {
        failing_buffer buffer{text};
        std::istream in{&buffer};
        std::ostringstream out;
        wifi_answers answers;

        EXPECT_FALSE(ask_answers(in, out, answers)) << text;
        EXPECT_TRUE(in.bad()) << text;
        EXPECT_EQ(answer_text(answers.ssid), "") << text;
    }
}

TEST(ReadToken, AFailingReadCountsAsTheEndOfInput) {
    failing_buffer buffer;
    std::istream in{&buffer};
    std::array<char, 3> field{'x', 'x', 'x'};

    EXPECT_FALSE(read_token(in, 2, field));
    EXPECT_EQ(field[0], '\0');
    EXPECT_TRUE(in.bad());
}

TEST(DiscardRestOfLine, StopsAfterTheNewlineOrAtTheEnd) {
    std::istringstream in{"tail of line\nnext"};
    discard_rest_of_line(in);
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "next");

    std::istringstream unterminated{"no newline here"};
    discard_rest_of_line(unterminated);
    EXPECT_TRUE(unterminated.eof());
}

}  // namespace
}  // namespace tolvenix
