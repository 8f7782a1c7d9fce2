// A host without a machine behind it: scripts the clocks and the files on disk, and records what
// was started, played and read in the log it shares with the fake window, so that a test sees
// the window's operations and the host's in the order they happened.
#pragma once

#include "null_host.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace pikorina::test {

class FakeHost : public NullHost {
  public:
    // The log: one line per operation, "ReadFile C:\Tools\Setup.ini", "StartProgram a.exe", ...
    std::vector<std::string> log;

    // The clock: the wall clock is wallAtStart + monotonic, wrapped at midnight.
    double monotonic = 1000.0;
    double wallAtStart = 36000.25;
    // The day clock moves in steps of this many seconds when set (Windows': about 1/64 s),
    // so that it can read a little behind the monotonic one.
    double timerTick = 0;
    // Sets the wall clock so that it reads `seconds` now.
    void SetTimer(double seconds) { wallAtStart = seconds - monotonic; }

    // Files on disk: each read of a path takes the next of its contents (the last one stays).
    std::map<std::string, std::deque<std::string>> files;
    std::map<std::string, int> fileErrors;          // path -> error number on opening
    std::map<std::string, std::uint64_t> fileSizes; // the size a file says it has, if not its own
    std::set<std::string> failingReads;             // reading these fails at their end
    mutable std::vector<std::string> codePageBytes; // what was decoded as the code page
    // Programs take an argument list, as on Linux, when set.
    bool argumentLists = false;

    // Commands that fail to start, and what was started and played. A list of words is started
    // as the words joined by "|".
    std::vector<std::string> unstartable;
    std::vector<std::string> started;
    std::vector<std::string> sounds; // the bytes loaded when each bang played
    std::vector<double> soundTimes;  // on the monotonic clock

    double Timer() const override;
    double MonotonicSeconds() const override { return monotonic; }
    std::string AppPath() const override { return "C:\\Tools"; }
    std::unique_ptr<OpenFile> OpenPlainFile(const std::string& path) override;
    // Code page 1252's first 256 code points (Latin-1): every byte is the character of its value.
    std::string DecodeCodePage(std::string_view bytes) const override;
    bool TakesArgumentList() const override { return argumentLists; }
    void StartProgram(std::span<const std::string> command) override;
    void LoadSound(std::string wave) override;
    bool PlaySound() override;
    // Logs "End <status>" and throws ProgramEnd, so that the test sees the end and goes on.
    [[noreturn]] void End(int exitStatus) override;

  private:
    std::string wave_;
};

} // namespace pikorina::test
