// The sound module: the explosion's bang, decoded by libsndfile and played by the sound
// server's own client (PulseAudio's simple API, which PipeWire's PulseAudio service takes too).
// The program loads it at the first explosion (sound.h says why).
//
// Whatever Don.wav holds that libsndfile reads (PCM of any width, float, ADPCM, mu-law, A-law,
// the extensible header; any rate up to 384 kHz, up to 32 channels) is decoded to 16-bit samples,
// the one format every stream is opened in, so that a stream with nothing left to play is silent.
//
// Each bang has a connection and a stream of its own, in a thread of its own, made before the
// bang is due: a bang still sounding plays on while the next starts, and whatever the server
// does to one bang (it went away, or was restarted) the next connects afresh. Not Qt's audio
// output: Qt 6.4 waits without end for a stream that the server drops while it is being opened,
// which then held the sound for the rest of the run and aborted the program at its exit, and it
// called back into outputs already deleted (docs/performance.md).
#include "platform/qt/sound.h"

#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace pikorina::qt {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest bang kept, in bytes of 16-bit samples: three minutes of CD sound.
constexpr std::size_t kLongestBang = std::size_t{32} << 20;
// What each stream buffers: the server's cycle follows from it.
constexpr milliseconds kLatency{200};
// A bang is written this much at a time, so that it can be cut between writes.
constexpr milliseconds kWrite{20};
// When the next bang's stream is made, and the ones before let go, after a bang starts.
constexpr milliseconds kSettle{500};
// How long the program waits at its end for its streams to be let go.
constexpr milliseconds kLastWait{5000};

struct Wave {
    pa_sample_spec format{PA_SAMPLE_S16NE, 0, 0};
    pa_channel_map map{};
    std::string samples; // 16-bit, interleaved

    std::size_t BytesFor(milliseconds time) const {
        return pa_usec_to_bytes(static_cast<pa_usec_t>(time.count()) * 1000, &format);
    }
    milliseconds Length() const {
        return milliseconds(pa_bytes_to_usec(samples.size(), &format) / 1000);
    }
};

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

std::shared_ptr<const Wave> Decode(std::string_view file) {
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
    auto wave = std::make_shared<Wave>();
    wave->format.rate = static_cast<std::uint32_t>(info.samplerate);
    wave->format.channels = static_cast<std::uint8_t>(info.channels);
    // The channels go where Windows puts those of a wave file that does not say: front left
    // and right, centre, bass, back left and right, and so on.
    pa_channel_map_init_extend(&wave->map, wave->format.channels, PA_CHANNEL_MAP_WAVEEX);
    // Float samples are read as they are unless told: 0.5 would become 0, not half of full scale.
    sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    const std::size_t frame = pa_frame_size(&wave->format);
    constexpr sf_count_t kFrames = 4096;
    std::vector<short> chunk(static_cast<std::size_t>(kFrames * info.channels));
    sf_count_t got = 0;
    while (wave->samples.size() < kLongestBang &&
           (got = sf_readf_short(sound.get(), chunk.data(), kFrames)) > 0) {
        wave->samples.append(reinterpret_cast<const char*>(chunk.data()),
                             static_cast<std::size_t>(got) * frame);
    }
    wave->samples.resize(std::min(wave->samples.size(), kLongestBang / frame * frame));
    if (wave->samples.empty()) return {};
    // Silence after the bang, as long as a stream buffers: a short bang still fills what the
    // server waits for before it starts, and the last of a long one is played before the
    // stream runs dry.
    wave->samples.append(wave->BytesFor(2 * kLatency), '\0');
    return wave;
}

using Decoded = std::shared_future<std::shared_ptr<const Wave>>;

// What a bang's thread and the window's thread share of it, under its lock.
struct Bang {
    std::mutex mutex;
    std::condition_variable changed;
    Clock::time_point connectAt;                          // when its stream is made
    Clock::time_point letGoBy = Clock::time_point::max(); // when its stream goes
    Clock::time_point startedAt;
    bool started = false;
    bool open = false;  // the server took its stream
    bool ended = false; // its thread is done

    void Start(Clock::time_point now) {
        const std::lock_guard lock(mutex);
        started = true;
        startedAt = now;
        connectAt = std::min(connectAt, now);
        changed.notify_all();
    }
    void LetGoBy(Clock::time_point time) {
        const std::lock_guard lock(mutex);
        letGoBy = std::min(letGoBy, time);
        connectAt = std::min(connectAt, time); // one not yet due wakes, to end without a stream
        changed.notify_all();
    }
    bool Open() {
        const std::lock_guard lock(mutex);
        return open && !ended;
    }
    bool Ended() {
        const std::lock_guard lock(mutex);
        return ended;
    }

    // In the bang's thread: sleeps, the lock held between wakes, until the time `until` names
    // has come (it may be brought forward meanwhile), or until the bang starts, when `orStart`.
    void Sleep(std::unique_lock<std::mutex>& lock, Clock::time_point Bang::*until,
               bool orStart = false) {
        while (!(orStart && started) && Clock::now() < this->*until) {
            if (this->*until == Clock::time_point::max()) {
                changed.wait(lock);
            } else {
                changed.wait_until(lock, this->*until);
            }
        }
    }
};

