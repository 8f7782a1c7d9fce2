// Starting a program on Windows: the command line goes to CreateProcessW as it is, so Windows
// splits it and looks the program up (the program's folder, the current folder, the
// system folders, then PATH). Nothing waits for the program and no handle to it is kept.
#include "app/errors.h"
#include "platform/win32/host.h"
#include "platform/win32/text.h"

#include <windows.h>

namespace pikorina::win32 {
namespace {

int LaunchErrorNumber(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND: return kErrPathNotFound;
    case ERROR_ACCESS_DENIED: return kErrPermissionDenied;
    default: return kErrInvalidCall; // not a program Windows can start, and the like
    }
}

} // namespace

void Host::StartProgram(std::span<const std::string> commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring line = Widen(commandLine.front());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL; // a normal window with the focus
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        throw RuntimeError(LaunchErrorNumber(GetLastError()));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace pikorina::win32
