#include "app/clicks.h"

#include <utility>

namespace pikorina {

frmMain::Handler SurfaceClicks::Release(Target target) {
    const Target pressed = std::exchange(pressed_, Target::None);
    if (pressed != target) return nullptr;
    switch (pressed) {
    case Target::Label: return &frmMain::Label_Click;
    case Target::Form: return &frmMain::Form_Click;
    case Target::None: break;
    }
    return nullptr;
}

} // namespace pikorina
