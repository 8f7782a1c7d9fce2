// The sound module: Don.wav decoded once by libsndfile when it is loaded, and played as Windows'
// PlaySound plays a sound: each bang starts the file from the top and cuts short the one still
// sounding. The program loads the module at the first explosion (sound.h says why).
//
// One stream of the sound server's own client (PulseAudio's simple API, which PipeWire's
// PulseAudio service takes too), kept while bangs come: a stream that joins or leaves the
// server's graph makes the others there drop out for a moment. It is let go once nothing has
// sounded for a while, since an open one wakes the program for the server's timing. One thread,
// since each call may wait for the server: it decodes, connects, writes, and sleeps untimed once
// the stream is gone. Not Qt's audio output: Qt 6.4 waited without end for a stream the server
// dropped, and called back into outputs already deleted (docs/performance.md).
#include "platform/qt/sound.h"

#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

namespace pikorina::qt {
namespace {

using std::chrono::milliseconds;

// The longest bang kept, in bytes of 16-bit samples: three minutes of CD sound.
constexpr std::size_t kLongestBang = std::size_t{32} << 20;
// What the stream buffers: the server's cycle follows from it.
constexpr milliseconds kLatency{200};
// What the server asks for at a time: the longest a new bang waits for a write to end.
constexpr milliseconds kWrite{20};
// How long a stream with nothing to play is kept: longer than any of the explosion's waits.
constexpr milliseconds kKeep{2000};
// How long the program's end waits for the thread.
constexpr milliseconds kLastWait{2000};

struct Wave {
    pa_sample_spec format;
    std::string samples;
};

std::uint32_t BytesFor(const pa_sample_spec& format, milliseconds time) {
    return static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(time.count()) * 1000, &format));
}

// The bytes in a file that lives in memory, for libsndfile to read as it reads any file; -1 when
// none can be made.
int InMemory(std::string_view bytes) {
    const int file = memfd_create("Don.wav", MFD_CLOEXEC);
    if (file >= 0 && pwrite(file, bytes.data(), bytes.size(), 0) == std::ssize(bytes)) return file;
    if (file >= 0) close(file);
    return -1;
}

// The file's sound as the stream plays it; none when it holds nothing that the server can play.
std::optional<Wave> Decode(std::string_view file) {
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
    Wave wave{{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(info.samplerate),
               static_cast<std::uint8_t>(info.channels)},
              {}};
    // Float samples are read as they are unless told: 0.5 would become 0, not half of the full
    // scale.
    sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    const std::size_t frame = pa_frame_size(&wave.format);
    const auto frames = std::min<sf_count_t>(info.frames, kLongestBang / frame);
    wave.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(frames, 0)) * frame);
    const sf_count_t got =
        sf_readf_short(sound.get(), reinterpret_cast<short*>(wave.samples.data()), frames);
    wave.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * frame);
    if (wave.samples.empty()) return {};
    // Silence after the bang, as much as the stream buffers: a short bang still fills what the
    // server waits for before it starts, and the last of any is played before the stream runs
    // dry.
    wave.samples.append(BytesFor(wave.format, kLatency), '\0');
    return wave;
}

using Stream = std::unique_ptr<pa_simple, decltype(&pa_simple_free)>;

Stream Connect(const Wave& wave) {
    // The channels go where Windows puts those of a wave file that does not say: front left and
    // right, centre, bass, back left and right, and so on.
    pa_channel_map map{};
    pa_channel_map_init_extend(&map, wave.format.channels, PA_CHANNEL_MAP_WAVEEX);
    constexpr auto kAny = std::numeric_limits<std::uint32_t>::max();
    const pa_buffer_attr buffer{kAny, BytesFor(wave.format, kLatency), kAny,
                                BytesFor(wave.format, kWrite), kAny};
    int error = 0;
    return {pa_simple_new(nullptr, "pikorina", PA_STREAM_PLAYBACK, nullptr, "Don.wav", &wave.format,
                          &map, &buffer, &error),
            pa_simple_free};
}

