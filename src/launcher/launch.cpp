// Launching the selected entry: the launcher's whole purpose. Any failure, whatever its cause,
// gets the same joke box, and the launcher carries on as it was.
#include "app/errors.h"
#include "app/frmMain.h"
#include "app/module.h"
#include "launcher/command_line.h"

#include <exception>

namespace pikorina {

void frmMain::ListBox_DblClick() {
    終了_Click();
}

void frmMain::終了_Click() {
    try {
        const int i = ListBox.ListIndex();
        if (i < 0 || static_cast<std::size_t>(i) >= Module::launchCommands.size()) {
            throw RuntimeError(kErrSubscript);
        }
        StartCommandLine(host_, Module::launchCommands[static_cast<std::size_t>(i)]);
    } catch (const std::exception&) {
        ws_.MsgBox("ｴﾗｰが起きました。\r\n"
                   "所詮はジョークソフトです。\r\n"
                   "一応、ホントのエラーなんだけど。\r\n"
                   "\r\n"
                   "多分、ファイルの指定を間違えてると思うよ。",
                   kMbOkCancel, "鰓が出た象！");
    }
}

} // namespace pikorina
