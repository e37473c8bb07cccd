// Starts the program named by its one argument in this console, waits for it and ends with its
// status: two processes then share the console, as when a small launcher starts the program.
#include <windows.h>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 125;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process) == FALSE) {
        return 126;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
