// The Qt front end's host: files, the launch, the sound, the clock, the program's folder and the
// end, for frmMain's handlers. Kept apart from the window: none of it draws anything.
#pragma once

#include "app/host.h"

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
    void PrepareSound(const std::string& path) override;          // sound.cpp
    bool PlaySound(const std::string& path) override;             // sound.cpp
    [[noreturn]] void End(int exitStatus) override;

  private:
    class Sound; // sound.cpp
    QString appPath_;
    std::unique_ptr<Sound> sound_;
};

} // namespace pikorina::qt
