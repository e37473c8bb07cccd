#include "safe_files.h"

#include <chrono>
#include <exception>
#include <random>

namespace tolvenix {

namespace {

// Drawn once per run: the entropy source where there is one, and the clock,
// which differs between runs even where there is none.
std::uint64_t run_seed() {
    constexpr unsigned bits_per_draw = 32;
    std::uint64_t seed = 0;
    try {
        std::random_device device;
        seed = (std::uint64_t{device()} << bits_per_draw) ^ device();
    } catch (const std::exception&) {
        // No entropy source: the clock alone still tells runs apart.
    }
    return seed ^ static_cast<std::uint64_t>(
                      std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

// SplitMix64's finaliser: neighbouring attempt numbers give unrelated names.
std::uint64_t mix(std::uint64_t value) {
    constexpr std::uint64_t increment = 0x9e3779b97f4a7c15U;
    constexpr std::uint64_t first_multiplier = 0xbf58476d1ce4e5b9U;
    constexpr std::uint64_t second_multiplier = 0x94d049bb133111ebU;
    constexpr unsigned first_shift = 30;
    constexpr unsigned second_shift = 27;
    constexpr unsigned third_shift = 31;
    value += increment;
    value = (value ^ (value >> first_shift)) * first_multiplier;
    value = (value ^ (value >> second_shift)) * second_multiplier;
    return value ^ (value >> third_shift);
}

}  // namespace

std::string temporary_name_for(const std::string& target_path, std::uint64_t attempt) {
    static const std::uint64_t seed = run_seed();
    constexpr int suffix_length = 8;
    constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    constexpr std::uint64_t base = digits.size();
    std::uint64_t noise = mix(seed + attempt);
    std::string name = target_path + ".";
    for (int position = 0; position < suffix_length; ++position) {
        const auto digit = static_cast<unsigned>(noise % base);
        name.push_back(digits[digit]);
        noise /= base;
    }
    return name + ".tmp";
}

}  // namespace tolvenix
