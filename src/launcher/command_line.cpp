#include "launcher/command_line.h"

#include "app/errors.h"

#include <algorithm>

namespace pikorina {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            word.append(line.substr(i + 1, close - i - 1));
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= n) return std::nullopt;
                const char d = line[i];
                if (d == '"') break;
                if (d == '\\' && i + 1 < n) {
                    const char e = line[i + 1];
                    if (e == '\n') {
                        i += 2;
                        continue;
                    }
                    if (e == '"' || e == '\\' || e == '$' || e == '`') {
                        word.push_back(e);
                        i += 2;
                        continue;
                    }
                }
                word.push_back(d);
                ++i;
            }
            inWord = true;
            ++i;
        } else if (c == '\\' && i + 1 < n) {
            if (line[i + 1] != '\n') {
                word.push_back(line[i + 1]);
                inWord = true;
            }
            i += 2;
        } else {
            word.push_back(c);
            inWord = true;
            ++i;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

void StartCommandLine(ProgramStarter& starter, std::string_view line) {
    if (std::ranges::all_of(line, IsBlank) || line.find('\0') != std::string_view::npos) {
        throw RuntimeError(kErrInvalidCall);
    }
    if (!starter.TakesArgumentList()) {
        const std::string whole(line);
        starter.StartProgram({&whole, 1});
        return;
    }
    const auto words = SplitCommandLine(line);
    // A line of joined line ends alone holds no word.
    if (!words || words->empty()) throw RuntimeError(kErrInvalidCall);
    starter.StartProgram(*words);
}

} // namespace pikorina
