// The Win32 front end's window: a plain top-level window that implements the window-system
// services for frmMain. The list and the buttons are child windows, kept in step with the
// core's surface; the label, the image controls and the background picture have no windows of
// their own and are painted on the window, as the surface says. Keys go through the dialog manager
// (IsDialogMessage) for Tab, Enter, Esc and Alt+letter, as in a dialog box, while the layout stays
// in exact pixels.
#pragma once

#include "app/frmMain.h"
#include "app/surface.h"
#include "platform/win32/scoped.h"

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pikorina::win32 {

// UTF-8, the core's text, to and from UTF-16, Windows' own (text.cpp).
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

class Window final : public SurfaceWindowSystem {
  public:
    // appPath: the folder that holds Setup.ini and Don.wav; the program's own folder by default.
    explicit Window(HINSTANCE instance, std::optional<std::string> appPath = std::nullopt);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates the window, hidden, with the design's settings; events go to the form's handlers.
    void Attach(frmMain& form);
    // Shows the window centred on the primary screen, active, with the focus on the list.
    void ShowCentred();
    // The message loop; returns when the program ends through the end seam.
    int Run();
    // Runs a handler as an event does: through the form's Raise, and under the end seam
    // stopping where the event was dispatched.
    void Raise(frmMain::Handler handler) override;
    // Handles every queued message through the same path as the main loop, without waiting;
    // false once the program has ended or a quit message came.
    bool PumpPending();

    HWND hwnd() const { return hwnd_; }
    HWND ControlWindow(ControlId id) const;
    int Dpi() const { return dpi_; }
    // Where a control is, in pixels of the client area: its window's rectangle for the list
    // and the buttons, the painted rectangle for the others.
    RECT ControlRect(ControlId id) const;
    bool IsShown(ControlId id) const;
    Picture PictureOf(ControlId id) const { return surface()[id].picture; }
    Picture WindowPicture() const { return surface().WindowPicture(); }

    // Answers message boxes instead of a person, when set: gets what MessageBoxW would get.
    static std::function<int(HWND owner, std::wstring_view text, std::wstring_view caption,
                             UINT type)>
        msgBoxSeam;
    // When set, End() reports the status here and unwinds to the event loop instead of ending
    // the process, so that a test can watch the program end and go on.
    static std::function<void(int status)> endSeam;
    // True once End() has run through the end seam.
    bool Ended() const { return ended_; }

    // WindowSystem
    void AddListItems(std::span<const std::string> items) override;
    void SelectListItem(int index) override;
    int ListIndex() const override;
    double Timer() const override;
    double MonotonicSeconds() const override;
    void DoEvents(double maxWaitSeconds) override;
    int MsgBox(std::string_view text, int style, std::string_view title) override;
    std::string AppPath() const override;
    std::string_view PathSeparator() const override { return "\\"; }
    std::string ReadFile(const std::string& path) override;
    std::string DecodeText(std::string_view bytes, TextEncoding encoding) const override;
    void Shell(const std::string& commandLine) override;
    bool mciExecute(std::string_view command) override;
    [[noreturn]] void End(int exitStatus) override;

  protected:
    // SurfaceWindowSystem
    void Repaint() override;
    void ResizeWindow() override;
    void PlaceControl(ControlId id) override;
    void ShowControl(ControlId id, bool visible) override;
    bool HasFocus(ControlId id) const override;
    void FocusWindow() override;
    void FocusControl(ControlId id) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    bool Translate(MSG& msg);

    int Px(Twips twips) const { return TwipsToPixels(twips, dpi_); }
    RECT Px(const Rect& r) const;
    void ApplyDpi(int dpi);
    void SyncDefaultButton();
    void Paint(HDC target, const RECT& area);
    HFONT SurfaceFont(const Font& font);

    HINSTANCE instance_;
    std::optional<std::string> appPath_;
    HWND hwnd_ = nullptr;
    frmMain* form_ = nullptr;
    std::array<HWND, kControlCount> children_{};
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    ScopedGdiObject<HFONT> dialogFont_;
    // The font the surface's text is drawn in, made at the current dpi when first needed.
    ScopedGdiObject<HFONT> surfaceFont_;
    const Font* surfaceFontDesign_ = nullptr;
    ControlId defaultButton_ = kDefaultButton;
    HWND savedFocus_ = nullptr;
    bool ended_ = false;
    int endStatus_ = 0;
    double performanceFrequency_;
};

} // namespace pikorina::win32
