#include "fake_window_system.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pikorina::test {

std::string Name(ControlId id) {
    return std::string(Design(id).name);
}

namespace {

class RecordingPainter final : public Painter, public TextPainter {
  public:
    std::vector<std::string> calls;
    void FillRect(const Rect& area, OleColor color) override {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", color);
        calls.push_back("fill " + Text(area) + " " + hex);
    }
    void DrawPicture(const Rect& area, Picture picture) override {
        calls.push_back("picture " + std::string(Design(picture).name) + " " + Text(area));
    }
    void DrawWrappedText(const Rect& area, std::string_view text, const Font& font,
                         OleColor color) override {
        calls.push_back(
            "text " + Text(area) + " " + std::to_string(font.points) + "pt " +
            std::to_string(color) + " " +
            (text == Design(ControlId::Label).caption ? "the warning" : std::string(text)));
    }

  private:
    static std::string Text(const Rect& r) {
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
               std::to_string(r.width) + " " + std::to_string(r.height);
    }
};

} // namespace

std::vector<std::string> Painted(const Surface& surface) {
    RecordingPainter painter;
    surface.Paint(painter);
    surface.PaintLabel(painter);
    return painter.calls;
}

std::vector<std::string> FakeWindowSystem::LogOf(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : log) {
        if (line.starts_with(prefix)) out.push_back(line);
    }
    return out;
}

void FakeWindowSystem::At(double monotonicTime, std::function<void()> event) {
    events_.emplace(monotonicTime, std::move(event));
}

void FakeWindowSystem::SetWindowWidth(Twips width) {
    log.push_back("SetWidth frmMain " + std::to_string(width));
    SurfaceWindowSystem::SetWindowWidth(width);
}
void FakeWindowSystem::SetWindowHeight(Twips height) {
    log.push_back("SetHeight frmMain " + std::to_string(height));
    SurfaceWindowSystem::SetWindowHeight(height);
}
void FakeWindowSystem::SetBackColor(OleColor color) {
    log.push_back("SetBackColor " + std::to_string(color));
    SurfaceWindowSystem::SetBackColor(color);
}
void FakeWindowSystem::SetWindowPicture(ControlId image) {
    log.push_back("SetPicture frmMain " + Name(image));
    SurfaceWindowSystem::SetWindowPicture(image);
}
void FakeWindowSystem::SetGeometry(ControlId c, Geometry which, Twips v) {
    static constexpr const char* kNames[] = {"SetLeft ", "SetTop ", "SetWidth ", "SetHeight "};
    log.push_back(kNames[static_cast<int>(which)] + Name(c) + " " + std::to_string(v));
    SurfaceWindowSystem::SetGeometry(c, which, v);
}
void FakeWindowSystem::SetVisible(ControlId c, bool visible) {
    log.push_back((visible ? "Show " : "Hide ") + Name(c));
    SurfaceWindowSystem::SetVisible(c, visible);
}
void FakeWindowSystem::SetImagePicture(ControlId target, ControlId source) {
    log.push_back("SetPicture " + Name(target) + " " + Name(source));
    SurfaceWindowSystem::SetImagePicture(target, source);
}
void FakeWindowSystem::AddListItems(std::span<const std::string> items) {
    log.push_back("AddItems " + std::to_string(items.size()));
    listItems.insert(listItems.end(), items.begin(), items.end());
}
void FakeWindowSystem::SelectListItem(int index) {
    log.push_back("Select " + std::to_string(index));
    SurfaceWindowSystem::SelectListItem(index);
}

void FakeWindowSystem::Pump(int maxWaitMilliseconds) {
    log.push_back("DoEvents");
    ++doEventsCalls;
    double& now = host.monotonic;
    const double deadline = now + maxWaitMilliseconds / 1000.0;
    auto next = events_.begin();
    if (next != events_.end() && next->first <= deadline) {
        if (next->first > now) now = next->first;
        // Every event due by now is pending; the pump handles them all before it returns.
        while (!events_.empty() && events_.begin()->first <= now) {
            auto event = std::move(events_.begin()->second);
            events_.erase(events_.begin());
            event();
        }
        return;
    }
    // A pump asked not to sleep still takes a moment.
    now = std::max(deadline + wakeLatency, now + 1e-6);
}

int FakeWindowSystem::MsgBox(std::string_view text, int style, std::string_view title) {
    log.push_back("MsgBox " + std::string(title));
    MsgBoxCall call{std::string(text), style, std::string(title)};
    boxes.push_back(call);
    return onMsgBox ? onMsgBox(call) : kAnswerOk;
}

} // namespace pikorina::test
