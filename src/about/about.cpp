// The two buttons that do something other than their captions say.
#include "app/frmMain.h"

#include <string>

namespace pikorina {

void frmMain::シャットダウン_Click() {
    const std::string version = "2．00";
    // Lines are separated by a lone carriage return here, not CR LF.
    ws_.MsgBox("ソフト名：ピコリナ\rﾊﾞｰｼﾞｮﾝ：" + version + "\r作者：汐見 縫", kMbInformation,
               "ﾊﾞｰﾁｬﾝ情報");
}

void frmMain::キャンセル_Click() {
    host_.End(0);
}

} // namespace pikorina
