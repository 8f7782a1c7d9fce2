// Runtime errors: a number and a text, thrown from the service or handler that detects the
// failure and caught at the one boundary every handler runs in (frmMain::Raise), which reports
// it and ends the program.
#pragma once

#include <cstddef>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pikorina {

enum ErrorNumber : int {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrSubscript = 9,
    kErrInternal = 51,
    kErrFileNotFound = 53,
    kErrInputPastEnd = 62,
    kErrPermissionDenied = 70,
    kErrPathFileAccess = 75,
    kErrPathNotFound = 76,
    kErrInvalidPropertyIndex = 381,
};

// The Japanese text the report shows for an error number.
std::string_view ErrorText(int number);

// Where in a text file a failure lies: the line, counted from 1, on which the record that
// failed began (0: no line in particular), and whether that record opened with a quotation
// mark that was never closed.
struct TextPlace {
    std::size_t line = 0;
    bool unclosedQuote = false;
};

class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(int number, std::string path = {}, TextPlace place = {});
    int number() const { return number_; }
    // The file the failure concerns, if any, so the report can say which file to mend.
    const std::string& path() const { return path_; }
    // And where in it, when the failure lies in its text.
    const TextPlace& place() const { return place_; }

  private:
    int number_;
    std::string path_;
    TextPlace place_;
};

// The failure an exception stands for, as the report numbers it: a runtime error as it is,
// the standard library's failures as their nearest numbers (no memory, a subscript, an
// overflow), and anything else as an internal error.
RuntimeError FailureOf(const std::exception_ptr& exception);

// The failure report's title and text, the same on every platform.
inline constexpr std::string_view kReportTitle = "ピコリナ";
std::string ReportText(const RuntimeError& e);

} // namespace pikorina
