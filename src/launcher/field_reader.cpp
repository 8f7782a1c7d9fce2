#include "launcher/field_reader.h"

#include "app/errors.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace pikorina {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80"; // U+3000 in UTF-8

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool EndsUnquotedField(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

// Eight bytes at a time: the high bit of each byte of the result is set where the word holds
// the byte b. Bits above the first match may be wrong (a borrow runs on); the first is exact.
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;
constexpr std::uint64_t Matches(std::uint64_t word, char b) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(b));
    return (x - kOnes) & ~x & kHighBits;
}

// Where the blanks that end text[start, end) begin.
std::size_t TrimBlanks(std::string_view text, std::size_t start, std::size_t end) {
    while (end > start) {
        const char c = text[end - 1];
        if (c == ' ' || c == '\t') {
            --end;
        } else if (c == kIdeographicSpace.back() && end - start >= kIdeographicSpace.size() &&
                   text.substr(end - kIdeographicSpace.size()).starts_with(kIdeographicSpace)) {
            end -= kIdeographicSpace.size();
        } else {
            break;
        }
    }
    return end;
}

} // namespace

FieldReader::FieldReader(std::string_view text, std::string path)
    : text_(text.substr(0, text.find('\x1A'))), path_(std::move(path)) {}

void FieldReader::SkipBlanks(bool lineEndsToo) {
    // Most fields start at once, and a closing quote is mostly followed by the comma: a
    // printable byte that is not the lead of U+3000. Kept small so that it is inlined.
    if (pos_ < text_.size()) {
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c > ' ' && c != 0xE3) return;
    }
    SkipBlankRun(lineEndsToo);
}

void FieldReader::SkipBlankRun(bool lineEndsToo) {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == ' ' || c == '\t' || (lineEndsToo && IsLineEnd(c))) {
            ++pos_;
        } else if (text_.compare(pos_, kIdeographicSpace.size(), kIdeographicSpace) == 0) {
            pos_ += kIdeographicSpace.size();
        } else {
            break;
        }
    }
}

bool FieldReader::SkipLineEnd() {
    if (pos_ >= text_.size() || !IsLineEnd(text_[pos_])) return false;
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    return true;
}

bool FieldReader::AtEnd() {
    SkipBlanks(true);
    return pos_ >= text_.size();
}

TextPlace FieldReader::PlaceOfNextRecord() const {
    // One line more than the line ends before the record, each of CR, LF and CR LF once.
    std::size_t line = 1;
    for (std::size_t i = 0; i < pos_; ++i) {
        const bool crLf = text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n';
        if (IsLineEnd(text_[i]) && !crLf) ++line;
    }
    const bool quoted = pos_ < text_.size() && text_[pos_] == '"';
    return {line, quoted && text_.find('"', pos_ + 1) == std::string_view::npos};
}

// The first comma or line end at or after `from`, or the end of the text. Launch lists are
// read twice at start-up and may be long, so this is the reader's inner loop.
std::size_t FieldReader::FindFieldEnd(std::size_t from) const {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    std::size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            const std::uint64_t hits =
                Matches(word, ',') | Matches(word, '\r') | Matches(word, '\n');
            if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(hits) / 8);
        }
    }
    while (i < size && !EndsUnquotedField(data[i]))
        ++i;
    return i;
}

void FieldReader::ReadField(bool firstOfRecord, std::string* out) {
    SkipBlanks(firstOfRecord);
    if (pos_ >= text_.size()) throw RuntimeError(kErrInputPastEnd, path_);

    if (text_[pos_] == '"') {
        const std::size_t start = pos_ + 1;
        const std::size_t close = text_.find('"', start);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            if (out) out->assign(text_.substr(start));
            return;
        }
        if (out) out->assign(text_.substr(start, close - start));
        pos_ = close + 1;
        SkipBlanks(false);
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
        } else {
            SkipLineEnd();
        }
        return;
    }

    const std::size_t start = pos_;
    const std::size_t end = FindFieldEnd(start);
    if (out) out->assign(text_.substr(start, TrimBlanks(text_, start, end) - start));
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
    } else {
        SkipLineEnd();
    }
}

void FieldReader::ReadRecord(std::string& name, std::string& command) {
    const std::size_t from = pos_;
    try {
        ReadField(true, &name);
        ReadField(false, &command);
    } catch (const RuntimeError&) {
        FailRecordFrom(from);
    }
}

void FieldReader::SkipRecord() {
    const std::size_t from = pos_;
    try {
        ReadField(true, nullptr);
        ReadField(false, nullptr);
    } catch (const RuntimeError&) {
        FailRecordFrom(from);
    }
}

// Only a failure counts lines, so a good file is read without: the failing record is found
// again from where reading it began.
void FieldReader::FailRecordFrom(std::size_t from) {
    pos_ = from;
    SkipBlanks(true);
    throw RuntimeError(kErrInputPastEnd, path_, PlaceOfNextRecord());
}

} // namespace pikorina
