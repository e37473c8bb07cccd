// The Windows half of safe file writing: CreateFileW with no sharing, a temporary marked for
// deletion until it is renamed through its own handle (SetFileInformationByHandle), WriteFile
// to the end and FlushFileBuffers.
#include "safe_files.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

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

// Whether the file goes when its last handle closes, which also happens when the process ends
// however it ends. The handle needs DELETE access.
bool mark_for_deletion(HANDLE file, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// A new file that nobody else may open while it is being written, named after this process (its
// id and a count) beside the target; up to 16 names left by an earlier process of that id are
// passed over. It is marked for deletion at once: a process ended while it exists leaves nothing.
HANDLE create_temporary_beside(const std::string& target_path, std::string& temporary_path) {
    for (unsigned attempt = 0;; ++attempt) {
        temporary_path = target_path + "." + std::to_string(GetCurrentProcessId()) + "." +
                         std::to_string(attempt) + ".tmp";
        const HANDLE file = CreateFileW(wide_path(temporary_path).c_str(), GENERIC_WRITE | DELETE,
                                        0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE && !mark_for_deletion(file, true)) {
            CloseHandle(file);
            DeleteFileW(wide_path(temporary_path).c_str());
            return INVALID_HANDLE_VALUE;
        }
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

// Renames the file through its own handle over the target, whatever the name leads to now.
bool rename_over(HANDLE file, const std::string& target_path) {
    const std::wstring target = wide_path(target_path);
    const DWORD full_length = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    if (full_length == 0) {
        return false;
    }
    std::wstring full(full_length, L'\0');
    const DWORD copied = GetFullPathNameW(target.c_str(), full_length, full.data(), nullptr);
    if (copied == 0 || copied >= full_length) {
        return false;
    }
    full.resize(copied);
    // FILE_RENAME_INFO ends in the first character of the name; the rest follows it.
    std::vector<unsigned char> block(sizeof(FILE_RENAME_INFO) + full.size() * sizeof(wchar_t));
    auto* const rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    // Never null (the block is not empty), but GCC's -Wnull-dereference cannot see that.
    if (rename == nullptr) {
        return false;
    }
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(full.size() * sizeof(wchar_t));
    std::copy(full.begin(), full.end(), static_cast<wchar_t*>(rename->FileName));
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(block.size())) != FALSE;
}

// Empties the file through its handle, for the case where it cannot be deleted.
bool empty_file(HANDLE file) {
    LARGE_INTEGER start{};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE &&
           SetEndOfFile(file) != FALSE;
}

// Writes the new file under a temporary name and renames it over the target. Until the rename
// the file is marked for deletion; it is unmarked only for the rename, so that a process ended
// at any moment leaves no temporary, but in the instant between the two calls. A failed rename
// marks it again, or empties it where that fails; one that can be neither is named.
replacement write_and_rename(const std::string& target_path, std::string_view text) {
    std::string temporary_path;
    const HANDLE file = create_temporary_beside(target_path, temporary_path);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    replacement result;
    result.replaced = write_all(file, text) && FlushFileBuffers(file) != FALSE &&
                      mark_for_deletion(file, false) && rename_over(file, target_path);
    if (!result.replaced && !mark_for_deletion(file, true) && !empty_file(file)) {
        result.left_behind = temporary_path;
    }
    // A rename is made durable by a flush of the renamed file's handle, as MoveFileEx's
    // MOVEFILE_WRITE_THROUGH does.
    result.replaced = result.replaced && FlushFileBuffers(file) != FALSE;
    result.replaced = CloseHandle(file) != FALSE && result.replaced;
    return result;
}

}  // namespace

replacement replace_file_safely(const std::string& target_path, std::string_view text) {
    return write_and_rename(target_path, text);
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
