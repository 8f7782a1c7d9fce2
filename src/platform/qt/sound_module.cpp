// The sound module: the explosion's bang, decoded by libsndfile and played through Qt's audio
// output. The program loads it at the first explosion (sound.h says why).
//
// Whatever Don.wav holds that libsndfile reads (PCM of any width, float, ADPCM, mu-law, A-law,
// the extensible header; any rate, mono to 7.1) is decoded to 16-bit samples, the one format
// every output is opened in, so that an output with nothing left to play is silent.
//
// Each bang is written whole, at once, into an output that was opened before it was due: the
// server starts it at its next cycle and plays it to the end while the next bang has an output
// of its own. The outputs are opened again for later bangs and let go only with the module's
// object: Qt's PulseAudio output, once its bang has run out, asks the server to drain the stream
// and to call the output back when it has, and nothing stops that call from coming after the
// output is gone (docs/performance.md, "The crash in the sound thread").
#include "platform/qt/sound.h"

#include <QAudioSink>
#include <QElapsedTimer>
#include <QTimer>

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace pikorina::qt {
namespace {

// The longest bang kept, in bytes: the server takes at most 4 MiB written at once into a stream.
constexpr qsizetype kLongestBang = qsizetype{3} << 20;
// The server starts playing once this much is written; its cycle follows from it.
constexpr qint64 kLatencyMicroseconds = 40'000;
// Outputs: bangs sounding at once, and the one opened for the next.
constexpr std::size_t kMostOutputs = 4;

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

class Output final : public SoundOutput, public QObject {
  public:
    Output() {
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] {
            for (Stream& stream : streams_)
                Close(stream);
        });
    }
    ~Output() override {
        // Only now, with the program or the test ending: stopped first, which unhooks each
        // output from the server's thread.
        for (Stream& stream : streams_)
            Close(stream);
        for (Stream& stream : streams_)
            delete stream.sink;
    }

    void Load(std::string_view file) override {
        wave_ = Decode(file);
        if (wave_) Ready();
    }

    bool Play() override {
        Stream* stream = wave_ ? Ready() : nullptr;
        if (!stream) return false;
        // Written whole: the server keeps up to 4 MiB of a stream, more than the longest bang.
        qsizetype written = 0;
        for (qint64 n = 1; n > 0 && written < wave_->samples.size(); written += n) {
            n = stream->device->write(wave_->samples.constData() + written,
                                      wave_->samples.size() - written);
        }
        stream->ready = false;
        stream->playing.start();
        // The next bang's output is opened once this one has started and the pump runs.
        QTimer::singleShot(0, this, [this] {
            if (wave_) Ready();
        });
        // When no bang has come for a while, the last one has played: the streams are closed.
        idle_.start(Milliseconds() + 2000);
        return written > 0;
    }

  private:
    struct Stream {
        QAudioSink* sink;
        QIODevice* device = nullptr; // the sink's own, while its stream is open
        bool ready = false;          // open, with nothing written yet
        QElapsedTimer playing;       // since its last bang started
    };

    qint64 Milliseconds() const {
        return wave_->format.durationForBytes(wave_->samples.size()) / 1000;
    }

    static void Close(Stream& stream) {
        stream.sink->stop();
        stream.device = nullptr;
        stream.ready = false;
    }

    // An output open for the next bang, or none when the server takes none. Outputs of the
    // file's format are opened again once their bang has played; one in another format (a
    // Don.wav changed between explosions) stays closed.
    Stream* Ready() {
        Stream* free = nullptr;
        Stream* oldest = nullptr;
        std::size_t same = 0;
        for (Stream& s : streams_) {
            if (s.sink->format() != wave_->format) continue;
            ++same;
            // An output the server dropped (it went away, or was restarted) is opened again.
            if (s.ready && s.sink->state() != QAudio::StoppedState) return &s;
            if (!s.playing.isValid() || s.playing.hasExpired(Milliseconds() + 500)) free = &s;
            if (!oldest || s.playing.elapsed() > oldest->playing.elapsed()) {
                oldest = &s;
            }
        }
        if (!free && same < kMostOutputs) {
            streams_.push_back(Stream{.sink = new QAudioSink(wave_->format),
                                      .device = nullptr,
                                      .ready = false,
                                      .playing = {}});
            free = &streams_.back();
        }
        // Every output sounding: the oldest bang loses its tail.
        Stream& stream = free ? *free : *oldest;
        // The server plays as soon as this much is written: a little more than one of its cycles.
        stream.sink->setBufferSize(wave_->format.bytesForDuration(kLatencyMicroseconds));
        stream.device = stream.sink->start();
        stream.ready = stream.device != nullptr;
        stream.playing.invalidate();
        return stream.ready ? &stream : nullptr;
    }

    std::optional<Wave> wave_;
    std::deque<Stream> streams_; // where a pointer to one stays good
    QTimer idle_;
};

} // namespace
} // namespace pikorina::qt

pikorina::qt::SoundOutput* pikorina_sound_output() {
    return new pikorina::qt::Output;
}
