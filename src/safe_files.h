#pragma once

// Safe file writing: a secret file put in place whole, privately and durably, and a marker file.
// The few operating-system calls this needs, in a POSIX half and a Windows half; a marker file
// is created without being turned against whatever already holds its name.
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvenix {

// Puts `text` in place of the file at `target_path`: written to a new file beside it that only
// its owner can read or write from the moment it exists, synced to the medium, then renamed
// over the target. Interrupts are held back while the new file exists. On Windows every "\n"
// is written as CR LF, as in any Windows text file. On any failure the new file is removed,
// the target is left as it was, and false is returned.
[[nodiscard]] bool replace_file_safely(const std::string& target_path, std::string_view text);

// Creates an empty regular file at `path`, or empties the regular file already there, without
// following a link and without waiting. Anything else by that name (a link, a FIFO, a device,
// a directory) is left untouched, and false is returned.
[[nodiscard]] bool create_empty_regular_file(const std::string& path);

// How many fresh names replace_file_safely tries when one is already taken.
inline constexpr std::uint64_t temporary_name_attempts = 16;

// The name of attempt number `attempt` at a new file beside `target_path`: the target's name,
// a random suffix and ".tmp". Two runs in one directory, or a file left by a killed run, do
// not meet.
[[nodiscard]] std::string temporary_name_for(const std::string& target_path, std::uint64_t attempt);

}  // namespace tolvenix
