#include "wifi_answers.h"
#include "expected_text.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tolvenix {
namespace {

using namespace std::string_literals;

struct rule_case {
    const char* name;
    std::string_view (*rule)(std::string_view);
    std::string answer;
    std::string refusal;  // empty: accepted
};

class AnswerRule : public testing::TestWithParam<rule_case> {};

TEST_P(AnswerRule, RefusesExactlyWhatTheBoardWouldRefuseOrMisread) {
    EXPECT_EQ(GetParam().rule(GetParam().answer), GetParam().refusal);
}

const std::string hex_64 = std::string(62, '0') + "aF";

INSTANTIATE_TEST_SUITE_P(
    Rules, AnswerRule,
    testing::Values(
        rule_case{"CountryOfTwo", country_refusal, "GB", ""},
        rule_case{"CountryFirstInTheList", country_refusal, "AD", ""},
        rule_case{"CountryLastInTheList", country_refusal, "ZW", ""},
        rule_case{"CountryLowerCase", country_refusal, "gb", expected::country_refused},
        rule_case{"CountryMixedCase", country_refusal, "Gb", expected::country_refused},
        rule_case{"CountryUkIsNoCode", country_refusal, "UK", expected::country_refused},
        rule_case{"CountryUnassigned", country_refusal, "XX", expected::country_refused},
        rule_case{"CountryBeforeTheList", country_refusal, "AA", expected::country_refused},
        rule_case{"CountryAfterTheList", country_refusal, "ZZ", expected::country_refused},
        rule_case{"CountryWithDigit", country_refusal, "G1", expected::country_refused},
        rule_case{"CountryOfThree", country_refusal, "AUT", expected::country_refused},
        rule_case{"CountryOfTwoBytesUtf8", country_refusal, "\xc3\xa9", expected::country_refused},
        rule_case{"CountryOfOne", country_refusal, "G", expected::country_refused},
        rule_case{"CountryWithHash", country_refusal, "G#", expected::country_refused},
        rule_case{"SsidEmpty", ssid_refusal, "", expected::ssid_refused},
        rule_case{"SsidOfOne", ssid_refusal, "x", ""},
        rule_case{"SsidOf32Bytes", ssid_refusal, std::string(30, 's') + "\xc3\xa9", ""},
        rule_case{"SsidOf33Bytes", ssid_refusal, std::string(31, 's') + "\xc3\xa9",
                  expected::ssid_refused},
        rule_case{"SsidWithControlBytes", ssid_refusal, "a\tb\x01\x7f", ""},
        rule_case{"SsidHashAfterOneQuote", ssid_refusal, "Ho\"m#e", expected::hash_refused},
        rule_case{"SsidHashAfterTwoQuotes", ssid_refusal, "\"Ho\"m#e", ""},
        rule_case{"SsidHashBeforeQuote", ssid_refusal, "#Ho\"me", ""},
        rule_case{"SsidTooLongBeforeHash", ssid_refusal, "\"#" + std::string(31, 's'),
                  expected::ssid_refused},
        rule_case{"PasswordOf7", password_refusal, "1234567", expected::password_refused},
        rule_case{"PasswordOf8", password_refusal, "12345678", ""},
        rule_case{"PasswordOf63", password_refusal, std::string(63, 'p'), ""},
        rule_case{"PasswordOf64NotHex", password_refusal, std::string(63, '0') + "g",
                  expected::password_refused},
        rule_case{"PasswordOf64EndingInCapitalG", password_refusal, std::string(63, '0') + "G",
                  expected::password_refused},
        rule_case{"PasswordOf64Hex", password_refusal, hex_64, ""},
        rule_case{"PasswordOf65Hex", password_refusal, hex_64 + "0", expected::password_refused},
        rule_case{"PasswordWithTab", password_refusal, "pass\tword", expected::password_refused},
        rule_case{"PasswordWithUnitSeparator", password_refusal, "password\x1f",
                  expected::password_refused},
        rule_case{"PasswordWithDelete", password_refusal, "password\x7f",
                  expected::password_refused},
        rule_case{"PasswordWithSpacesAndHighBytes", password_refusal, "caf\xc3\xa9 au lait", ""},
        rule_case{"PasswordHashAfterOneQuote", password_refusal, "pa\"ss#word1",
                  expected::hash_refused},
        rule_case{"PasswordHashAfterThreeQuotes", password_refusal, "\"a\"b\"#password",
                  expected::hash_refused},
        rule_case{"PasswordHashOutsideQuotes", password_refusal, "#pa\"ss\"#word", ""}),
    testing_support::case_name{});

#ifdef TOLVENIX_ISO3166_TAB
// The board looks the country up in tzdata's list; the program carries its own copy, which must
// be that list exactly (and so sorted, as the file is, for the rule's search). A tzdata update
// that adds or drops a code fails here, so that the copy changes on purpose. A missing file
// fails too: the test must never pass by not looking.
TEST(CountryCodes, AreTzdataListExactly) {
    std::ifstream list{TOLVENIX_ISO3166_TAB};
    ASSERT_TRUE(list.is_open()) << TOLVENIX_ISO3166_TAB << " is missing (Debian: tzdata)";
    std::vector<std::string> from_tzdata;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.front() != '#') {
            from_tzdata.push_back(line.substr(0, line.find('\t')));
        }
    }
    const auto ours = country_codes();
    EXPECT_EQ(std::vector<std::string>(ours.begin(), ours.end()), from_tzdata);
}
#endif

}  // namespace
}  // namespace tolvenix
