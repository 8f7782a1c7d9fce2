// Starting an entry's command line, and splitting it into a program and its arguments where the
// platform does not do it for us (on Linux, where programs take an argument vector).
//
// The rule is the POSIX shell's quoting, and nothing else of the shell:
//   - Blanks (space, tab, line end) outside quotes separate words; runs of them count once.
//   - '...' keeps everything inside literally; there is no escape inside single quotes.
//   - "..." keeps everything inside literally except that a backslash before " \ $ ` or a line
//     end escapes it (a backslash before any other character stays a backslash).
//   - Outside quotes, a backslash makes the next character literal; a backslash before a line
//     end joins the lines. A backslash at the very end stays a backslash.
//   - Quoted parts and plain parts next to each other form one word; "" is an empty word.
//   - Nothing is expanded or interpreted: ; | & $ ` * ~ < > are ordinary characters, so a
//     command line can never run anything but its first word.
// An unbalanced quotation mark makes the whole line unusable.
#pragma once

#include "app/program_starter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pikorina {

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// Starts the line as the platform takes it, split or whole. A line that can start nothing is
// refused with 5 before the platform sees it: a blank one, one the rule above cannot split, and
// one with a NUL, which no platform can pass on (cutting the line there would start something
// other than what the file says).
void StartCommandLine(ProgramStarter& starter, std::string_view line);

} // namespace pikorina
