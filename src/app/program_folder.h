// Where the program lives, and where its two files are: the launch list Setup.ini and the
// explosion's sound Don.wav.
#pragma once

#include <string>
#include <string_view>

namespace pikorina {

class ProgramFolder {
  public:
    virtual ~ProgramFolder() = default;

    // The folder that holds the program, without a trailing separator, and the separator
    // that joins a file name to it.
    virtual std::string AppPath() const = 0;
    virtual std::string_view PathSeparator() const = 0;
    // Beside the program, unless the platform also keeps such files elsewhere and looks there.
    // A launch list that is nowhere throws 53 naming the path where the user's own belongs.
    virtual std::string LaunchListPath() const { return BesideProgram("Setup.ini"); }
    virtual std::string SoundPath() const { return BesideProgram("Don.wav"); }

  protected:
    std::string BesideProgram(std::string_view name) const {
        std::string path = AppPath();
        path += PathSeparator();
        path += name;
        return path;
    }
};

} // namespace pikorina
