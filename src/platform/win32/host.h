// The Win32 front end's host: files, the launch, the sound, the clock, the program's folder and
// the end, for frmMain's handlers. Kept apart from the window: none of it draws anything.
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
    std::string AppPath() const override; // text.cpp
    std::string_view PathSeparator() const override { return "\\"; }
    std::string ReadFile(const std::string& path) override; // text.cpp
    std::string DecodeText(std::string_view bytes,
                           TextEncoding encoding) const override; // text.cpp
    void Shell(const std::string& commandLine) override;          // launch.cpp
    void PrepareSound(const std::string& path) override;          // sound.cpp
    bool PlaySound(const std::string& path) override;             // sound.cpp
    [[noreturn]] void End(int exitStatus) override;

  private:
    // Reads the sound file into sound_; false when there is nothing to play.
    bool LoadSound(const std::string& path);

    std::optional<std::string> appPath_;
    std::string soundPath_, sound_; // the sound file played from memory, and its path
};

} // namespace pikorina::win32
