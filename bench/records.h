// Typical launch-list records for the benchmarks: a quoted Japanese name (some with a comma in
// it), a comma, and a command line with a few arguments, one record a line. The same index
// always gives the same record.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pikorina::bench {

inline void AppendRecord(std::string& out, std::size_t i) {
    static constexpr std::array<std::string_view, 6> kNames{"時計", "目玉, 大きめ", "電卓",
                                                            "ロゴ", "虫眼鏡",       "端末"};
    static constexpr std::array<std::string_view, 6> kCommands{
        "xclock -update 1", "xeyes -geometry 200x200",          "xcalc -rpn", "xlogo -render",
        "xmag -mag 4",      "xterm -fa IPAGothic -fs 12 -e top"};
    const std::size_t k = i % kNames.size();
    if (i % 4 == 3) {
        // Now and then an unquoted name, as people write them by hand.
        out += "電卓";
    } else {
        out += '"';
        out += kNames[k];
        out += '"';
    }
    out += ',';
    out += kCommands[(i / kNames.size() + k) % kCommands.size()];
    out += " --n ";
    out += std::to_string(i);
    out += '\n';
}

inline std::string MakeRecords(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        AppendRecord(out, i);
    return out;
}

// At least minBytes of whole records.
inline std::string MakeRecordsOfSize(std::size_t minBytes) {
    std::string out;
    for (std::size_t i = 0; out.size() < minBytes; ++i)
        AppendRecord(out, i);
    return out;
}

} // namespace pikorina::bench
