// Which encoding a launch list is in, and its text as UTF-8: the rules, once, for every
// platform. A byte-order mark says UTF-8, UTF-16 little- or big-endian; without one, bytes that
// are well-formed UTF-8 with a character beyond ASCII are UTF-8 (today's editors save it without
// a mark), and anything else is the system's code page, which the platform decodes.
//
// Whatever cannot be read becomes U+FFFD, so a damaged file still loads: in UTF-8 each maximal
// part of a broken sequence (Unicode's recommended practice, and Windows'), in UTF-16 a lone
// surrogate or an odd byte at the end, in the code page each byte the platform cannot read.
// The code page never sees a Ctrl+Z (0x1A), the end of the file for the field reader: nothing
// after it is read, and no double-byte character holds that byte, so the text stops there.
#pragma once

#include "app/code_page.h"

#include <string>
#include <string_view>

namespace pikorina {

std::string DecodeLaunchText(std::string_view bytes, const CodePage& codePage);

} // namespace pikorina
