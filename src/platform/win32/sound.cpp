// The explosion's bang. The real mciExecute shows a modal error box for a file it cannot play
// (and cuts an unquoted path at its first blank), which would hold the explosion until someone
// closed it; PlaySound plays the same wave file asynchronously, is silent on error and takes
// the whole path.
#include "effects/sound_command.h"
#include "platform/win32/host.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/text.h"

namespace pikorina::win32 {

bool Host::mciExecute(std::string_view command) {
    const auto path = PlayCommandPath(command);
    if (!path) return false;
    // SND_NODEFAULT: a missing file stays silent rather than playing the system's default sound.
    return winmm::PlaySoundW(Widen(*path).c_str(), nullptr,
                             SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

} // namespace pikorina::win32
