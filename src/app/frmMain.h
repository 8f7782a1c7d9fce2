// The program's one window. Its handlers are defined in the folder of their subsystem
// (launcher/, effects/, about/); this header shows the whole window at a glance.
#pragma once

#include "app/host.h"
#include "app/types.h"
#include "app/window_system.h"

#include <cstdint>
#include <span>
#include <string>

namespace pikorina {

// A control of the window, addressed by name like the window's own code does: Label.Hide().
class Control {
  public:
    Control(WindowSystem& ws, ControlId id) : ws_(ws), id_(id) {}
    ControlId id() const { return id_; }
    void SetLeft(Twips v) { ws_.SetGeometry(id_, Geometry::Left, v); }
    void SetTop(Twips v) { ws_.SetGeometry(id_, Geometry::Top, v); }
    void SetWidth(Twips v) { ws_.SetGeometry(id_, Geometry::Width, v); }
    void SetHeight(Twips v) { ws_.SetGeometry(id_, Geometry::Height, v); }
    void Show() { ws_.SetVisible(id_, true); }
    void Hide() { ws_.SetVisible(id_, false); }

  protected:
    WindowSystem& ws_;
    ControlId id_;
};

class ImageControl : public Control {
  public:
    using Control::Control;
    void SetPicture(const ImageControl& from) { ws_.SetImagePicture(id_, from.id()); }
};

class ListBoxControl : public Control {
  public:
    using Control::Control;
    void AddItems(std::span<const std::string> items) { ws_.AddListItems(items); }
    void SetSelected(int index) { ws_.SelectListItem(index); }
    int ListIndex() const { return ws_.ListIndex(); }
};

class frmMain {
  public:
    frmMain(WindowSystem& ws, Host& host);

    // Event handlers; the front end calls them through Raise().
    void Form_Load();
    void Form_Click();
    void Label_Click();
    void ListBox_DblClick();
    void 終了_Click();
    void シャットダウン_Click();
    void キャンセル_Click();

    using Handler = void (frmMain::*)();
    // Runs a handler inside the program's one failure boundary.
    void Raise(Handler handler) {
        Guard([this, handler] { (this->*handler)(); });
    }
    // The boundary, also around the window's creation and load at start-up: whatever the body
    // throws and does not trap is reported as an untrapped failure (number and text) and ends
    // the program with status 1, so no exception ever reaches the window system's callbacks.
    template <typename Body> void Guard(Body&& body) {
        try {
            body();
        } catch (const ProgramEnd&) {
            throw; // the program is ending already
        } catch (...) {
            ReportFailure();
        }
    }

    // Waits until the clock passes the whole second nearest to now + n, handling events.
    void 時間待ち(std::int32_t n);

    // True (-1) while Back_1's picture is the window's background.
    Boolean16 backgroundOn = kFalse16;

    // The window's own properties.
    OleColor BackColor() const { return ws_.BackColor(); }
    void SetBackColor(OleColor c) { ws_.SetBackColor(c); }
    void SetPicture(const ImageControl& from) { ws_.SetWindowPicture(from.id()); }
    void SetWidth(Twips v) { ws_.SetWindowWidth(v); }
    void SetHeight(Twips v) { ws_.SetWindowHeight(v); }

    // The controls, in the order the window declares them.
    Control 終了;
    Control キャンセル;
    Control シャットダウン;
    ListBoxControl ListBox;
    ImageControl Back_2;
    ImageControl Back_1;
    ImageControl Donpa_2;
    ImageControl Donpa_1;
    ImageControl Donpa;
    Control Label;

  private:
    void LoadLaunchList();
    // Don.wav's bytes; none when it cannot be read.
    std::string ReadSound();
    // Called inside a catch: reports the exception being handled and ends the program.
    void ReportFailure();

    WindowSystem& ws_;
    Host& host_;
};

} // namespace pikorina
