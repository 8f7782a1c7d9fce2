// The window's construction, start-up geometry and the one place where untrapped failures end.
#include "app/frmMain.h"

#include "app/errors.h"

#include <new>

namespace pikorina {

frmMain::frmMain(WindowSystem& ws)
    : 終了(ws, ControlId::終了), キャンセル(ws, ControlId::キャンセル),
      シャットダウン(ws, ControlId::シャットダウン), ListBox(ws, ControlId::ListBox),
      Back_2(ws, ControlId::Back_2), Back_1(ws, ControlId::Back_1), Donpa_2(ws, ControlId::Donpa_2),
      Donpa_1(ws, ControlId::Donpa_1), Donpa(ws, ControlId::Donpa), Label(ws, ControlId::Label),
      ws_(ws) {}

void frmMain::Form_Load() {
    // The design is drawn larger than the window the user gets; these settings run before the
    // window is first shown, so the design size is never seen.
    SetHeight(3945);
    SetWidth(5625);
    ListBox.SetHeight(1860);
    ListBox.SetWidth(5125);
    ListBox.SetTop(120);
    ListBox.SetLeft(180);
    Label.SetTop(2280);
    Label.SetLeft(240);
    LoadLaunchList();
}

void frmMain::Raise(Handler handler) {
    try {
        try {
            (this->*handler)();
        } catch (const std::bad_alloc&) {
            throw RuntimeError(kErrOutOfMemory);
        }
    } catch (const RuntimeError& e) {
        ws_.MsgBox(ReportText(e), kMbOkOnly, kReportTitle);
        ws_.End(1);
    }
}

} // namespace pikorina
