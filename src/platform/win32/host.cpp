// The host's own part: the clock and the end. Files, the launch and the sound each have a file
// of their own.
#include "platform/win32/host.h"

#include <windows.h>

#include <cstdio>

namespace pikorina::win32 {

double Host::Timer() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

void Host::End(int exitStatus) {
    // At once, from however deep a nested handler: unwinding through the nested message loops
    // would run the rest of the handlers that called them.
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(exitStatus));
}

} // namespace pikorina::win32
