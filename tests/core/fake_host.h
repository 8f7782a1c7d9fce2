// A host without a machine behind it: scripts the clocks and the files on disk, and records what
// was started, played and read in the log it shares with the fake window, so that a test sees
// the window's operations and the host's in the order they happened.
#pragma once

#include "app/errors.h"
#include "app/host.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace pikorina::test {

class FakeHost : public Host {
  public:
    // The log: one line per operation, "ReadFile C:\Tools\Setup.ini", "Shell a.exe", ...
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
    std::map<std::string, int> fileErrors; // path -> error number on reading
    mutable std::vector<TextEncoding> decodedAs;
    mutable std::vector<std::string> decodedBytes;

    // Commands that fail to start, and what was started and played.
    std::vector<std::string> unstartable;
    std::vector<std::string> started;
    std::vector<std::string> sounds; // the bytes loaded when each bang played
    std::vector<double> soundTimes;  // on the monotonic clock

    double Timer() const override;
    double MonotonicSeconds() const override { return monotonic; }
    std::string AppPath() const override { return "C:\\Tools"; }
    std::string_view PathSeparator() const override { return "\\"; }
    std::string ReadFile(const std::string& path) override;
    std::string DecodeText(std::string_view bytes, TextEncoding encoding) const override;
    void Shell(const std::string& commandLine) override;
    void LoadSound(std::string wave) override;
    bool PlaySound() override;
    // Logs "End <status>" and throws ProgramEnd, so that the test sees the end and goes on.
    [[noreturn]] void End(int exitStatus) override;

  private:
    std::string wave_;
};

} // namespace pikorina::test
