// The Qt front end's host: files, the launch, the sound, the clock, the program's folder and the
// end, for frmMain's handlers. Kept apart from the window: none of it draws anything.
#pragma once

#include "app/host.h"
#include "platform/qt/sound.h"

#include <QString>

#include <memory>

namespace pikorina::qt {

class Host final : public pikorina::Host {
  public:
    // appPath: the program's folder, where Setup.ini and Don.wav are looked for first; the
    // program's own folder by default.
    explicit Host(QString appPath = {});
    ~Host() override;

    double Timer() const override;
    std::string AppPath() const override;
    std::string_view PathSeparator() const override { return "/"; }
    std::string LaunchListPath() const override;            // xdg.cpp
    std::string SoundPath() const override;                 // xdg.cpp
    std::string ReadFile(const std::string& path) override; // text.cpp
    std::string DecodeText(std::string_view bytes,
                           TextEncoding encoding) const override; // text.cpp
    void Shell(const std::string& commandLine) override;          // launch.cpp
    void LoadSound(std::string wave) override;                    // sound.cpp
    bool PlaySound() override;                                    // sound.cpp
    [[noreturn]] void End(int exitStatus) override;

  private:
    QString appPath_;
    std::unique_ptr<SoundOutput> sound_; // once the module is loaded
};

} // namespace pikorina::qt
