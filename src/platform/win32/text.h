// UTF-8, the core's text, to and from UTF-16, Windows' own: at every Windows call that takes or
// gives text.
#pragma once

#include <string>
#include <string_view>

namespace pikorina::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace pikorina::win32
