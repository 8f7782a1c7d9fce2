#include "launcher/command_line.h"

#include <gtest/gtest.h>

namespace pikorina {
namespace {

using Words = std::vector<std::string>;

struct SplitCase {
    std::string_view line;
    std::optional<Words> words;
};
std::ostream& operator<<(std::ostream& os, const SplitCase& c) {
    return os << c.line;
}

class SplitCommandLineTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTable, SplitsLikeTheShellWithoutExpanding) {
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().words) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineTable,
    testing::Values(SplitCase{"xclock", Words{"xclock"}},
                    SplitCase{"  xeyes   -geometry\t200x200 ",
                              Words{"xeyes", "-geometry", "200x200"}},
                    SplitCase{"", Words{}}, SplitCase{"   \t ", Words{}},
                    SplitCase{"'/opt/My Tools/run' a", Words{"/opt/My Tools/run", "a"}},
                    SplitCase{"\"/opt/My Tools/run\" \"b c\"", Words{"/opt/My Tools/run", "b c"}},
                    SplitCase{"echo 'a\"b' \"c'd\"", Words{"echo", "a\"b", "c'd"}},
                    SplitCase{"echo \"a\\\"b\\\\c\\$d\\`e\\nf\"", Words{"echo", "a\"b\\c$d`e\\nf"}},
                    SplitCase{"echo 'a\\nb'", Words{"echo", "a\\nb"}},
                    SplitCase{"echo a\\ b \\'c", Words{"echo", "a b", "'c"}},
                    SplitCase{"echo a\\\nb", Words{"echo", "ab"}},
                    SplitCase{"echo end\\", Words{"echo", "end\\"}},
                    SplitCase{"echo \"\" ''", Words{"echo", "", ""}},
                    SplitCase{"pre'mid'\"post\"", Words{"premidpost"}},
                    SplitCase{"prog ; touch marker", Words{"prog", ";", "touch", "marker"}},
                    SplitCase{"prog $(touch x) `id` $HOME ~ *.txt a|b a&&b >f",
                              Words{"prog", "$(touch", "x)", "`id`", "$HOME", "~", "*.txt", "a|b",
                                    "a&&b", ">f"}},
                    SplitCase{"電卓 「引数」", Words{"電卓", "「引数」"}},
                    SplitCase{"prog 'unbalanced", std::nullopt},
                    SplitCase{"prog \"unbalanced", std::nullopt},
                    SplitCase{"prog \"a\\\"", std::nullopt}));

} // namespace
} // namespace pikorina