// A bang's life, in its thread: its stream made when due, the bang written when started, the
// stream kept until let go. A stream that joins or leaves the server's graph makes the streams
// playing in it drop out for a moment, so both happen half a second after a bang starts, past
// its loud head and before the next bang, a second on, is due.
void PlayBang(Bang& bang, const Decoded& decoded) {
    std::unique_ptr<pa_simple, void (*)(pa_simple*)> stream(nullptr, pa_simple_free);
    std::unique_lock lock(bang.mutex); // let go before the stream
    bang.Sleep(lock, &Bang::connectAt);
    if (Clock::now() >= bang.letGoBy) return;
    lock.unlock();
    const std::shared_ptr<const Wave> wave = decoded.get();
    if (!wave) return;
    constexpr auto kAny = std::numeric_limits<std::uint32_t>::max();
    const pa_buffer_attr buffer{kAny, static_cast<std::uint32_t>(wave->BytesFor(kLatency)), kAny,
                                kAny, kAny};
    int error = 0;
    stream.reset(pa_simple_new(nullptr, "pikorina", PA_STREAM_PLAYBACK, nullptr, "Don.wav",
                               &wave->format, &wave->map, &buffer, &error));
    lock.lock();
    if (!stream) return;
    bang.open = true;
    bang.Sleep(lock, &Bang::letGoBy, true);
    if (!bang.started) return;
    // Once bangs stop coming, the last is let go when it has played.
    bang.letGoBy = std::min(bang.letGoBy, bang.startedAt + wave->Length() + kSettle);
    const std::string_view samples = wave->samples;
    const std::size_t step = wave->BytesFor(kWrite);
    for (std::size_t at = 0; at < samples.size() && Clock::now() < bang.letGoBy; at += step) {
        const std::string_view part = samples.substr(at, step);
        lock.unlock();
        const int written = pa_simple_write(stream.get(), part.data(), part.size(), &error);
        lock.lock();
        if (written < 0) return;
    }
    bang.Sleep(lock, &Bang::letGoBy);
}

// The threads at work: bangs, and the decoding.
struct Threads {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

class Output final : public SoundOutput {
  public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() override {
        const Clock::time_point now = Clock::now();
        if (ready_) ready_->LetGoBy(now);
        for (const auto& bang : playing_)
            bang->LetGoBy(now);
        // Waited for, unless a server that answers nothing holds one.
        std::unique_lock lock(threads_->mutex);
        threads_->changed.wait_for(lock, kLastWait, [this] { return threads_->count == 0; });
    }

    // Decoded in a thread of its own: a long file would otherwise hold the window at the click,
    // and the explosion's first wait with it.
    void Load(std::string file) override {
        if (ready_) ready_->LetGoBy(Clock::now());
        ready_.reset();
        loaded_ = !file.empty();
        if (!loaded_) return;
        std::promise<std::shared_ptr<const Wave>> wave;
        decoded_ = wave.get_future().share();
        Spawn([wave = std::move(wave), file = std::move(file)]() mutable {
            wave.set_value(Decode(file));
        });
        ready_ = NewBang(Clock::now());
    }

    // Whether the bang had a stream the server took. One made for it is used when it is open;
    // otherwise (bangs faster than one in half a second, or the server went away) one is made
    // for the bang at once.
    bool Play() override {
        if (!loaded_) return false;
        const Clock::time_point now = Clock::now();
        std::erase_if(playing_, [](const auto& bang) { return bang->Ended(); });
        for (const auto& bang : playing_)
            bang->LetGoBy(now + kSettle);
        const bool open = ready_ && ready_->Open();
        std::shared_ptr<Bang> bang = open ? std::exchange(ready_, nullptr) : NewBang(now);
        bang->Start(now);
        playing_.push_back(std::move(bang));
        if (!ready_ || ready_->Ended()) ready_ = NewBang(now + kSettle);
        return open;
    }

  private:
    std::shared_ptr<Bang> NewBang(Clock::time_point connectAt) {
        auto bang = std::make_shared<Bang>();
        bang->connectAt = connectAt;
        const bool spawned = Spawn([bang, decoded = decoded_] {
            PlayBang(*bang, decoded);
            const std::lock_guard lock(bang->mutex);
            bang->ended = true;
        });
        if (!spawned) bang->ended = true;
        return bang;
    }

    // Runs `work` in a thread of its own, counted; false when no thread could be had.
    template <class Work> bool Spawn(Work work) {
        const auto count = [threads = threads_](int by) {
            const std::lock_guard lock(threads->mutex);
            threads->count += by;
            threads->changed.notify_all();
        };
        count(1);
        try {
            std::thread([work = std::move(work), count]() mutable {
                work();
                count(-1);
            }).detach();
            return true;
        } catch (const std::system_error&) {
            count(-1);
            return false;
        }
    }

    const std::shared_ptr<Threads> threads_ = std::make_shared<Threads>();
    Decoded decoded_;
    bool loaded_ = false;
    std::shared_ptr<Bang> ready_;                // made for the next bang
    std::vector<std::shared_ptr<Bang>> playing_; // started, oldest first
};

} // namespace
} // namespace pikorina::qt

pikorina::qt::SoundOutput* pikorina_sound_output() {
    return new pikorina::qt::Output;
}
