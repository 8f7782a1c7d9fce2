// The window-system services that the window's handlers need, in the handlers' own units:
// twips, 32-bit colour values, UTF-8 text. Each front end (Qt, Win32) implements this once; the
// tests plug in a fake that records every call and scripts the clock and the events.
#pragma once

#include "app/types.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pikorina {

// The largest file ReadFile takes. Its one file is the launch list, and a loaded record costs
// about 400 bytes: a file this large (some 1.7 million typical records) is no list written by
// hand but a log or a disk image renamed by mistake, which would exhaust memory before anything
// is shown; on Linux the kernel would end the process before it could say why.
inline constexpr std::uint64_t kLargestFileBytes = std::uint64_t{64} << 20;

// The window's controls, in the order in which the window declares them.
enum class ControlId {
    終了,
    キャンセル,
    シャットダウン,
    ListBox,
    Back_2,
    Back_1,
    Donpa_2,
    Donpa_1,
    Donpa,
    Label,
};
inline constexpr int kControlCount = 10;

// The four numbers that place a control.
enum class Geometry { Left, Top, Width, Height };

// How a launch list's bytes are to be read.
enum class TextEncoding {
    Utf8,    // the file said so with a byte-order mark
    Utf16LE, // likewise; what Windows editors save as "Unicode"
    Utf16BE,
    Ansi, // the system's code page, or the front end's best guess where it has none
};

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // The window: outer size, background colour and picture.
    virtual void SetWindowWidth(Twips width) = 0;
    virtual void SetWindowHeight(Twips height) = 0;
    virtual OleColor BackColor() const = 0;
    virtual void SetBackColor(OleColor color) = 0;
    // Makes the image control's picture the window's background; one without a picture
    // removes the background picture.
    virtual void SetWindowPicture(ControlId image) = 0;

    // Any control: geometry relative to the client area, and visibility.
    virtual void SetGeometry(ControlId control, Geometry which, Twips value) = 0;
    virtual void SetVisible(ControlId control, bool visible) = 0;

    // Image controls: the target shows the source's picture from now on.
    virtual void SetImagePicture(ControlId target, ControlId source) = 0;

    // The list box. Items are appended at the end, never sorted; the whole batch in one go, so
    // a long list shows promptly.
    virtual void AddListItems(std::span<const std::string> items) = 0;
    // Throws error 381 when there is no such item.
    virtual void SelectListItem(int index) = 0;
    // -1 when nothing is selected.
    virtual int ListIndex() const = 0;

    // Seconds since local midnight, with a fraction; restarts at 0 at midnight.
    virtual double Timer() const = 0;
    // Seconds on a clock that never jumps, for measuring how long something took.
    virtual double MonotonicSeconds() const = 0;
    // Handles every pending event, sleeping until the first one arrives for at most
    // maxWaitSeconds, then returns. Handlers it runs are nested in the caller.
    virtual void DoEvents(double maxWaitSeconds) = 0;

    // A modal message box; returns the button pressed (kAnswerOk, kAnswerCancel).
    virtual int MsgBox(std::string_view text, int style, std::string_view title) = 0;

    // The folder that holds the program, without a trailing separator, and the separator
    // that joins a file name to it.
    virtual std::string AppPath() const = 0;
    virtual std::string_view PathSeparator() const = 0;
    // Where the launch list Setup.ini and the explosion's sound Don.wav are: beside the program,
    // unless the platform also keeps such files elsewhere and the front end looks there. A
    // launch list that is nowhere throws 53 naming the path where the user's own belongs.
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

    // Takes an MCI command string ("play <path>") and starts the sound without waiting.
    // Never shows anything; the result says only whether playback was started.
    virtual bool mciExecute(std::string_view command) = 0;

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
