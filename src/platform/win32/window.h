// The Win32 front end's window: a plain top-level window that implements the window-system
// services for frmMain. The list, the buttons and the warning text are child windows, kept in
// step with the core's surface; the image controls and the background picture have no windows
// of their own and are painted on the window, as the surface says. Keys go through the dialog
// manager (IsDialogMessage) for Tab, Enter, Esc and Alt+letter, as in a dialog box, while the
// layout stays in exact pixels.
#pragma once

#include "app/frmMain.h"
#include "app/surface.h"
#include "platform/win32/scoped.h"

#include <windows.h>

#include <oleacc.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pikorina::win32 {

class Window final : public SurfaceWindowSystem {
  public:
    Window(HINSTANCE instance, pikorina::Host& host);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates the window, hidden, with the design's settings; Start() does this first.
    void Create() override;
    // The message loop; returns the status a quit message carries.
    int Run();
    // Handles every queued message through the same path as the main loop, without waiting.
    void PumpPending();

    HWND hwnd() const { return hwnd_; }
    HWND ControlWindow(ControlId id) const;
    int Dpi() const { return dpi_; }
    // A rectangle of the surface in pixels of the client area, at the window's dpi.
    RECT Px(const Rect& r) const;
    // Where a control is, in pixels of the client area.
    RECT ControlRect(ControlId id) const;
    bool IsShown(ControlId id) const;

    // Answers message boxes instead of a person, when set: gets what MessageBoxW would get.
    static std::function<int(HWND owner, std::wstring_view text, std::wstring_view caption,
                             UINT type)>
        msgBoxSeam;

    // WindowSystem
    void AddListItems(std::span<const std::string> items) override;
    int ListIndex() const override;
    int MsgBox(std::string_view text, int style, std::string_view title) override;

  protected:
    // SurfaceWindowSystem
    void ShowCentred() override;
    void Repaint() override;
    void ResizeWindow() override;
    void PlaceControl(ControlId id) override;
    void ShowControl(ControlId id, bool visible) override;
    int ListCount() const override;
    void SelectListRow(int index) override;
    void Pump(int maxWaitMilliseconds) override;
    bool HasFocus(ControlId id) const override;
    void FocusWindow() override;
    void FocusControl(ControlId id) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void Translate(MSG& msg);

    int Px(Twips twips) const { return TwipsToPixels(twips, dpi_); }
    void ApplyDpi(int dpi);
    void SyncDefaultButton();
    void AnnounceAsDialog();
    void Paint(HDC target, const RECT& area); // paint.cpp
    HFONT SurfaceFont(const Font& font);      // paint.cpp

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    std::array<HWND, kControlCount> children_{};
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    ScopedGdiObject<HFONT> dialogFont_;
    // The font the surface's text is drawn in, made at the current dpi when first needed.
    ScopedGdiObject<HFONT> surfaceFont_;
    const Font* surfaceFontDesign_ = nullptr;
    ControlId defaultButton_ = kDefaultButton;
    HWND savedFocus_ = nullptr;
    // The system's annotation service, which holds what screen readers are told of the window.
    std::unique_ptr<IAccPropServices, ComRelease> annotations_;
    bool annotationAsked_ = false;
};

} // namespace pikorina::win32
