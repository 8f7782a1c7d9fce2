// Reads the launch list's delimited fields: records of two fields, the entry's name and its
// command line.
//
// The rules, all in one place:
//   - Fields are separated by a comma or a line end; CR, LF and CR LF are each one line end.
//   - Before a field, spaces, tabs and the full-width space U+3000 are skipped. Before a record's
//     first field blank lines are skipped too, so blank lines between records, or one that an
//     editor leaves at the end, never break the file; a file of blank lines holds no records.
//   - An unquoted field runs to the next comma or line end; trailing spaces and tabs are
//     dropped. A quotation mark inside it is an ordinary character.
//   - A quoted field starts with " and ends at the next ", and may hold commas and line ends.
//     After the closing quote, spaces and tabs are skipped, then one comma or one line end is
//     taken if present. A missing closing quote runs the field to the end of the file.
//   - Ctrl+Z (0x1A) marks the end of the file; nothing after it is read.
//   - A field read that starts at the end of the file fails with error 62, so a last record
//     with a name and no command line fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pikorina {

class FieldReader {
  public:
    // text is UTF-8; path only names the file in an error report.
    FieldReader(std::string_view text, std::string path);

    // True when no record is left: only blank space and line ends remain.
    bool AtEnd();
    // Reads one record's two fields; throws error 62 when the file ends before them. The
    // strings are overwritten, so a caller reading many records can reuse their memory.
    void ReadRecord(std::string& name, std::string& command);
    // Passes over one record as ReadRecord would, failing the same way, without copying it.
    void SkipRecord();

  private:
    // Copies the field into out, unless out is null.
    void ReadField(bool firstOfRecord, std::string* out);
    void SkipBlanks(bool lineEndsToo);
    bool SkipLineEnd();
    std::size_t FindFieldEnd(std::size_t from) const;
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string path_;
};

} // namespace pikorina
