// The explosion's sound is asked for with an MCI-style command string, "play <path>". The
// window builds the command and reads the file's path back out of it, once, for the host to play.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pikorina {

// The command that plays a file: "play " and the path, joined as text, unquoted.
std::string PlayCommand(std::string_view path);

// The path of a "play" command: the rest of the text after the word, blanks kept inside it
// and one surrounding pair of quotation marks removed. Nothing for any other command.
std::optional<std::string> PlayCommandPath(std::string_view command);

} // namespace pikorina
