#include "output_files.h"
#include "expected_text.h"
#include "temporary_directory.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <cstring>
#ifdef _WIN32
#include <process.h>
#endif
#include <sstream>

namespace tolvenix {
namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::temporary_directory;
using testing_support::write_file;

template <std::size_t capacity>
void fill(std::array<char, capacity>& field, std::string_view text) {
    ASSERT_LT(text.size(), capacity);
    std::memcpy(field.data(), text.data(), text.size());
    field[text.size()] = '\0';
}

wifi_answers make_answers(std::string_view country, std::string_view ssid,
                          std::string_view password) {
    wifi_answers answers;
    fill(answers.country, country);
    fill(answers.ssid, ssid);
    fill(answers.password, password);
    return answers;
}

std::string in_quotes(std::string_view text) {
    std::string result{"\""};
    result.append(text);
    result.push_back('"');
    return result;
}

// ---------------------------------------------------------------- directory

struct directory_case {
    const char* name;
    std::optional<std::string> argument_zero;
    std::optional<std::string> directory;
    std::string config_path;
    std::string ssh_path;
};

class OutputDirectory : public testing::TestWithParam<directory_case> {};

TEST_P(OutputDirectory, ComesFromAnAbsoluteArgumentZeroOnly) {
    const auto& param = GetParam();
    const auto directory =
        resolve_output_dir(param.argument_zero ? param.argument_zero->c_str() : nullptr);
    EXPECT_EQ(directory, param.directory);
    EXPECT_EQ(compose_output_path(directory, network_config_name), param.config_path);
    EXPECT_EQ(compose_output_path(directory, ssh_marker_name), param.ssh_path);
}

const std::string deep_directory = "/" + std::string(200, 'd') + "/" + std::string(200, 'e');

INSTANTIATE_TEST_SUITE_P(
    ArgumentZero, OutputDirectory,
    testing::Values(
        directory_case{"Absent", std::nullopt, std::nullopt, "wpa_supplicant.conf", "ssh"},
        directory_case{"Empty", "", std::nullopt, "wpa_supplicant.conf", "ssh"},
        directory_case{"BareName", "tool", std::nullopt, "wpa_supplicant.conf", "ssh"},
        directory_case{"DotRelative", "./tool", std::nullopt, "wpa_supplicant.conf", "ssh"},
        directory_case{"Relative", "bin/tool", std::nullopt, "wpa_supplicant.conf", "ssh"},
        directory_case{"WindowsDrive", "C:\\card\\tool.exe", std::nullopt, "wpa_supplicant.conf",
                       "ssh"},
        directory_case{"Root", "/tool", "", "/wpa_supplicant.conf", "/ssh"},
        directory_case{"CutAtLastSlash", "/a/b/tool", "/a/b", "/a/b/wpa_supplicant.conf",
                       "/a/b/ssh"},
        directory_case{"Card", "/media/card/boot/tool", "/media/card/boot",
                       "/media/card/boot/wpa_supplicant.conf", "/media/card/boot/ssh"},
        directory_case{"LongerThanAnyFixedBuffer", deep_directory + "/tool", deep_directory,
                       deep_directory + "/wpa_supplicant.conf", deep_directory + "/ssh"}),
    testing_support::case_name{});

// ---------------------------------------------------------------- rendering

struct render_case {
    const char* name;
    wifi_answers answers;
    std::string text;
};

class RenderNetworkConfig : public testing::TestWithParam<render_case> {};

TEST_P(RenderNetworkConfig, FillsTheNineLineTemplate) {
    EXPECT_EQ(render_network_config(GetParam().answers), GetParam().text);
}

const std::string hex_key = "0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123";
const std::string almost_key = hex_key.substr(0, 63) + "g";

wifi_answers answers_with_nul_in_password() {
    wifi_answers answers = make_answers("GB", "net", "");
    const char bytes[] = "pass\0word";
    std::memcpy(answers.password.data(), bytes, sizeof bytes);
    return answers;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RenderNetworkConfig,
    testing::Values(render_case{"Typical", make_answers("GB", "HomeNet", "secret1234"),
                                expected::config_text("GB", "HomeNet", "\"secret1234\"")},
                    render_case{"QuotesAndBackslashesAsTyped",
                                make_answers("gb", "a\"b\\c", "p\"#\\$"),
                                expected::config_text("gb", "a\"b\\c", "\"p\"#\\$\"")},
                    render_case{"RawKeyUnquoted", make_answers("GB", "net", hex_key),
                                expected::config_text("GB", "net", hex_key)},
                    render_case{"NonHexOf64Quoted", make_answers("GB", "net", almost_key),
                                expected::config_text("GB", "net", in_quotes(almost_key))},
                    render_case{"HexOf63Quoted", make_answers("GB", "net", hex_key.substr(1)),
                                expected::config_text("GB", "net", in_quotes(hex_key.substr(1)))},
                    render_case{"NulEndsTheAnswer", answers_with_nul_in_password(),
                                expected::config_text("GB", "net", "\"pass\"")}),
    testing_support::case_name{});

// ---------------------------------------------------------------- writers

#ifdef _WIN32
// The temporary is always a new file: one left under its name by an earlier process of the same
// id is passed over, never written or moved into place.
TEST(Writers, TemporaryNameTakenByAnotherFileIsPassedOver) {
    temporary_directory directory;
    const auto taken =
        directory.path() / ("wpa_supplicant.conf." + std::to_string(_getpid()) + ".0.tmp");
    write_file(taken, "someone else's\n");

    ASSERT_TRUE(
        write_network_config(directory.path().string(), make_answers("GB", "HomeNet", "0123456789"))
            .replaced);

    EXPECT_EQ(read_file(taken), "someone else's\n");
    EXPECT_EQ(read_file(directory.path() / "wpa_supplicant.conf"),
              expected::config_text("GB", "HomeNet", "\"0123456789\""));
}
#endif

}  // namespace
}  // namespace tolvenix
