// Reads the launch list's delimited fields: records of two fields, the entry's name and its
// command line. The text is UTF-8; the load decodes the file before it comes here.
//
// The rules, all in one place. A blank is a space, a tab or the full-width space U+3000, in any
// mix: Japanese input methods type U+3000 where a space was meant, so it counts wherever a
// space does.
//   - Fields are separated by a comma or a line end; CR, LF and CR LF are each one line end.
//   - Blanks before a field are skipped. Before a record's first field line ends are skipped
//     too, so blank lines between records, or one that an editor leaves at the end, never
//     break the file; a file of blank lines holds no records.
//   - An unquoted field runs to the next comma or line end; blanks at its end are dropped. A
//     quotation mark inside it is an ordinary character.
//   - A quoted field starts with " and ends at the next ", and may hold commas and line ends.
//     After the closing quote, blanks are skipped, then one comma or one line end is taken if
//     present. A missing closing quote runs the field to the end of the file.
//   - Ctrl+Z (0x1A) marks the end of the file; nothing after it is read.
//   - A NUL byte is an ordinary character and stays in its field.
//   - A field read that starts at the end of the file fails with error 62, so a last record
//     with a name and no command line fails. The error says on which line the failing record
//     began, and whether it opened with a quotation mark that was never closed (one that opens
//     a command runs that command to the end of the file, which is no failure). Only a failure
//     counts lines, so reading a good file never does.
//
// Where these rules part from the platform's own field reader, and why they stay so:
//   - CR, LF and CR LF alike end a line: lists are written with any editor, on any system.
//   - Blank lines between records are skipped rather than read as empty fields, which would
//     shift every record after them by one field.
//   - A stray comma at the end of a line, after a record's command, does not shift the records
//     that follow either: the next record still starts on the next line.
//   - Tabs at the end of an unquoted field are dropped like spaces; nobody means them.
//   - A NUL byte stays in the field, and the launch refuses a command line that holds one,
//     rather than starting the part before it, which would be another program.
#pragma once

#include "app/errors.h"

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
    // Where the next record begins, once AtEnd() has said there is one.
    TextPlace PlaceOfNextRecord() const;

  private:
    // Copies the field into out, unless out is null.
    void ReadField(bool firstOfRecord, std::string* out);
    void SkipBlanks(bool lineEndsToo);
    void SkipBlankRun(bool lineEndsToo);
    bool SkipLineEnd();
    std::size_t FindFieldEnd(std::size_t from) const;
    [[noreturn]] void FailRecordFrom(std::size_t from);
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string path_;
};

} // namespace pikorina
