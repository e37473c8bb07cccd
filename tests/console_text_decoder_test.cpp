#include "console_text_decoder.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvenix {
namespace {

using namespace std::string_literals;

struct decoding_case {
    const char* name;
    std::vector<std::u16string> reads;  // what successive console reads return
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
        decoding_case{"LineEndBecomesNewline", {u"GB\r\n"}, "GB\n", true},
        decoding_case{"LineEndSplitAcrossReads", {u"GB\r", u"\n"}, "GB\n", true},
        decoding_case{"LoneCarriageReturnKept", {u"a\rb"}, "a\rb", true},
        decoding_case{"AccentsAndSymbols",
                      {u"Caf\u00e9_\u2615 p\u00e4ssw\u00f6rd123\r\n"},
                      "Caf\xc3\xa9_\xe2\x98\x95 p\xc3\xa4ssw\xc3\xb6rd123\n",
                      true},
        decoding_case{"PairInOneRead", {u"Net\xD83D\xDCF6\r\n"}, "Net\xF0\x9F\x93\xB6\n", true},
        decoding_case{
            "PairSplitAcrossReads", {u"Net\xD83D", u"\xDCF6\r\n"}, "Net\xF0\x9F\x93\xB6\n", true},
        // The first and the last code point of each UTF-8 length, and those beside the halves.
        decoding_case{"EdgesOfEachLength",
                      {{0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xE000, 0xFFFF}},
                      "\0\x7F"
                      "\xC2\x80\xDF\xBF"
                      "\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"s,
                      true},
        decoding_case{"EdgesOfThePairs",
                      {{0xD800, 0xDC00, 0xD800, 0xDFFF, 0xDBFF, 0xDC00, 0xDBFF, 0xDFFF}},
                      "\xF0\x90\x80\x80\xF0\x90\x8F\xBF\xF4\x8F\xB0\x80\xF4\x8F\xBF\xBF",
                      true},
        decoding_case{"UnpairedHalvesBecomeReplacements",
                      {{'a', 0xDC00, 'b', 0xDFFF, 'c', 0xD800, 'd', 0xDBFF}, u"e"},
                      "a\xEF\xBF\xBD"
                      "b\xEF\xBF\xBD"
                      "c\xEF\xBF\xBD"
                      "d\xEF\xBF\xBD"
                      "e",
                      true},
        decoding_case{"CtrlZAtLineStartEndsTheInput", {u"\x1A\r\n"}, "", false},
        decoding_case{
            "CtrlZEndsTheInputWhereItStands", {u"GB\r\n", u"Net\x1A more\r\n"}, "GB\nNet", false}),
    testing_support::case_name{});

}  // namespace
}  // namespace tolvenix
