// The application's looks, set once before any window: for the program and its tests alike.
#pragma once

class QApplication;

namespace pikorina::qt {

// The style, the font and Qt's own texts in Japanese, and the program's icon.
void SetUpApplication(QApplication& app);

} // namespace pikorina::qt
