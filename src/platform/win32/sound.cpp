// The explosion's bang: the wave file's bytes, played from memory by PlaySound, which returns at
// once and is silent on error (the system's mciExecute shows a modal box for a file it cannot
// play, which would hold the explosion). A moment of silence is played when the sound is loaded:
// the system loads its audio driver at the first sound a process plays, and would otherwise do
// it at the first bang and make it late (docs/performance.md).
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
    // A bang still playing reads the bytes held here.
    if (!sound_.empty()) winmm::PlaySoundW(nullptr, nullptr, 0);
}

void Host::LoadSound(std::string wave) {
    static const std::string silence = Silence();
    if (wave != sound_) {
        // The bytes a bang may still be playing are replaced only once it is stopped.
        if (!sound_.empty()) winmm::PlaySoundW(nullptr, nullptr, 0);
        sound_ = std::move(wave);
    }
    if (!sound_.empty()) {
        winmm::PlaySoundW(reinterpret_cast<LPCWSTR>(silence.data()), nullptr, kFromMemory);
    }
}

bool Host::PlaySound() {
    return !sound_.empty() && winmm::PlaySoundW(reinterpret_cast<LPCWSTR>(sound_.data()), nullptr,
                                                kFromMemory) != FALSE;
}

} // namespace pikorina::win32
