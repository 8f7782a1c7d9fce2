#include "launcher/text_encoding.h"

#include <algorithm>
#include <iterator>

namespace pikorina {
namespace {

enum class Encoding { Utf8, Utf16LE, Utf16BE, CodePage };

// A byte-order mark says how the file is encoded, and is not part of the first name.
struct ByteOrderMark {
    std::string_view bytes;
    Encoding encoding;
};
constexpr ByteOrderMark kMarks[] = {{"\xEF\xBB\xBF", Encoding::Utf8},
                                    {"\xFF\xFE", Encoding::Utf16LE},
                                    {"\xFE\xFF", Encoding::Utf16BE}};

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

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// The sequence that starts at bytes[i]: its length, and whether it is a well-formed character.
// A broken one is as long as the longest start of a well-formed one it has, at least a byte.
struct Utf8Step {
    std::size_t length;
    bool valid;
};
Utf8Step NextUtf8(std::string_view bytes, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    if (byte(0) < 0x80) return {1, true};
    const auto row = std::ranges::find_if(kUtf8Leads, [lead = byte(0)](const Utf8Lead& r) {
        return lead >= r.first && lead <= r.last;
    });
    if (row == std::end(kUtf8Leads)) return {1, false};
    for (std::size_t k = 1; k < row->length; ++k) {
        const bool fits =
            i + k < bytes.size() &&
            (k == 1 ? byte(1) >= row->low && byte(1) <= row->high : (byte(k) & 0xC0) == 0x80);
        if (!fits) return {k, false};
    }
    return {row->length, true};
}

// Whether bytes without a mark are UTF-8 rather than the system's code page: well-formed
// throughout and with at least one character beyond ASCII (plain ASCII reads the same either
// way). Shift_JIS text is practically never well-formed UTF-8: its lead bytes 0x81-0x9F are
// UTF-8 continuation bytes, and most of its second bytes break the continuation rule.
bool IsUtf8BeyondAscii(std::string_view bytes) {
    bool beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Step step = NextUtf8(bytes, i);
        if (!step.valid) return false;
        beyondAscii |= step.length > 1;
        i += step.length;
    }
    return beyondAscii;
}

std::string DecodeUtf8(std::string_view bytes) {
    std::string text;
    std::size_t copied = 0; // the bytes before this are in text
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Step step = NextUtf8(bytes, i);
        if (!step.valid) {
            text.append(bytes.substr(copied, i - copied)).append(kReplacement);
            copied = i + step.length;
        }
        i += step.length;
    }
    return text.append(bytes.substr(copied));
}

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
        return;
    }
    const int trail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3; // how many continuation bytes
    text += static_cast<char>((0xFF00 >> (trail + 1) & 0xFF) | c >> 6 * trail);
    for (int k = trail - 1; k >= 0; --k)
        text += static_cast<char>(0x80 | (c >> 6 * k & 0x3F));
}

std::string DecodeUtf16(std::string_view bytes, bool littleEndian) {
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return littleEndian ? first | second << 8 : first << 8 | second;
    };
    const auto isLead = [](char32_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    const auto isTrail = [](char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    std::string text;
    text.reserve(bytes.size() * 3 / 2);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (isLead(c) && i + 3 < bytes.size() && isTrail(unit(i + 2))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (isLead(c) || isTrail(c)) {
            c = 0xFFFD;
        }
        AppendUtf8(text, c);
    }
    if (i < bytes.size()) text += kReplacement; // half a character at the end
    return text;
}

} // namespace

std::string DecodeLaunchText(std::string_view bytes, const CodePage& codePage) {
    Encoding encoding = Encoding::CodePage;
    for (const ByteOrderMark& mark : kMarks) {
        if (bytes.starts_with(mark.bytes)) {
            encoding = mark.encoding;
            bytes.remove_prefix(mark.bytes.size());
            break;
        }
    }
    if (encoding == Encoding::CodePage && IsUtf8BeyondAscii(bytes)) return std::string(bytes);
    switch (encoding) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: return DecodeUtf16(bytes, encoding == Encoding::Utf16LE);
    case Encoding::Utf8: return DecodeUtf8(bytes);
    case Encoding::CodePage: break;
    }
    bytes = bytes.substr(0, bytes.find('\x1A'));
    // Every code page reads ASCII as ASCII, so a plain ASCII list needs no decoder.
    if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(bytes);
    }
    return codePage.DecodeCodePage(bytes);
}

} // namespace pikorina
