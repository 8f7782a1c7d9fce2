// Tables that run against both front ends' hosts, for what each asks of its own system: the code
// page, and why a file cannot be opened. The rules around them are the core's, tested there.
#pragma once

#include "app/errors.h"

#include <string>

namespace pikorina::test {

// Code page 932, the system's under the tests' Japanese locale, and Linux's stand-in for it.
struct CodePageRow {
    const char* what;
    std::string bytes, utf8;
};
inline const CodePageRow kCodePageRows[] = {
    {"kanji", "\x93\x64\x91\xEC,calc", "電卓,calc"},
    {"half-width katakana", "\xB4\xD7\xB0", "ｴﾗｰ"},
    {"mixed", "a\x83\x65\x83\x58\x83\x67,b", "aテスト,b"},
    {"a lead byte at the end", "ab\x93", "ab\uFFFD"},
    {"a byte code page 932 has no character for", "a\xA0z", "a\uFFFDz"},
};

// Paths in a test's own folder, "/" standing for the platform's separator; "folder" is a folder.
struct OpenFailureRow {
    const char* path;
    int number;
};
inline constexpr OpenFailureRow kOpenFailureRows[] = {
    {"missing.ini", kErrFileNotFound},
    {"no such folder/Setup.ini", kErrPathNotFound},
    {"folder", kErrPathFileAccess},
};

} // namespace pikorina::test
