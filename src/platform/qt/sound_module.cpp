// The sound module: the explosion's bang, decoded by libsndfile and played through Qt's audio
// output. The program loads it at the first explosion (sound.h says why).
//
// Whatever Don.wav holds that libsndfile reads (PCM of any width, float, ADPCM, mu-law, A-law,
// the extensible header; any rate, mono to 7.1) is decoded to 16-bit samples, the one format
// every output is opened in, so that an output with nothing left to play is silent.
//
// Each bang plays through an output of its own, opened before it is due, so that a bang still
// sounding plays on while the next starts. The output pulls the bang from a device that never
// says it has ended: Qt's PulseAudio output, told that its source has ended, asks the server to
// drain the stream, again each time it runs dry, and to call the output back when it has, and a
// call that comes after the output is deleted runs freed memory (the crash in the sound thread,
// docs/performance.md). Stopped, an output has no call outstanding, and only then is it let go.
//
// The outputs live in a thread of their own. They are fed every 20 ms while they play, which the
// window's thread, busy painting the explosion, need not keep up with; and Qt waits without end
// for a stream that the server drops while it is being opened, which then holds only this thread.
#include "platform/qt/sound.h"

#include <QAudioSink>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace pikorina::qt {
namespace {

// The longest bang kept, in bytes of 16-bit samples: three minutes of CD sound.
constexpr qsizetype kLongestBang = qsizetype{32} << 20;
// What each output buffers: the server's cycle follows from it.
constexpr qint64 kLatencyMicroseconds = 200'000;
// When outputs are opened and let go, in milliseconds after a bang starts.
constexpr int kSettle = 500;

struct Wave {
    QAudioFormat format;
    QByteArray samples; // 16-bit, interleaved
};

// Bytes in memory, as libsndfile reads a file.
class Memory {
  public:
    explicit Memory(std::string_view bytes) : bytes_(bytes) {}

    static SF_VIRTUAL_IO Io() {
        return {
            [](void* self) { return Self(self).Size(); },
            [](sf_count_t offset, int whence, void* self) {
                return Self(self).Seek(offset, whence);
            },
            [](void* to, sf_count_t count, void* self) { return Self(self).Read(to, count); },
            [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },
            [](void* self) { return Self(self).at_; },
        };
    }

  private:
    static Memory& Self(void* self) { return *static_cast<Memory*>(self); }
    sf_count_t Size() const { return static_cast<sf_count_t>(bytes_.size()); }
    sf_count_t Seek(sf_count_t offset, int whence) {
        const sf_count_t from = whence == SEEK_CUR ? at_ : whence == SEEK_END ? Size() : 0;
        // Past the end is allowed, as in a file: reads there give nothing.
        if (offset < -from || offset > std::numeric_limits<sf_count_t>::max() - from) return -1;
        return at_ = from + offset;
    }
    sf_count_t Read(void* to, sf_count_t count) {
        const sf_count_t n = std::clamp<sf_count_t>(Size() - at_, 0, count);
        if (n > 0) std::memcpy(to, bytes_.data() + at_, static_cast<std::size_t>(n));
        at_ += n;
        return n;
    }

    std::string_view bytes_;
    sf_count_t at_ = 0;
};

std::optional<Wave> Decode(std::string_view file) {
    Memory memory(file);
    SF_VIRTUAL_IO io = Memory::Io();
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(
        sf_open_virtual(&io, SFM_READ, &info, &memory), sf_close);
    if (!sound || info.samplerate < 1 ||
        QAudioFormat::defaultChannelConfigForChannelCount(info.channels) ==
            QAudioFormat::ChannelConfigUnknown) {
        return {};
    }
    // Float samples are read as they are unless told: 0.5 would become 0, not half of full scale.
    sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    Wave wave;
    wave.format.setSampleFormat(QAudioFormat::Int16);
    wave.format.setChannelCount(info.channels);
    wave.format.setSampleRate(info.samplerate);
    const qsizetype frame = wave.format.bytesPerFrame();
    constexpr sf_count_t kFrames = 4096;
    std::vector<short> chunk(static_cast<std::size_t>(kFrames * info.channels));
    sf_count_t got = 0;
    while (wave.samples.size() < kLongestBang &&
           (got = sf_readf_short(sound.get(), chunk.data(), kFrames)) > 0) {
        wave.samples.append(reinterpret_cast<const char*>(chunk.data()), got * frame);
    }
    wave.samples.truncate(std::min(wave.samples.size(), kLongestBang / frame * frame));
    if (wave.samples.isEmpty()) return {};
    return wave;
}

// One bang for an output to pull: nothing until Start, then the samples. Never at its end.
class Bang final : public QIODevice {
  public:
    Bang(QByteArray samples, QObject* parent) : QIODevice(parent), samples_(std::move(samples)) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    void Start() {
        started_ = true;
        emit readyRead();
    }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return false; }

