// The explosion's bang. The wave file is read and decoded when the explosion starts, and each
// bang is written whole, at once, into an audio output of its own that was opened before it was
// due: the server starts it at its next cycle and plays it to the end while the next bang has an
// output of its own. (One QSoundEffect played again while it sounds stops its stream and starts
// a new one, which from the second explosion on breaks the bang up and then silences it; a fresh
// effect per bang starts each some 35 ms late, as its stream is opened at play and first fed a
// timer period later.) A missing or unplayable file, no sound server or no device: silence.
#include "app/errors.h"
#include "platform/qt/host.h"

#include <QAudioSink>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <vector>

namespace pikorina::qt {
namespace {

// A wave file's samples in a format the audio output takes.
struct Wave {
    QAudioFormat format;
    QByteArray samples;
};

// Reads a RIFF WAVE file of integer PCM (8, 16 or 32 bits) or 32-bit float samples, plain or in
// the extensible header; nothing for anything else.
std::optional<Wave> ReadWave(const QByteArray& file) {
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(file.data() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(file.data() + at); };
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE") return {};
    Wave wave;
    quint16 tag = 0, bits = 0;
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const QByteArray id = file.mid(at, 4);
        // A chunk runs to the file's end at most: some writers never fill in the size.
        const qsizetype size = std::min<qsizetype>(u32(at + 4), file.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            tag = u16(at + 8);
            if (tag == 0xFFFE && size >= 26) tag = u16(at + 32); // the extensible header's format
            wave.format.setChannelCount(u16(at + 10));
            wave.format.setSampleRate(static_cast<int>(u32(at + 12)));
            bits = u16(at + 22);
        } else if (id == "data") {
            wave.samples = file.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    using F = QAudioFormat;
    const F::SampleFormat format = tag == 1 && bits == 8    ? F::UInt8
                                   : tag == 1 && bits == 16 ? F::Int16
                                   : tag == 1 && bits == 32 ? F::Int32
                                   : tag == 3 && bits == 32 ? F::Float
                                                            : F::Unknown;
    wave.format.setSampleFormat(format);
    if (!wave.format.isValid() || wave.samples.size() < wave.format.bytesPerFrame()) return {};
    wave.samples.truncate(wave.samples.size() / wave.format.bytesPerFrame() *
                          wave.format.bytesPerFrame());
    return wave;
}

} // namespace

// The outputs are the sound's children, and are let go with deleteLater: a Pulse output being
// deleted runs the event loop, which must not happen outside the explosion's waits.
class Host::Sound : public QObject {
  public:
    explicit Sound(pikorina::Host& host) : host_(host) {
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] {
            Drop(ready_);
            for (Output& output : playing_)
                Drop(output);
            playing_.clear();
        });
    }

    void Prepare(const QString& path) {
        path_ = path;
        wave_.reset();
        try {
            // Read as the launch list is: a plain file only, within the size limit. Opening a
            // FIFO of that name would hold the explosion until someone wrote to it.
            const std::string bytes = host_.ReadFile(path.toStdString());
            wave_ = ReadWave(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        } catch (const RuntimeError&) {
        }
        if (ready_.sink && (!wave_ || ready_.sink->format() != wave_->format)) Drop(ready_);
        if (wave_ && !ready_.sink) Open();
    }

    bool Play(const QString& path) {
        if (path != path_ || !wave_) Prepare(path);
        if (!wave_) return false;
        // An output the server dropped (it went away, or was restarted) is opened again.
        if (ready_.sink && ready_.sink->state() == QAudio::StoppedState) Drop(ready_);
        if (!ready_.sink) Open();
        if (!ready_.sink) return false;
        ready_.device->write(wave_->samples);
        playing_.push_back(ready_);
        ready_ = {};
        // The next bang's output is opened once this one has started and the pump runs.
        QTimer::singleShot(0, this, [this] {
            if (!ready_.sink && wave_) Open();
        });
        // When no bang has come for a while, the last one has played: the outputs are closed.
        idle_.start(wave_->format.durationForBytes(wave_->samples.size()) / 1000 + 2000);
        return true;
    }

  private:
    struct Output {
        QAudioSink* sink = nullptr;
        QIODevice* device = nullptr; // the sink's own
    };

    void Open() {
        auto* sink = new QAudioSink(wave_->format, this);
        // The server plays as soon as this much is written: a little more than one of its cycles.
        sink->setBufferSize(wave_->format.bytesForDuration(kLatencyMicroseconds));
        ready_ = {sink, sink->start()};
        if (!ready_.device) Drop(ready_);
    }

    static void Drop(Output& output) {
        if (output.sink) output.sink->deleteLater();
        output = {};
    }

    static constexpr qint64 kLatencyMicroseconds = 40'000;
    pikorina::Host& host_;
    QString path_;
    std::optional<Wave> wave_;
    Output ready_;
    std::vector<Output> playing_;
    QTimer idle_;
};

// Here, where the sound's class is whole.
Host::Host(QString appPath) : appPath_(std::move(appPath)) {}
Host::~Host() = default;

void Host::PrepareSound(const std::string& path) {
    if (!sound_) sound_ = std::make_unique<Sound>(*this);
    sound_->Prepare(QString::fromStdString(path));
}

bool Host::PlaySound(const std::string& path) {
    if (!sound_) sound_ = std::make_unique<Sound>(*this);
    return sound_->Play(QString::fromStdString(path));
}

} // namespace pikorina::qt
