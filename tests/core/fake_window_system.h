// A window system without a screen: records every operation in a log, keeps the state a real
// window would have (its surface is the core's own, as in the real front ends), and scripts the
// events that arrive while the window waits and the answers of message boxes. It comes with
// its host, whose clock the pump moves on and whose log it writes into.
#pragma once

#include "app/errors.h"
#include "app/surface.h"
#include "fake_host.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pikorina::test {

struct MsgBoxCall {
    std::string text;
    int style;
    std::string title;
};

class FakeWindowSystem : public SurfaceWindowSystem {
  public:
    FakeWindowSystem() : SurfaceWindowSystem(host) {}

    FakeHost host;
    // The log, shared with the host: "Hide Label", "SetTop Donpa 2280", "DoEvents", ...
    std::vector<std::string>& log = host.log;
    // Lines of the log that match a prefix, in order.
    std::vector<std::string> LogOf(std::string_view prefix) const;

    // What a real window would show besides its surface; the focus is on a native control,
    // or on the window itself when there is none.
    std::optional<ControlId> focus = ControlId::ListBox;
    std::vector<std::string> listItems;
    int listIndex = -1;

    // How late a pump that sleeps the whole time wakes up, as a real timer would.
    double wakeLatency = 0.0015;
    int doEventsCalls = 0;
    // Events that arrive at a time on the host's monotonic clock; run by the pump when it is
    // reached.
    void At(double monotonicTime, std::function<void()> event);

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
    int MsgBox(std::string_view text, int style, std::string_view title) override;

  protected:
    void ShowCentred() override { log.push_back("Show frmMain"); }
    void Repaint() override {}
    void ResizeWindow() override {}
    void PlaceControl(ControlId) override {}
    void ShowControl(ControlId, bool) override {}
    int ListCount() const override { return static_cast<int>(listItems.size()); }
    void SelectListRow(int index) override { listIndex = index; }
    void Pump(int maxWaitMilliseconds) override;
    bool HasFocus(ControlId id) const override { return focus == id; }
    void FocusWindow() override { focus.reset(); }
    void FocusControl(ControlId id) override { focus = id; }

  private:
    std::multimap<double, std::function<void()>> events_;
};

std::string Name(ControlId id);

// What a surface paints with its label on top, as a front end that draws the label control
// itself puts it; one line a call: "fill 0 0 5535 3570 8000000f",
// "picture Dynamite 2400 2280 480 480", "text 240 2280 5055 630 9pt 0 the warning".
std::vector<std::string> Painted(const Surface& surface);

} // namespace pikorina::test