// What the window's thread asks of the sound's, and what it answers, under the lock.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::string file;              // the bytes loaded last
    bool fresh = false;            // and not decoded yet
    unsigned loads = 0, bangs = 0; // asked for so far
    bool open = false;             // a stream the server took, for the file loaded
    bool quit = false, ended = false;
};

void Run(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    std::optional<Wave> wave;
    Stream stream(nullptr, pa_simple_free);
    unsigned loads = 0, bangs = 0;
    std::unique_lock lock(s.mutex);
    // What may wait for the server or the decoder runs with the lock let go.
    const auto unlocked = [&lock](auto work) {
        lock.unlock();
        work();
        lock.lock();
    };
    // A bang is cut short by the next, or by another file; a load of the same file lets it play.
    const auto cut = [&] { return s.quit || s.fresh || bangs != s.bangs; };
    const auto asked = [&] { return cut() || loads != s.loads; };
    const auto connect = [&] {
        if (!stream && wave) unlocked([&] { stream = Connect(*wave); });
        return s.open = stream && !s.fresh;
    };
    const auto letGo = [&] {
        unlocked([&] { stream.reset(); });
        s.open = false;
    };
    // The bang from the top, after dropping what the server still holds of the last; false
    // when the stream failed.
    const auto bang = [&] {
        int error = 0;
        bool ok = true;
        unlocked([&] { ok = pa_simple_flush(stream.get(), &error) >= 0; });
        const std::size_t step = BytesFor(wave->format, kWrite);
        for (std::size_t at = 0; ok && at < wave->samples.size() && !cut(); at += step) {
            const std::string_view part = std::string_view(wave->samples).substr(at, step);
            unlocked(
                [&] { ok = pa_simple_write(stream.get(), part.data(), part.size(), &error) >= 0; });
        }
        return ok;
    };

    while (!s.quit) {
        if (s.fresh) {
            s.fresh = false;
            std::string file = s.file;
            unlocked([&] {
                stream.reset();
                wave = Decode(file);
            });
        } else if (loads != s.loads) {
            loads = s.loads; // made at the click, so that the first bang starts on time
            connect();
        } else if (bangs != s.bangs) {
            bangs = s.bangs;
            // A stream that fails (the server went away, or was restarted) is made anew, once,
            // for the same bang.
            for (int tries = 0; tries < 2 && connect() && !bang(); ++tries)
                letGo();
        } else if (!stream) {
            s.changed.wait(lock);
        } else if (!s.changed.wait_for(lock, kKeep, asked)) {
            letGo();
        }
    }
    letGo();
    s.ended = true;
    s.changed.notify_all();
}

class Player final : public Sound {
  public:
    ~Player() override {
        std::unique_lock lock(shared_->mutex);
        shared_->quit = true;
        shared_->changed.notify_all();
        // A server that answers nothing must not hold the end: the thread then ends on its own.
        const bool ended =
            shared_->changed.wait_for(lock, kLastWait, [this] { return shared_->ended; });
        lock.unlock();
        ended ? thread_.join() : thread_.detach();
    }

    void Load(std::string wave) override {
        const std::lock_guard lock(shared_->mutex);
        if (wave != shared_->file) {
            shared_->file = std::move(wave);
            shared_->fresh = true;
            shared_->open = false;
        }
        ++shared_->loads;
        shared_->changed.notify_all();
    }

    bool Play() override {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->bangs;
        shared_->changed.notify_all();
        return shared_->open;
    }

  private:
    const std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::thread thread_{Run, shared_};
};

} // namespace
} // namespace pikorina::qt

pikorina::qt::Sound* pikorina_sound() {
    try {
        return new pikorina::qt::Player;
    } catch (const std::system_error&) { // no thread to be had: no sound
        return nullptr;
    }
}