  protected:
    qint64 readData(char* data, qint64 most) override {
        const qint64 n = started_ ? std::min(most, samples_.size() - at_) : 0;
        std::memcpy(data, samples_.constData() + at_, static_cast<std::size_t>(n));
        at_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    const QByteArray samples_; // shared with the other bangs, not copied
    qsizetype at_ = 0;
    bool started_ = false;
};

// The outputs, in the sound's thread.
class Player final : public QObject {
  public:
    // open: set whenever an output for the next bang is open, for the window's thread to read.
    explicit Player(std::shared_ptr<std::atomic<bool>> open) : open_(std::move(open)) {
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] {
            for (QAudioSink*& sink : playing_)
                LetGo(sink);
            playing_.clear();
        });
    }
    ~Player() override {
        for (QAudioSink* sink : findChildren<QAudioSink*>())
            sink->stop();
    }

    void Load(std::optional<Wave> wave) {
        LetGo(ready_);
        wave_ = std::move(wave);
        if (!wave_) return;
        // Silence after the bang, as long as an output buffers: a short bang still fills what
        // the server waits for before it starts, and the last of a long one is played before
        // the output runs dry.
        wave_->samples.append(wave_->format.bytesForDuration(2 * kLatencyMicroseconds), '\0');
        ready_ = Open();
        *open_ = ready_ != nullptr;
    }

    void Play() {
        // An output the server dropped (it went away, or was restarted) is opened again.
        if (ready_ && ready_->state() == QAudio::StoppedState) LetGo(ready_);
        if (!ready_ && wave_) ready_ = Open();
        *open_ = false;
        if (!ready_) return;
        ready_->findChild<Bang*>()->Start();
        const auto ms =
            static_cast<int>(wave_->format.durationForBytes(wave_->samples.size()) / 1000);
        playing_.push_back(std::exchange(ready_, nullptr));
        // A stream that joins or leaves the server's graph makes the streams playing in it drop
        // out for a moment: the outputs are opened and let go half a second after a bang
        // starts, past its loud head and before the next bang, a second on, is due.
        QTimer::singleShot(kSettle, this, &Player::Settle);
        // Once bangs stop coming, the last is let go when it has played.
        idle_.start(ms + kSettle);
    }

  private:
    QAudioSink* Open() {
        auto* sink = new QAudioSink(wave_->format, this);
        sink->setBufferSize(wave_->format.bytesForDuration(kLatencyMicroseconds));
        sink->start(new Bang(wave_->samples, sink));
        if (sink->state() != QAudio::StoppedState) return sink;
        LetGo(sink); // no server, or no device
        return nullptr;
    }

    // Half a second into a bang: the bangs before it are let go (one sound at a time, as
    // Windows plays; a bang as long as ours has played by then) and the next one's output opened.
    void Settle() {
        while (playing_.size() > 1) {
            LetGo(playing_.front());
            playing_.erase(playing_.begin());
        }
        if (!ready_ && wave_) ready_ = Open();
        *open_ = ready_ != nullptr;
    }

    static void LetGo(QAudioSink*& sink) {
        if (!sink) return;
        sink->stop();
        sink->deleteLater(); // its destructor runs the event loop
        sink = nullptr;
    }

    const std::shared_ptr<std::atomic<bool>> open_;
    std::optional<Wave> wave_;
    QAudioSink* ready_ = nullptr;      // opened for the next bang
    std::vector<QAudioSink*> playing_; // started, oldest first
    QTimer idle_{this};
};

// The sound's thread: one for the whole run, started with the first output. Qt's connection to
// the sound server lives in the thread that first opened an output, and reconnects from there
// after the server went away; it is never ended, as the program ends without ending it.
QThread* SoundThread() {
    static QThread* const thread = [] {
        auto* started = new QThread;
        started->setObjectName(QStringLiteral("pikorina sound"));
        started->start();
        return started;
    }();
    return thread;
}

class Output final : public SoundOutput {
  public:
    Output() { player_->moveToThread(SoundThread()); }
    ~Output() override {
        // The player goes in its own thread, where its outputs live; waited for, unless Qt holds
        // the thread in the opening of a stream the server dropped.
        const auto gone = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(player_, [player = player_, gone] {
            delete player;
            gone->release();
        });
        gone->tryAcquire(1, 5000);
    }

    // Decoded in the sound's thread: a long file would otherwise hold the window at the click,
    // and the explosion's first wait with it.
    void Load(std::string file) override {
        loaded_ = !file.empty();
        *open_ = false;
        QMetaObject::invokeMethod(
            player_, [player = player_, file = std::move(file)] { player->Load(Decode(file)); });
    }

    // Whether the bang has an output: the server took the one opened for it. (It is played in
    // the sound's thread, which opens one then if it can.)
    bool Play() override {
        if (!loaded_) return false;
        const bool open = *open_;
        QMetaObject::invokeMethod(player_, [player = player_] { player->Play(); });
        return open;
    }

  private:
    // Shared, for a player that outlives its output in a thread Qt holds.
    const std::shared_ptr<std::atomic<bool>> open_ = std::make_shared<std::atomic<bool>>(false);
    Player* player_ = new Player(open_); // deleted in its thread
    bool loaded_ = false;
};

} // namespace
} // namespace pikorina::qt

pikorina::qt::SoundOutput* pikorina_sound_output() {
    return new pikorina::qt::Output;
}
