// The sound module: Don.wav decoded by libsndfile and played by the sound server's own client
// (PulseAudio's simple API, which PipeWire's PulseAudio service takes too), for the core's bang
// player (effects/bang_player.h). The program loads it at the first explosion (sound.h says why).
//
// Whatever Don.wav holds that libsndfile reads (PCM of any width, float, ADPCM, mu-law, A-law,
// the extensible header; any rate up to 384 kHz, up to 32 channels) is decoded to 16-bit samples.
// Not Qt's audio output: Qt 6.4 waits without end for a stream that the server drops while it is
// being opened, which then held the sound for the rest of the run and aborted the program at its
// exit, and it called back into outputs already deleted (docs/performance.md).
#include "platform/qt/sound.h"

#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace pikorina::qt {
namespace {

// The bytes in a file that lives in memory, for libsndfile to read as it reads any file; -1 when
// none can be made.
int InMemory(std::string_view bytes) {
    int file = memfd_create("Don.wav", MFD_CLOEXEC);
    while (file >= 0 && !bytes.empty()) {
        const ssize_t written = write(file, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written == 0 || errno != EINTR) {
            close(file);
            file = -1;
        }
    }
    if (file >= 0 && lseek(file, 0, SEEK_SET) != 0) {
        close(file);
        file = -1;
    }
    return file;
}

class Server final : public SoundServer {
  public:
    std::unique_ptr<Wave> Decode(std::string_view file, std::size_t longest) override {
        const int bytes = InMemory(file);
        if (bytes < 0) return {};
        SF_INFO info{};
        const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(
            sf_open_fd(bytes, SFM_READ, &info, SF_TRUE), sf_close);
        // Only a width and a rate the server takes: libpulse ends the process on any other.
        if (!sound || info.channels < 1 || info.channels > int{PA_CHANNELS_MAX} ||
            info.samplerate < 1 || info.samplerate > int{PA_RATE_MAX}) {
            return {};
        }
        auto wave = std::make_unique<Wave>(Wave{info.samplerate, info.channels, {}});
        // Float samples are read as they are unless told: 0.5 would become 0, not half of the
        // full scale.
        sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
        constexpr sf_count_t kFrames = 4096;
        std::vector<short> chunk(static_cast<std::size_t>(kFrames * info.channels));
        sf_count_t got = 0;
        while (wave->samples.size() < longest &&
               (got = sf_readf_short(sound.get(), chunk.data(), kFrames)) > 0) {
            wave->samples.append(reinterpret_cast<const char*>(chunk.data()),
                                 static_cast<std::size_t>(got * info.channels) * sizeof(short));
        }
        return wave;
    }

    SoundStream Connect(const Wave& wave, std::size_t buffered) override {
        const pa_sample_spec format{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(wave.rate),
                                    static_cast<std::uint8_t>(wave.channels)};
        // The channels go where Windows puts those of a wave file that does not say: front left
        // and right, centre, bass, back left and right, and so on.
        pa_channel_map map{};
        pa_channel_map_init_extend(&map, format.channels, PA_CHANNEL_MAP_WAVEEX);
        constexpr auto kAny = std::numeric_limits<std::uint32_t>::max();
        const pa_buffer_attr buffer{kAny, static_cast<std::uint32_t>(buffered), kAny, kAny, kAny};
        int error = 0;
        pa_simple* opened = pa_simple_new(nullptr, "pikorina", PA_STREAM_PLAYBACK, nullptr,
                                          "Don.wav", &format, &map, &buffer, &error);
        if (!opened) return {};
        const std::shared_ptr<pa_simple> stream(opened, pa_simple_free); // freed by the last copy
        return [stream](std::string_view samples) {
            int error = 0;
            return pa_simple_write(stream.get(), samples.data(), samples.size(), &error) >= 0;
        };
    }
};

} // namespace
} // namespace pikorina::qt

pikorina::SoundServer* pikorina_sound_server() {
    return new pikorina::qt::Server;
}
