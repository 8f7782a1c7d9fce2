// The system's code page, the one encoding the core cannot decode itself: what a list saved as
// "ANSI" on Windows is written in. The core decides which encoding a file is in (launcher/
// text_encoding.h) and decodes UTF-8 and UTF-16 itself.
#pragma once

#include <string>
#include <string_view>

namespace pikorina {

class CodePage {
  public:
    virtual ~CodePage() = default;
    // Text in the system's code page as UTF-8; where the platform has none, code page 932, the
    // one the program's Japanese lists were written in on Windows. Each byte it cannot read
    // becomes U+FFFD. Never given a Ctrl+Z (0x1A) byte.
    virtual std::string DecodeCodePage(std::string_view bytes) const = 0;
};

} // namespace pikorina
