// The Win32 front end's host: the platform's part of each of the host's roles (app/host.h), for
// frmMain's handlers. Kept apart from the window: none of it draws anything.
#pragma once

#include "app/host.h"

#include <optional>
#include <string>

namespace pikorina::win32 {

class Host final : public pikorina::Host {
  public:
    // appPath: the folder that holds Setup.ini and Don.wav; the program's own folder by default.
    explicit Host(std::optional<std::string> appPath = std::nullopt)
        : appPath_(std::move(appPath)) {}
    ~Host() override; // sound.cpp

    double Timer() const override;
    std::string AppPath() const override;
    std::string_view PathSeparator() const override { return "\\"; }
    std::unique_ptr<OpenFile> OpenPlainFile(const std::string& path) override; // file_system.cpp
    std::string DecodeCodePage(std::string_view bytes) const override;         // text.cpp
    bool TakesArgumentList() const override { return false; }
    void StartProgram(std::span<const std::string> commandLine) override; // launch.cpp
    void LoadSound(std::string wave) override;                            // sound.cpp
    bool PlaySound() override;                                            // sound.cpp
    [[noreturn]] void End(int exitStatus) override;

  private:
    std::optional<std::string> appPath_;
    std::string sound_; // the wave file, played from memory
};

} // namespace pikorina::win32
