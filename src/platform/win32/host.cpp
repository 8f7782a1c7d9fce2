// The host's own part: the clock, the program's folder and the end. Files, text, the launch and
// the sound each have a file of their own.
#include "platform/win32/host.h"

#include "platform/win32/text.h"

#include <windows.h>

#include <cstdio>

namespace pikorina::win32 {

double Host::Timer() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

std::string Host::AppPath() const {
    if (appPath_) return *appPath_;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2); // a long path: try again with room for it
    }
    // The folder: everything before the last backslash, without it.
    const std::size_t slash = path.find_last_of(L'\\');
    return Narrow(std::wstring_view(path).substr(0, slash == std::wstring::npos ? 0 : slash));
}

void Host::End(int exitStatus) {
    // At once, from however deep a nested handler: unwinding through the nested message loops
    // would run the rest of the handlers that called them.
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(exitStatus));
}

} // namespace pikorina::win32
