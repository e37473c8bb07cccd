#pragma once

// Safe file writing: a secret file put in place whole, privately and durably, and a marker file.
// The few operating-system calls this needs, in a POSIX half and a Windows half; a marker file
// is created without being turned against whatever already holds its name.
#include <string>
#include <string_view>

namespace tolvenix {

// Called once at the start, before any file is opened. On POSIX it opens /dev/null on any of
// descriptors 0, 1 and 2 that is closed, so that no file of ours can become standard output and
// receive what is meant for the console; and it ignores SIGXFSZ, so that a write past a file
// size limit fails as a full disk does instead of ending the program. Nothing on Windows.
void prepare_process_for_file_writing();

// Puts `text` in place of the file at `target_path`: written to a new file beside it that only
// its owner can read or write from the moment it exists, synced to the medium, then renamed
// over the target and the rename synced. Interrupts are held back until all that is done. On
// Windows every "\n" is written as CR LF, as in any Windows text file. On any failure before
// the rename the new file is removed, the target is left as it was, and false is returned.
[[nodiscard]] bool replace_file_safely(const std::string& target_path, std::string_view text);

// Creates an empty regular file at `path`, or empties the regular file already there, without
// following a link and without waiting. Anything else by that name (a link, a FIFO, a device, a
// directory, a file with other hard links) is left untouched and unopened; false is returned.
[[nodiscard]] bool create_empty_regular_file(const std::string& path);

}  // namespace tolvenix
