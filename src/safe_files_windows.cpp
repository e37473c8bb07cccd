// The Windows half of safe file writing: CreateFileW with no sharing,
// WriteFile to the end, FlushFileBuffers and a write-through MoveFileExW.
#include "safe_files.h"

#include <algorithm>
#include <limits>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvenix {

namespace {

// Paths arrive as the C runtime hands them over: in the ANSI code page.
std::wstring wide_path(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

// A new file that nobody else may open while it is being written, named after this process (its
// id and a count) beside the target; up to 16 names left by an earlier process of that id are
// passed over.
HANDLE create_temporary_beside(const std::string& target_path, std::wstring& temporary_path) {
    for (unsigned attempt = 0;; ++attempt) {
        temporary_path = wide_path(target_path + "." + std::to_string(GetCurrentProcessId()) + "." +
                                   std::to_string(attempt) + ".tmp");
        const HANDLE file = CreateFileW(temporary_path.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS || attempt == 15) {
            return file;
        }
    }
}

bool write_all(HANDLE file, std::string_view text) {
    constexpr std::size_t largest_write = std::numeric_limits<DWORD>::max();
    while (!text.empty()) {
        DWORD written = 0;
        const auto wanted = static_cast<DWORD>(std::min(text.size(), largest_write));
        if (!WriteFile(file, text.data(), wanted, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

bool flush_and_close(HANDLE file) {
    const bool flushed = FlushFileBuffers(file) != FALSE;
    const bool closed = CloseHandle(file) != FALSE;
    return flushed && closed;
}

// Empties the temporary by name, without following a link, so that one that cannot be removed
// keeps no password.
void empty_temporary(const std::wstring& temporary_path) {
    const HANDLE file = CreateFileW(temporary_path.c_str(), GENERIC_WRITE, 0, nullptr,
                                    TRUNCATE_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
}

// Writes the new file under a temporary name and moves it over the target; it ends either moved
// or emptied and removed.
bool write_and_move(const std::string& target_path, std::string_view text) {
    std::wstring temporary_path;
    const HANDLE file = create_temporary_beside(target_path, temporary_path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = write_all(file, text);
    if (flush_and_close(file) && written &&
        MoveFileExW(temporary_path.c_str(), wide_path(target_path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
        return true;
    }
    empty_temporary(temporary_path);
    DeleteFileW(temporary_path.c_str());
    return false;
}

}  // namespace

bool replace_file_safely(const std::string& target_path, std::string_view text) {
    return write_and_move(target_path, text);
}

bool create_empty_regular_file(const std::string& path) {
    // The link itself is opened, never what it points to, so that a link
    // can be refused below instead of emptying its target.
    const HANDLE file = CreateFileW(wide_path(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &information) &&
                         information.nNumberOfLinks == 1 &&
                         (information.dwFileAttributes &
                          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    // The handle is at the start of the file, so this empties it.
    const bool emptied = regular && SetEndOfFile(file) && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != FALSE;
    return emptied && closed;
}

}  // namespace tolvenix
