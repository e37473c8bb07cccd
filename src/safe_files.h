#pragma once

// Safe file writing: a secret file put in place whole, privately and durably, and a marker file.
// The few operating-system calls this needs, in a POSIX half and a Windows half; a marker file
// is created without being turned against whatever already holds its name.
#include <string>
#include <string_view>

namespace tolvenix {

// What became of a file put in place: whether it is there, and when it is not, the temporary
// that could be neither emptied nor removed and so still holds the text (empty when none did).
struct replacement {
    bool replaced = false;
    std::string left_behind;
};

// Puts `text` in place of the file at `target_path`: written to a new file beside it that only
// its owner can read or write from the moment it exists, synced to the medium, then renamed
// over the target and the rename synced. The bytes are written as they are, on every platform:
// the board's first boot reads the country only from a line that ends in a bare LF. On any
// failure before the rename the new file is removed, or emptied where it cannot be, and the
// target is left as it was. The caller holds signals back meanwhile.
[[nodiscard]] replacement replace_file_safely(const std::string& target_path,
                                              std::string_view text);

// Creates an empty regular file at `path`, or empties the regular file already there, without
// following a link and without waiting. Anything else by that name (a link, a FIFO, a device, a
// directory, a file with other hard links) is left untouched; false is returned.
[[nodiscard]] bool create_empty_regular_file(const std::string& path);

}  // namespace tolvenix
