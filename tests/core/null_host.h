// A host whose every role does nothing: no clock moves, no file is there, nothing starts and
// nothing sounds. Tests derive from it and script only the roles they look at.
#pragma once

#include "app/errors.h"
#include "app/host.h"

namespace pikorina::test {

class NullHost : public Host {
  public:
    double Timer() const override { return 0; }
    double MonotonicSeconds() const override { return 0; }
    std::string AppPath() const override { return {}; }
    std::string_view PathSeparator() const override { return "\\"; }
    std::unique_ptr<OpenFile> OpenPlainFile(const std::string& path) override {
        throw RuntimeError(kErrFileNotFound, path);
    }
    std::string DecodeCodePage(std::string_view bytes) const override { return std::string(bytes); }
    bool TakesArgumentList() const override { return false; }
    void StartProgram(std::span<const std::string>) override {}
    void LoadSound(std::string) override {}
    bool PlaySound() override { return false; }
    // Throws ProgramEnd, so that the test sees the end and goes on.
    [[noreturn]] void End(int exitStatus) override { throw ProgramEnd{exitStatus}; }
};

} // namespace pikorina::test
