#include "effects/bang_player.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

namespace pikorina {
namespace {

using Steady = std::chrono::steady_clock;
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

std::size_t FrameBytes(const Wave& wave) {
    return 2 * static_cast<std::size_t>(wave.channels);
}

std::size_t BytesFor(const Wave& wave, milliseconds time) {
    return static_cast<std::size_t>(time.count()) * static_cast<std::size_t>(wave.rate) / 1000 *
           FrameBytes(wave);
}

milliseconds LengthOf(const Wave& wave) {
    return milliseconds(wave.samples.size() / FrameBytes(wave) * 1000 /
                        static_cast<std::size_t>(wave.rate));
}

std::shared_ptr<const Wave> Decode(SoundServer& server, std::string_view file) {
    std::shared_ptr<Wave> wave = server.Decode(file, kLongestBang);
    if (!wave || wave->rate < 1 || wave->channels < 1) return {};
    const std::size_t frame = FrameBytes(*wave);
    wave->samples.resize(std::min(wave->samples.size(), kLongestBang) / frame * frame);
    if (wave->samples.empty()) return {};
    // Silence after the bang, as long as a stream buffers: a short bang still fills what the
    // server waits for before it starts, and the last of a long one is played before the
    // stream runs dry.
    wave->samples.append(BytesFor(*wave, 2 * kLatency), '\0');
    return wave;
}

} // namespace

// What a bang's thread and the window's thread share of it, under its lock.
struct BangPlayer::Bang {
    std::mutex mutex;
    std::condition_variable changed;
    Time connectAt;                           // when its stream is made
    Time letGoBy = Steady::time_point::max(); // when its stream goes
    Time startedAt;
    bool started = false;
    bool open = false;  // the server took its stream
    bool ended = false; // its thread is done

    void Start(Time now) {
        const std::lock_guard lock(mutex);
        started = true;
        startedAt = now;
        connectAt = std::min(connectAt, now);
        changed.notify_all();
    }
    void LetGoBy(Time time) {
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
    void Sleep(std::unique_lock<std::mutex>& lock, Time Bang::*until, bool orStart = false) {
        while (!(orStart && started) && Steady::now() < this->*until) {
            if (this->*until == Steady::time_point::max()) {
                changed.wait(lock);
            } else {
                changed.wait_until(lock, this->*until);
            }
        }
    }

    // Its life, in its thread: its stream made when due, the bang written when started, the
    // stream kept until let go.
    void Play(SoundServer& server, const std::shared_future<std::shared_ptr<const Wave>>& decoded) {
        SoundStream stream;
        std::unique_lock lock(mutex); // let go before the stream
        Sleep(lock, &Bang::connectAt);
        if (Steady::now() >= letGoBy) return;
        lock.unlock();
        const std::shared_ptr<const Wave> wave = decoded.get();
        if (!wave) return;
        stream = server.Connect(*wave, BytesFor(*wave, kLatency));
        lock.lock();
        if (!stream) return;
        open = true;
        Sleep(lock, &Bang::letGoBy, true);
        if (!started) return;
        // Once bangs stop coming, the last is let go when it has played.
        letGoBy = std::min(letGoBy, startedAt + LengthOf(*wave) + kSettle);
        const std::string_view samples = wave->samples;
        const std::size_t step = BytesFor(*wave, kWrite);
        for (std::size_t at = 0; at < samples.size() && Steady::now() < letGoBy; at += step) {
            lock.unlock();
            const bool written = stream(samples.substr(at, step));
            lock.lock();
            if (!written) return;
        }
        Sleep(lock, &Bang::letGoBy);
    }
};

// The threads at work: bangs, and the decoding.
struct BangPlayer::Threads {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

BangPlayer::BangPlayer(std::shared_ptr<SoundServer> server)
    : server_(std::move(server)), threads_(std::make_shared<Threads>()) {}

BangPlayer::~BangPlayer() {
    const Time now = Steady::now();
    if (ready_) ready_->LetGoBy(now);
    for (const auto& bang : playing_)
        bang->LetGoBy(now);
    // Waited for, unless a server that answers nothing holds one.
    std::unique_lock lock(threads_->mutex);
    threads_->changed.wait_for(lock, kLastWait, [this] { return threads_->count == 0; });
}

// Decoded in a thread of its own: a long file would otherwise hold the window at the click, and
// the explosion's first wait with it.
void BangPlayer::Load(std::string file) {
    if (ready_) ready_->LetGoBy(Steady::now());
    ready_.reset();
    decoded_ = {}; // nothing to play until a file is loaded
    if (file.empty()) return;
    std::promise<std::shared_ptr<const Wave>> wave;
    decoded_ = wave.get_future().share();
    Spawn([wave = std::move(wave), file = std::move(file), server = server_]() mutable {
        wave.set_value(Decode(*server, file));
    });
    ready_ = NewBang(Steady::now());
}

// A stream made for the bang is used when it is open; otherwise (bangs faster than one in half a
// second, or the server went away) one is made for the bang at once.
bool BangPlayer::Play() {
    if (!decoded_.valid()) return false;
    const Time now = Steady::now();
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

std::shared_ptr<BangPlayer::Bang> BangPlayer::NewBang(Time connectAt) {
    auto bang = std::make_shared<Bang>();
    bang->connectAt = connectAt;
    const bool spawned = Spawn([bang, server = server_, decoded = decoded_] {
        bang->Play(*server, decoded);
        const std::lock_guard lock(bang->mutex);
        bang->ended = true;
    });
    if (!spawned) bang->ended = true;
    return bang;
}

// Runs `work` in a thread of its own, counted; false when no thread could be had.
template <class Work> bool BangPlayer::Spawn(Work work) {
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

} // namespace pikorina
