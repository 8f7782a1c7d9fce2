#include "effects/sound_command.h"

namespace pikorina {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool StartsWithWordNoCase(std::string_view s, std::string_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = s[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != word[i]) return false;
    }
    return s.size() == word.size() || IsBlank(s[word.size()]);
}

} // namespace

std::string PlayCommand(std::string_view path) {
    return "play " + std::string(path);
}

std::optional<std::string> PlayCommandPath(std::string_view command) {
    command = Trim(command);
    constexpr std::string_view kPlay = "play";
    if (!StartsWithWordNoCase(command, kPlay)) return std::nullopt;
    std::string_view path = Trim(command.substr(kPlay.size()));
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.empty()) return std::nullopt;
    return std::string(path);
}

} // namespace pikorina
