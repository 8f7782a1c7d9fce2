// Text on Windows: the system's code page, and the UTF-8 / UTF-16 conversions that the rest of
// the front end uses at every Windows call.
#include "platform/win32/text.h"

#include "platform/win32/host.h"

#include <windows.h>

namespace pikorina::win32 {

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

// Character by character where whole-buffer decoding fails, so that only the bytes the code page
// cannot read become U+FFFD. (Windows would put the code page's own default character there, for
// code page 932 a katakana middle dot, which reads as text.)
std::string Host::DecodeCodePage(std::string_view bytes) const {
    const auto decode = [](std::string_view part, wchar_t* out, int room) {
        return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, part.data(),
                                   static_cast<int>(part.size()), out, room);
    };
    if (const int whole = decode(bytes, nullptr, 0); whole > 0) {
        std::wstring out(static_cast<std::size_t>(whole), L'\0');
        decode(bytes, out.data(), whole);
        return Narrow(out);
    }
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const bool lead = IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) != FALSE;
        const std::size_t length = (lead && i + 1 < bytes.size()) ? 2 : 1;
        wchar_t unit[2];
        if (const int n = decode(bytes.substr(i, length), unit, 2); n > 0) {
            out.append(unit, static_cast<std::size_t>(n));
            i += length;
        } else {
            out += L'\uFFFD';
            i += 1; // the next byte may start a character of its own
        }
    }
    return Narrow(out);
}

} // namespace pikorina::win32
