#include "console_dialogue.h"
#include "expected_text.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tolvenix {
namespace {

using namespace std::string_literals;

struct dialogue_case {
    const char* name;
    std::string input;
    std::string country;
    std::string ssid;
    std::string password;
};

class AskAnswers : public testing::TestWithParam<dialogue_case> {};

TEST_P(AskAnswers, StoresEachAnswerByTheTokenAndLineRules) {
    const auto& param = GetParam();
    std::istringstream in{param.input};
    std::ostringstream out;
    wifi_answers answers;

    ASSERT_TRUE(ask_answers(in, out, answers));

    EXPECT_EQ(answer_text(answers.country), param.country);
    EXPECT_EQ(answer_text(answers.ssid), param.ssid);
    EXPECT_EQ(answer_text(answers.password), param.password);
    EXPECT_EQ(out.str(), expected::all_prompts);
}

const std::string ssid_32 = "abcdefghijklmnopqrstuvwxyz012345";
const std::string password_64 = std::string(60, 'p') + "wxyz";

INSTANTIATE_TEST_SUITE_P(
    TokenAndLineRules, AskAnswers,
    testing::Values(
        dialogue_case{"Typical", "GB\nHomeNet\nsecret1234\n", "GB", "HomeNet", "secret1234"},
        dialogue_case{"LowerCaseKept", "gb\nnet\npw\n", "gb", "net", "pw"},
        dialogue_case{"CountryCutToTwo", "GBR\nnet\npw\n", "GB", "net", "pw"},
        dialogue_case{"CountryNameCut", "United Kingdom\nnet\npw\n", "Un", "net", "pw"},
        dialogue_case{"OneCharacterCountry", "G\nnet\npw\n", "G", "net", "pw"},
        dialogue_case{"EmptyLinesSkipped", "\n\n \t\nGB\n\n\nnet\n\n\npw\n", "GB", "net", "pw"},
        dialogue_case{"LeadingBlanksSkipped", "   GB\n\t net\n \v\f pw\n", "GB", "net", "pw"},
        dialogue_case{"SsidOf32Whole", "GB\n" + ssid_32 + "\npw\n", "GB", ssid_32, "pw"},
        dialogue_case{"SsidOf33Cut", "GB\n" + ssid_32 + "Z\npw\n", "GB", ssid_32, "pw"},
        dialogue_case{"PasswordOf64Whole", "GB\nnet\n" + password_64 + "\n", "GB", "net",
                      password_64},
        dialogue_case{"PasswordOf65Cut", "GB\nnet\n" + password_64 + "Q\n", "GB", "net",
                      password_64},
        dialogue_case{"OneCharacterPassword", "GB\nnet\nx\n", "GB", "net", "x"},
        dialogue_case{"SsidCutAtSpace", "GB\nMy Home Net\npw\n", "GB", "My", "pw"},
        dialogue_case{"RestOfLineDiscarded", "GB HomeNet\nOther\npw x\n", "GB", "Other", "pw"},
        dialogue_case{"CarriageReturnsAreBlank", "GB\r\nnet\r\npw\r\n", "GB", "net", "pw"},
        dialogue_case{"HighBytesKept", "GB\ncaf\xc3\xa9\n\xff\x80pw\n", "GB", "caf\xc3\xa9",
                      "\xff\x80pw"},
        dialogue_case{"QuotesAndBackslashesKept", "GB\na\"b\\c\np#$&'\n", "GB", "a\"b\\c", "p#$&'"},
        dialogue_case{"NulEndsAnswer", "GB\nHome\0Net\npass\0word\n"s, "GB", "Home", "pass"},
        dialogue_case{"LastAnswerWithoutNewline", "GB\nnet\npw", "GB", "net", "pw"}),
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
    testing::Values(ended_case{"Empty", "", expected::country_prompt},
                    ended_case{"OnlyBlankLines", "\n \n\t\n", expected::country_prompt},
                    ended_case{"AfterCountryWithoutNewline", "GB",
                               expected::country_prompt + expected::ssid_prompt},
                    ended_case{"AfterCountry", "GB\n",
                               expected::country_prompt + expected::ssid_prompt},
                    ended_case{"AfterSsid", "GB\nnet\n  \n", expected::all_prompts},
                    ended_case{"CountryLineWithManyWords", "GB a b c d",
                               expected::country_prompt + expected::ssid_prompt}),
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
// descriptor: by throwing.
class failing_buffer : public std::streambuf {
protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }
};

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

TEST(PrintBanner, EveryBannerLineIsSeventyCharacters) {
    std::ostringstream out;
    print_banner(out);
    EXPECT_EQ(out.str(), expected::banner);

    std::istringstream lines{out.str()};
    std::string line;
    for (int number = 1; number <= 7; ++number) {
        std::getline(lines, line);
        EXPECT_EQ(line.size(), 70U) << "banner line " << number;
    }
}

}  // namespace
}  // namespace tolvenix
