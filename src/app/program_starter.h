// Starting a program from a list entry's command line. The core refuses a line that cannot be
// meant (blank, or holding a NUL) and, where programs take a list of arguments, splits the
// line (launcher/command_line.h); the platform starts what it is given.
#pragma once

#include <span>
#include <string>

namespace pikorina {

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;

    // True where a program is started with a list of words, the program's first (Linux);
    // false where it gets its command line whole and splits it itself (Windows).
    virtual bool TakesArgumentList() const = 0;
    // Starts the program in a normal window with focus, without waiting: from the line's words,
    // or from the line alone as the one element; never from none. Throws a RuntimeError when it
    // cannot be started.
    virtual void StartProgram(std::span<const std::string> command) = 0;
};

} // namespace pikorina
