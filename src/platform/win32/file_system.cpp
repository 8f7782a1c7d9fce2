// Opening a plain file on Windows, for the core to read (app/file_system.h).
#include "app/errors.h"
#include "platform/win32/host.h"
#include "platform/win32/scoped.h"
#include "platform/win32/text.h"

#include <windows.h>

namespace pikorina::win32 {
namespace {

// Why a file could not be read, as the program's error numbers say it.
int OpenErrorNumber(DWORD error, const std::wstring& path) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND: return kErrPathNotFound;
    case ERROR_ACCESS_DENIED: {
        // Windows refuses to open a folder as a file with "access denied"; that is a wrong
        // path, not a missing permission.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return kErrPathFileAccess;
        }
        return kErrPermissionDenied;
    }
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return kErrPermissionDenied;
    default: return kErrPathFileAccess;
    }
}

struct PlainFile final : OpenFile {
    explicit PlainFile(HANDLE handle) : handle(handle) {}
    std::uint64_t Size() const override { return size; }
    std::int64_t Read(std::span<char> buffer) override {
        DWORD got = 0;
        if (!::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                        nullptr)) {
            return -1;
        }
        return got;
    }
    ScopedHandle handle;
    std::uint64_t size = 0;
};

} // namespace

std::unique_ptr<OpenFile> Host::OpenPlainFile(const std::string& path) {
    const std::wstring widePath = Widen(path);
    HANDLE opened = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        throw RuntimeError(OpenErrorNumber(GetLastError(), widePath), path);
    }
    auto file = std::make_unique<PlainFile>(opened); // closes it on every way out
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(opened, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw RuntimeError(kErrPathFileAccess, path);
    }
    file->size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    return file;
}

} // namespace pikorina::win32
