// A window system without a screen: records every operation in a log, keeps the state a real
// window would have (its surface is the core's own, as in the real front ends), and scripts the
// clock, the events that arrive while the window waits, the answers of message boxes and the
// files on disk.
#pragma once

#include "app/errors.h"
#include "app/surface.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pikorina::test {

// Thrown by End() so that a test can see the program end without ending the test.
struct ProgramEnded {
    int status;
};

struct MsgBoxCall {
    std::string text;
    int style;
    std::string title;
};

class FakeWindowSystem : public SurfaceWindowSystem {
  public:
    // The log: one line per operation, "Hide Label", "SetTop Donpa 2280", "DoEvents", ...
    std::vector<std::string> log;
    // Lines of the log that match a prefix, in order.
    std::vector<std::string> LogOf(std::string_view prefix) const;

    // What a real window would show besides its surface; the focus is on a native control,
    // or on the window itself when there is none.
    std::optional<ControlId> focus = ControlId::ListBox;
    std::vector<std::string> listItems;
    int listIndex = -1;

    // The clock: the wall clock is midnightOffset + monotonic, wrapped at midnight.
    double monotonic = 1000.0;
    double wallAtStart = 36000.25;
    // The day clock moves in steps of this many seconds when set (Windows': about 1/64 s),
    // so that it can read a little behind the monotonic one.
    double timerTick = 0;
    // How late a pump that sleeps the whole time wakes up, as a real timer would.
    double wakeLatency = 0.0015;
    int doEventsCalls = 0;
    // Events that arrive at a time on the monotonic clock; run by the pump when it is reached.
    void At(double monotonicTime, std::function<void()> event);
    // Sets the wall clock so that it reads `seconds` now.
    void SetTimer(double seconds);

    // Files on disk: each read of a path takes the next of its contents (the last one stays).
    std::map<std::string, std::deque<std::string>> files;
    std::map<std::string, int> fileErrors; // path -> error number on reading
    mutable std::vector<TextEncoding> decodedAs;
    mutable std::vector<std::string> decodedBytes;

    // Commands that fail to start, and what happens when a box is shown.
    std::vector<std::string> unstartable;
    std::vector<std::string> started;
    std::vector<std::string> sounds;
    std::vector<double> soundTimes; // on the monotonic clock
    std::vector<MsgBoxCall> boxes;
    std::function<int(const MsgBoxCall&)> onMsgBox;

    // WindowSystem
    void SetWindowWidth(Twips width) override;
    void SetWindowHeight(Twips height) override;
    void SetBackColor(OleColor color) override;
    void SetWindowPicture(ControlId image) override;
    void SetGeometry(ControlId control, Geometry which, Twips value) override;
    void SetVisible(ControlId control, bool visible) override;
    void SetImagePicture(ControlId target, ControlId source) override;
    void AddListItems(std::span<const std::string> items) override;
    void SelectListItem(int index) override;
    int ListIndex() const override { return listIndex; }
    double Timer() const override;
    double MonotonicSeconds() const override { return monotonic; }
    void DoEvents(double maxWaitSeconds) override;
    int MsgBox(std::string_view text, int style, std::string_view title) override;
    std::string AppPath() const override { return "C:\\Tools"; }
    std::string_view PathSeparator() const override { return "\\"; }
    std::string ReadFile(const std::string& path) override;
    std::string DecodeText(std::string_view bytes, TextEncoding encoding) const override;
    void Shell(const std::string& commandLine) override;
    bool mciExecute(std::string_view command) override;
    [[noreturn]] void End(int exitStatus) override;

  protected:
    // The tests raise the form's handlers themselves.
    void Raise(frmMain::Handler) override {}
    void Repaint() override {}
    void ResizeWindow() override {}
    void PlaceControl(ControlId) override {}
    void ShowControl(ControlId, bool) override {}
    bool HasFocus(ControlId id) const override { return focus == id; }
    void FocusWindow() override { focus.reset(); }
    void FocusControl(ControlId id) override { focus = id; }

  private:
    std::multimap<double, std::function<void()>> events_;
};

std::string Name(ControlId id);

// What a surface paints, one line a call: "fill 0 0 5535 3570 8000000f",
// "picture Dynamite 2400 2280 480 480", "text 240 2280 5055 630 9pt 0 the warning".
std::vector<std::string> Painted(const Surface& surface);

} // namespace pikorina::test
