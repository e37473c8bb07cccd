#pragma once

// The texts the tests expect: tests/expected_text.json, the data the Python tests read too.
#include "expected_text_data.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tolvenix::expected {

inline const std::string all_prompts = country_prompt + ssid_prompt + password_prompt;

// wpa_supplicant.conf for these answers, with "\n" line ends; `psk` is the value as written,
// quotes included.
inline std::string config_text(std::string_view country, std::string_view ssid,
                               std::string_view psk) {
    const std::array<std::pair<std::string_view, std::string_view>, 3> fields{
        {{"{country}", country}, {"{ssid}", ssid}, {"{psk}", psk}}};
    std::string text;
    std::string_view rest = config_template;
    while (!rest.empty()) {
        auto next = std::string_view::npos;
        const std::pair<std::string_view, std::string_view>* field = nullptr;
        for (const auto& candidate : fields) {
            const auto at = rest.find(candidate.first);
            if (at < next) {
                next = at;
                field = &candidate;
            }
        }
        if (field == nullptr) {
            text.append(rest);
            break;
        }
        text.append(rest.substr(0, next)).append(field->second);
        rest.remove_prefix(next + field->first.size());
    }
    return text;
}

}  // namespace tolvenix::expected
