// What the Win32 tests share: temporary folders, the real window with its message-box seam,
// input posted through the program's own message loop, and pixels read back from the window's
// surface. What ends the program ends the test program too: such tests are death tests.
#pragma once

#include "app/frmMain.h"
#include "platform/win32/host.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pikorina::win32::test {

// The folder that holds the test program, without a trailing backslash.
std::wstring ModuleFolder();
// A new empty folder of our own under the temp folder; RemoveTree takes it away again.
std::wstring MakeTempFolder();
void RemoveTree(const std::wstring& folder);
void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Waits, handling nothing, until the file exists and can be read, or a generous deadline passes.
// The deadline only keeps a broken program from hanging the test; nothing is measured against it.
bool WaitForFile(const std::wstring& path);

// The stand-in for a launched program, and the command line that makes it write `out`.
std::wstring MarkerExe();
std::string MarkerCommand(const std::wstring& out, std::string_view arguments);

struct BoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// A step of a script that runs while a handler is busy inside the event pump (the explosion's
// waits): when `ready` says so, `act` runs once, and the script moves on to the next step.
struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A window over a folder whose Setup.ini holds `setupIni`: created hidden, loaded, shown.
    void Start(std::string_view setupIni);
    // The default list: the marker with arguments, a program that does not exist, the marker
    // again with other arguments.
    void StartWithDefaultList();

    // Input, posted to the message queue and handled by the next Pump().
    void PostKey(UINT virtualKey);   // to the control with the focus
    void PostAltKey(wchar_t letter); // Alt+letter, as the keyboard layer delivers it
    void PostClick(POINT client);    // left press and release at a point of the client area
    void PostClickTwips(Twips x, Twips y);
    void PostDoubleClickOnListItem(int index);
    // Handles everything that is pending, nested handlers included.
    void Pump();
    // Runs the script on a timer while whatever the next Pump() starts is busy; the steps
    // are checked every few milliseconds, between the handler's own events.
    void RunDuring(std::vector<Step> script);
    bool ScriptFinished() const;

    POINT PointOf(Twips x, Twips y) const;
    // The client area as it is on the window's surface, after pending repaints.
    struct Surface {
        int width = 0, height = 0;
        std::vector<COLORREF> pixels;
        COLORREF At(int x, int y) const {
            if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
            return pixels[static_cast<std::size_t>(y * width + x)];
        }
        COLORREF At(POINT p) const { return At(p.x, p.y); }
        // How many pixels of a rectangle have a colour.
        int Count(const RECT& r, COLORREF color) const;
    };
    Surface Capture();
    // How many pixels of `area` differ from the icon resource drawn stretched over `back`
    // into that rectangle: 0 when the window shows exactly that picture there.
    static int DifferencesFromIcon(const Surface& surface, const RECT& area, int iconId,
                                   COLORREF back);
    COLORREF Pixel(POINT client) { return Capture().At(client); }
    // A rectangle of a control relative to the client area, from its window.
    RECT ChildRect(ControlId id) const;
    HWND Focus() const { return GetFocus(); }

    std::wstring folder_;
    std::unique_ptr<Host> host_; // over folder_
    std::unique_ptr<Window> window_;
    std::unique_ptr<frmMain> form_;
    std::vector<BoxCall> boxes_;
    int answer_ = IDOK;
};

} // namespace pikorina::win32::test
