// The explosion's bangs, played on a sound server's streams, for a host whose platform has no
// player that takes a wave file as it is (Linux; Windows has PlaySound).
//
// Each bang has a stream of its own, in a thread of its own, made before the bang is due: a bang
// still sounding plays on while the next starts, and whatever the server does to one bang (it
// went away, or was restarted) the next connects afresh. A stream that joins or leaves the
// server's graph makes the streams playing in it drop out for a moment, so both happen half a
// second after a bang starts, past its loud head and before the next bang, a second on, is due.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pikorina {

// A decoded wave file: 16-bit samples, interleaved, the one format every stream is opened in,
// so that a stream with nothing left to play is silent.
struct Wave {
    int rate = 0;
    int channels = 0;
    std::string samples;
};

// Plays the samples after those written before, waiting while the server's buffer is full;
// false once the stream has failed. Letting it go closes the stream.
using SoundStream = std::function<bool(std::string_view samples)>;

// What the platform's sound server offers: the wave file decoded, and streams that play it.
// Called from the player's threads, never the window's; each may take as long as the server
// takes to answer.
class SoundServer {
  public:
    virtual ~SoundServer() = default;
    // The file's sound, at most `longest` bytes of it; null when the file holds none that the
    // platform can decode and its server play.
    virtual std::unique_ptr<Wave> Decode(std::string_view file, std::size_t longest) = 0;
    // A stream of the wave's format that buffers `buffered` bytes; empty when the server does
    // not take one.
    virtual SoundStream Connect(const Wave& wave, std::size_t buffered) = 0;
};

class BangPlayer {
  public:
    explicit BangPlayer(std::shared_ptr<SoundServer> server);
    // Lets every stream go, and waits for them a few seconds at most: a server that answers
    // nothing must not hold the program's end.
    ~BangPlayer();
    BangPlayer(const BangPlayer&) = delete;
    BangPlayer& operator=(const BangPlayer&) = delete;

    // As Host::LoadSound and Host::PlaySound (app/host.h) say; Play's answer is whether the bang
    // had a stream the server had already taken.
    void Load(std::string file);
    bool Play();

  private:
    struct Bang;
    struct Threads;
    using Time = std::chrono::steady_clock::time_point;

    std::shared_ptr<Bang> NewBang(Time connectAt);
    template <class Work> bool Spawn(Work work);

    const std::shared_ptr<SoundServer> server_;
    const std::shared_ptr<Threads> threads_;
    std::shared_future<std::shared_ptr<const Wave>> decoded_;
    bool loaded_ = false;
    std::shared_ptr<Bang> ready_;                // made for the next bang
    std::vector<std::shared_ptr<Bang>> playing_; // started, oldest first
};

} // namespace pikorina
