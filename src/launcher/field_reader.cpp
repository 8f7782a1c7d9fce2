#include "launcher/field_reader.h"

#include "app/errors.h"

namespace pikorina {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80"; // U+3000 in UTF-8

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

FieldReader::FieldReader(std::string_view text, std::string path)
    : text_(text.substr(0, text.find('\x1A'))), path_(std::move(path)) {}

void FieldReader::SkipBlanks(bool lineEndsToo) {
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

std::string FieldReader::ReadField(bool firstOfRecord) {
    SkipBlanks(firstOfRecord);
    if (pos_ >= text_.size()) throw RuntimeError(kErrInputPastEnd, path_);

    if (text_[pos_] == '"') {
        const std::size_t start = pos_ + 1;
        const std::size_t close = text_.find('"', start);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            return std::string(text_.substr(start));
        }
        std::string field(text_.substr(start, close - start));
        pos_ = close + 1;
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
        } else {
            SkipLineEnd();
        }
        return field;
    }

    const std::size_t start = pos_;
    const std::size_t stop = text_.find_first_of(",\r\n", start);
    const std::size_t end = stop == std::string_view::npos ? text_.size() : stop;
    std::size_t last = end;
    while (last > start && (text_[last - 1] == ' ' || text_[last - 1] == '\t'))
        --last;
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
    } else {
        SkipLineEnd();
    }
    return std::string(text_.substr(start, last - start));
}

void FieldReader::ReadRecord(std::string& name, std::string& command) {
    name = ReadField(true);
    command = ReadField(false);
}

} // namespace pikorina
