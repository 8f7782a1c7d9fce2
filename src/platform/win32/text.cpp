// Files and text: the program's folder, reading Setup.ini, turning its bytes into UTF-8, and the
// UTF-8 / UTF-16 conversions that the rest of the front end uses at every Windows call.
#include "platform/win32/text.h"

#include "app/errors.h"
#include "platform/win32/host.h"
#include "platform/win32/scoped.h"

#include <windows.h>

#include <cstdint>
#include <vector>

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

// Decodes with a code page, character by character where whole-buffer decoding fails, so that
// only the bytes the code page cannot read become U+FFFD. (Windows would put the code page's
// own default character there, for code page 932 a katakana middle dot, which reads as text.)
std::wstring DecodeCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int whole = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, 0);
    if (whole > 0) {
        std::wstring out(static_cast<std::size_t>(whole), L'\0');
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                            static_cast<int>(bytes.size()), out.data(), whole);
        return out;
    }
    if (codePage == CP_UTF8) {
        // Without MB_ERR_INVALID_CHARS the UTF-8 decoder itself puts U+FFFD for bad bytes.
        const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                            n);
        return out;
    }
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const bool lead = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) != FALSE;
        const std::size_t length = (lead && i + 1 < bytes.size()) ? 2 : 1;
        wchar_t unit[2];
        const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + i,
                                          static_cast<int>(length), unit, 2);
        if (n > 0) {
            out.append(unit, static_cast<std::size_t>(n));
            i += length;
        } else {
            out += L'\uFFFD';
            i += 1; // the next byte may start a character of its own
        }
    }
    return out;
}

} // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
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

std::string Host::ReadFile(const std::string& path) {
    const std::wstring widePath = Widen(path);
    HANDLE opened = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        throw RuntimeError(OpenErrorNumber(GetLastError(), widePath), path);
    }
    // Closed on every way out: the refusals below, or growing the buffer failing part way.
    const ScopedHandle owner(opened);
    HANDLE file = owner.get();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw RuntimeError(kErrPathFileAccess, path);
    }
    if (((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) > kLargestFileBytes) {
        throw RuntimeError(kErrOutOfMemory, path);
    }
    // Read to the end rather than trusting the size, which can change under us; a file that
    // grows past the limit meanwhile is refused as one that was too large at once.
    std::string bytes;
    char buffer[64 * 1024];
    DWORD got = 0;
    BOOL ok = FALSE;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
        bytes.append(buffer, got);
        if (bytes.size() > kLargestFileBytes) throw RuntimeError(kErrOutOfMemory, path);
    }
    if (!ok) throw RuntimeError(kErrPathFileAccess, path);
    return bytes;
}

std::string Host::DecodeText(std::string_view bytes, TextEncoding encoding) const {
    switch (encoding) {
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool little = encoding == TextEncoding::Utf16LE;
        std::wstring text;
        text.reserve(bytes.size() / 2 + 1);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            text += static_cast<wchar_t>(little ? first | second << 8 : first << 8 | second);
        }
        if (bytes.size() % 2 != 0) text += L'\uFFFD'; // half a character at the end
        // Narrow turns a lone surrogate into U+FFFD.
        return Narrow(text);
    }
    case TextEncoding::Utf8: return Narrow(DecodeCodePage(bytes, CP_UTF8));
    case TextEncoding::Ansi: break;
    }
    // The system's code page: 932 on a Japanese system.
    return Narrow(DecodeCodePage(bytes, CP_ACP));
}

} // namespace pikorina::win32
