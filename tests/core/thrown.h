// Every kind of exception a handler can meet, and the error number the failure report gives it.
// The core's, the Qt window's and the Win32 window's tests each throw these rows through their
// own dispatch: none may escape, and each must end the program with status 1 after its report.
#pragma once

#include "app/errors.h"

#include <new>
#include <stdexcept>
#include <vector>

namespace pikorina::test {

struct ThrownKind {
    const char* what;
    void (*raise)();
    int number;
};

inline constexpr ThrownKind kThrownKinds[] = {
    {"a runtime error", [] { throw RuntimeError(kErrPathNotFound); }, kErrPathNotFound},
    {"no memory", [] { throw std::bad_alloc(); }, kErrOutOfMemory},
    {"a subscript out of range", [] { (void)std::vector<int>().at(0); }, kErrSubscript},
    {"an overflow", [] { throw std::overflow_error("overflow"); }, kErrOverflow},
    {"another standard failure", [] { throw std::logic_error("logic"); }, kErrInternal},
    {"something of no known kind", [] { throw 42; }, kErrInternal},
};

} // namespace pikorina::test
