// The window's construction, start-up geometry and the one place where untrapped failures end.
#include "app/frmMain.h"

#include "app/errors.h"

#include <exception>

namespace pikorina {

frmMain::frmMain(WindowSystem& ws, Host& host)
    : 終了(ws, ControlId::終了), キャンセル(ws, ControlId::キャンセル),
      シャットダウン(ws, ControlId::シャットダウン), ListBox(ws, ControlId::ListBox),
      Back_2(ws, ControlId::Back_2), Back_1(ws, ControlId::Back_1), Donpa_2(ws, ControlId::Donpa_2),
      Donpa_1(ws, ControlId::Donpa_1), Donpa(ws, ControlId::Donpa), Label(ws, ControlId::Label),
      ws_(ws), host_(host) {}

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

void frmMain::ReportFailure() {
    const RuntimeError failure = FailureOf(std::current_exception());
    try {
        ws_.MsgBox(ReportText(failure), kMbOkOnly, kReportTitle);
    } catch (...) {
        // A report that cannot be shown must not keep the program from ending.
    }
    host_.End(1);
}

} // namespace pikorina
