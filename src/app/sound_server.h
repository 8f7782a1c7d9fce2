// What a platform's sound server offers the explosion's bangs (effects/bang_player.h): the wave
// file decoded, and streams that play it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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

// Called from the player's threads, never the window's: each call may take as long as the
// server takes to answer.
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

} // namespace pikorina
