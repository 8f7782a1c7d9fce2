// The Qt front end's host: the platform's part of each of the host's roles (app/host.h), for
// frmMain's handlers. Kept apart from the window: none of it draws anything.
#pragma once

#include "app/host.h"

#include <QString>

#include <memory>

namespace pikorina::qt {

class Sound;

class Host final : public pikorina::Host {
  public:
    // appPath: the program's folder, where Setup.ini and Don.wav are looked for first; the
    // program's own folder by default.
    explicit Host(QString appPath = {});
    ~Host() override;

    double Timer() const override;
    std::string AppPath() const override;
    std::string_view PathSeparator() const override { return "/"; }
    std::string LaunchListPath() const override;                               // xdg.cpp
    std::string SoundPath() const override;                                    // xdg.cpp
    std::unique_ptr<OpenFile> OpenPlainFile(const std::string& path) override; // file_system.cpp
    std::string DecodeCodePage(std::string_view bytes) const override;         // text.cpp
    bool TakesArgumentList() const override { return true; }
    void StartProgram(std::span<const std::string> words) override; // launch.cpp
    void LoadSound(std::string wave) override;                      // sound.cpp
    bool PlaySound() override;                                      // sound.cpp
    [[noreturn]] void End(int exitStatus) override;

  private:
    QString appPath_;
    std::unique_ptr<Sound> sound_; // once the module is loaded
};

} // namespace pikorina::qt
