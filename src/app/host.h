// The host: what the handlers need of the machine rather than of the window. Reading files,
// starting programs, the sound, the clocks, where the program lives, and ending it. Each front
// end implements this once, apart from its window; the tests plug in a fake that scripts the
// clock and the files and records what was started and played.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace pikorina {

// The largest file ReadFile takes. Its one file is the launch list, and a loaded record costs
// about 400 bytes: a file this large (some 1.7 million typical records) is no list written by
// hand but a log or a disk image renamed by mistake, which would exhaust memory before anything
// is shown; on Linux the kernel would end the process before it could say why.
inline constexpr std::uint64_t kLargestFileBytes = std::uint64_t{64} << 20;

// How a launch list's bytes are to be read.
enum class TextEncoding {
    Utf8,    // the file said so with a byte-order mark, or its bytes are UTF-8 beyond ASCII
    Utf16LE, // said so with a mark; what Windows editors save as "Unicode"
    Utf16BE,
    Ansi, // the system's code page; where the platform has none, code page 932
};

// What End() throws in a host that must not end its process (the tests' fake): the one
// exception that the handlers' failure boundary lets pass, so the end unwinds to whoever raised
// the event and no further handler code runs.
struct ProgramEnd {
    int status;
};

class Host {
  public:
    virtual ~Host() = default;

    // Seconds since local midnight, with a fraction; restarts at 0 at midnight.
    virtual double Timer() const = 0;
    // Seconds on a clock that never jumps, for measuring how long something took.
    virtual double MonotonicSeconds() const {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }

    // The folder that holds the program, without a trailing separator, and the separator
    // that joins a file name to it.
    virtual std::string AppPath() const = 0;
    virtual std::string_view PathSeparator() const = 0;
    // Where the launch list Setup.ini and the explosion's sound Don.wav are: beside the program,
    // unless the platform also keeps such files elsewhere and the host looks there. A launch
    // list that is nowhere throws 53 naming the path where the user's own belongs.
    virtual std::string LaunchListPath() const { return BesideProgram("Setup.ini"); }
    virtual std::string SoundPath() const { return BesideProgram("Don.wav"); }
    // The whole file's bytes; throws 53, 70, 75 or 76 with the path, and 7 (out of memory)
    // without reading a file larger than kLargestFileBytes.
    virtual std::string ReadFile(const std::string& path) = 0;
    // Text in the given encoding as UTF-8; bytes it cannot read become U+FFFD.
    virtual std::string DecodeText(std::string_view bytes, TextEncoding encoding) const = 0;

    // Starts a command line in a normal window with focus, without waiting. Throws a
    // RuntimeError when the program cannot be started.
    virtual void Shell(const std::string& commandLine) = 0;

    // The explosion's sound: a wave file's bytes. LoadSound takes them at the click, before the
    // first wait, half a second or more before the first bang: it decodes them and opens the
    // sound output then, so that the bang starts on time, and returns at once. PlaySound starts
    // what was loaded without waiting for it; a bang still sounding plays on. Neither shows
    // anything nor fails: bytes it cannot decode, no sound server or no device is silence, and
    // the result says only whether playback was started.
    virtual void LoadSound(std::string wave) = 0;
    virtual bool PlaySound() = 0;

    // Ends the program at once, also from a nested handler: no further handler runs.
    [[noreturn]] virtual void End(int exitStatus) = 0;

  protected:
    std::string BesideProgram(std::string_view name) const {
        std::string path = AppPath();
        path += PathSeparator();
        path += name;
        return path;
    }
};

} // namespace pikorina
