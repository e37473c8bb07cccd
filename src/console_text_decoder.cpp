#include "console_text_decoder.h"

namespace tolvenix {

namespace {

// UTF-16 writes a character beyond U+FFFF as a pair: a high half from D800 to DBFF, then a low
// half from DC00 to DFFF, 10 bits each.
constexpr bool is_high_surrogate(unsigned unit) {
    return unit >= 0xD800U && unit <= 0xDBFFU;
}
constexpr bool is_low_surrogate(unsigned unit) {
    return unit >= 0xDC00U && unit <= 0xDFFFU;
}
constexpr unsigned joined_pair(unsigned high, unsigned low) {
    return 0x10000U + ((high - 0xD800U) << 10U) + (low - 0xDC00U);
}

// What a half of a surrogate pair that has no other half stands for: U+FFFD.
constexpr unsigned replacement_character = 0xFFFDU;

// The UTF-8 bytes of one code point: 1 to 4 bytes, 6 bits in each continuation byte.
void append_utf8(unsigned code, std::string& utf8) {
    const auto byte = [&utf8](unsigned value) { utf8.push_back(static_cast<char>(value)); };
    if (code < 0x80U) {
        byte(code);
    } else if (code < 0x800U) {
        byte(0xC0U | (code >> 6U));
        byte(0x80U | (code & 0x3FU));
    } else if (code < 0x10000U) {
        byte(0xE0U | (code >> 12U));
        byte(0x80U | ((code >> 6U) & 0x3FU));
        byte(0x80U | (code & 0x3FU));
    } else {
        byte(0xF0U | (code >> 18U));
        byte(0x80U | ((code >> 12U) & 0x3FU));
        byte(0x80U | ((code >> 6U) & 0x3FU));
        byte(0x80U | (code & 0x3FU));
    }
}

}  // namespace

bool console_text_decoder::decode(std::u16string_view units, std::string& utf8) {
    for (const char16_t unit : units) {
        if (unit == u'\x1A') {  // Ctrl-Z
            pending_high_surrogate_ = 0;
            pending_carriage_return_ = false;
            return false;
        }
        append_unit(unit, utf8);
    }
    return true;
}

void console_text_decoder::append_unit(char16_t unit, std::string& utf8) {
    const auto value = static_cast<unsigned>(unit);
    if (pending_carriage_return_) {
        pending_carriage_return_ = false;
        if (unit != u'\n') {
            utf8.push_back('\r');
        }
    }
    if (pending_high_surrogate_ != 0) {
        const auto high = static_cast<unsigned>(pending_high_surrogate_);
        pending_high_surrogate_ = 0;
        if (is_low_surrogate(value)) {
            append_utf8(joined_pair(high, value), utf8);
            return;
        }
        append_utf8(replacement_character, utf8);
    }
    if (is_high_surrogate(value)) {
        pending_high_surrogate_ = unit;
    } else if (unit == u'\r') {
        pending_carriage_return_ = true;
    } else if (is_low_surrogate(value)) {
        append_utf8(replacement_character, utf8);
    } else {
        append_utf8(value, utf8);
    }
}

}  // namespace tolvenix
