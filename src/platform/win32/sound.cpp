// The explosion's bang. The system's mciExecute shows a modal error box for a file it cannot play
// (and cuts an unquoted path at its first blank), which would hold the explosion until someone
// closed it; PlaySound plays a wave file asynchronously and is silent on error.
//
// The file is read into memory when the explosion starts and each bang is played from there
// (SND_MEMORY), and a moment of silence is played then too: the system loads its audio driver
// and connects to the sound server at the first sound a process plays, which made the first bang
// some 65-100 ms late under Wine, against 12-31 ms for the bangs after it.
#include "app/errors.h"
#include "platform/win32/host.h"
#include "platform/win32/system_dll.h"

#include <cstdint>

namespace pikorina::win32 {
namespace {

// SND_NODEFAULT: a file that cannot be played stays silent rather than playing the system's
// default sound.
constexpr DWORD kFromMemory = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;

// A wave file of 10 ms of silence, 16-bit mono at 22050 Hz.
std::string Silence() {
    constexpr std::uint32_t kBytes = 2 * 220;
    std::string wave;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wave += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    wave += "RIFF";
    put(36 + kBytes, 4);
    wave += "WAVEfmt ";
    put(16, 4);
    put(1, 2);         // PCM
    put(1, 2);         // mono
    put(22050, 4);     // frames a second
    put(2 * 22050, 4); // bytes a second
    put(2, 2);         // bytes a frame
    put(16, 2);        // bits a sample
    wave += "data";
    put(kBytes, 4);
    wave.append(kBytes, '\0');
    return wave;
}

} // namespace

Host::~Host() {
    // A bang still playing reads the file's bytes held here.
    if (!sound_.empty()) winmm::PlaySoundW(nullptr, nullptr, 0);
}

bool Host::LoadSound(const std::string& path) {
    std::string bytes;
    try {
        bytes = ReadFile(path);
    } catch (const RuntimeError&) {
    }
    if (bytes != sound_) {
        // The bytes a bang may still be playing are replaced only once it is stopped.
        if (!sound_.empty()) winmm::PlaySoundW(nullptr, nullptr, 0);
        sound_ = std::move(bytes);
    }
    soundPath_ = path;
    return !sound_.empty();
}

void Host::PrepareSound(const std::string& path) {
    static const std::string silence = Silence();
    if (LoadSound(path)) {
        winmm::PlaySoundW(reinterpret_cast<LPCWSTR>(silence.data()), nullptr, kFromMemory);
    }
}

bool Host::PlaySound(const std::string& path) {
    if ((path != soundPath_ || sound_.empty()) && !LoadSound(path)) return false;
    return winmm::PlaySoundW(reinterpret_cast<LPCWSTR>(sound_.data()), nullptr, kFromMemory) !=
           FALSE;
}

} // namespace pikorina::win32
