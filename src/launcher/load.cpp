// Start-up: the launch list from Setup.ini, wherever the front end finds it, into the launch
// arrays and the list box. The file is read twice: the first pass counts the records so that
// the arrays can be sized once, the second fills them.
#include "app/errors.h"
#include "app/frmMain.h"
#include "app/module.h"
#include "launcher/field_reader.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <span>

namespace pikorina {
namespace {

// A byte-order mark says how the file is encoded, and is not part of the first name.
struct ByteOrderMark {
    std::string_view bytes;
    TextEncoding encoding;
};
constexpr ByteOrderMark kMarks[] = {{"\xEF\xBB\xBF", TextEncoding::Utf8},
                                    {"\xFF\xFE", TextEncoding::Utf16LE},
                                    {"\xFE\xFF", TextEncoding::Utf16BE}};

// Well-formed UTF-8, after Unicode's table of well-formed byte sequences: the lead byte gives
// the length and the range of the second byte (which rules out overlong forms, surrogates and
// code points past U+10FFFF); every later byte is 0x80-0xBF.
struct Utf8Lead {
    unsigned char first, last; // the lead bytes of this row
    std::size_t length;
    unsigned char low, high; // the second byte's range
};
constexpr Utf8Lead kUtf8Leads[] = {{0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
                                   {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F},
                                   {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
                                   {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F}};

// Whether bytes without a mark are UTF-8 rather than the system's code page: well-formed
// throughout and with at least one character beyond ASCII (plain ASCII reads the same either
// way). Today's editors save UTF-8 without a mark. Shift_JIS text is practically never
// well-formed UTF-8: its lead bytes 0x81-0x9F are UTF-8 continuation bytes, and most of its
// second bytes break the continuation rule.
bool IsUtf8BeyondAscii(std::string_view bytes) {
    bool beyondAscii = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const auto row = std::ranges::find_if(
            kUtf8Leads, [lead](const Utf8Lead& r) { return lead >= r.first && lead <= r.last; });
        if (row == std::end(kUtf8Leads) || bytes.size() - i < row->length) return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < row->low || second > row->high) return false;
        for (std::size_t k = 2; k < row->length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        beyondAscii = true;
        i += row->length;
    }
    return beyondAscii;
}

std::string ReadLaunchText(Host& host, const std::string& path) {
    const std::string bytes = host.ReadFile(path);
    const std::string_view view(bytes);
    for (const ByteOrderMark& mark : kMarks) {
        if (view.starts_with(mark.bytes)) {
            return host.DecodeText(view.substr(mark.bytes.size()), mark.encoding);
        }
    }
    return host.DecodeText(view, IsUtf8BeyondAscii(view) ? TextEncoding::Utf8 : TextEncoding::Ansi);
}

// The record counters are 32-bit; counting past the top is an overflow, not a wrap.
std::int32_t Increment(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::max()) throw RuntimeError(kErrOverflow);
    return value + 1;
}

} // namespace

void frmMain::LoadLaunchList() {
    using Module::launchCommands;
    using Module::launchNames;
    const std::string path = host_.LaunchListPath();
    try {
        std::int32_t count = 0;
        {
            const std::string text = ReadLaunchText(host_, path);
            FieldReader file(text, path);
            if (!file.AtEnd()) {
                launchNames.assign(1, {});
                launchCommands.assign(1, {});
                file.ReadRecord(launchNames[0], launchCommands[0]);
            }
            // Counting needs the records' boundaries, not their text.
            while (!file.AtEnd()) {
                file.SkipRecord();
                count = Increment(count);
            }
        }

        const std::string text = ReadLaunchText(host_, path);
        FieldReader file(text, path);
        const auto size = static_cast<std::size_t>(count) + 1;
        launchNames.assign(size, {});
        launchCommands.assign(size, {});
        std::int32_t j = 0;
        while (!file.AtEnd()) {
            // The file grew since the first pass.
            if (static_cast<std::size_t>(j) >= size) {
                throw RuntimeError(kErrSubscript, path, file.PlaceOfNextRecord());
            }
            file.ReadRecord(launchNames[j], launchCommands[j]);
            j = Increment(j);
        }
        ListBox.AddItems(std::span<const std::string>(launchNames).first(j));
        // Fails when the file held no record: there is no item 0.
        ListBox.SetSelected(0);
    } catch (const RuntimeError& e) {
        // Every failure here is the file's, so the report names it.
        if (e.path().empty()) throw RuntimeError(e.number(), path);
        throw;
    }
}

} // namespace pikorina
