// A click on the bare window switches Back_1's picture on and off as the window's background.
#include "app/frmMain.h"

namespace pikorina {

void frmMain::Form_Click() {
    if (backgroundOn == kFalse16) {
        SetPicture(Back_1);
        backgroundOn = kTrue16;
    } else {
        // Back_2 holds no picture: handing it over removes the background.
        SetPicture(Back_2);
        backgroundOn = kFalse16;
    }
}

} // namespace pikorina
